#include "lib/message.hpp"

#include <cstring>
#include <limits>

#include <kj/debug.h>
#include <kj/io.h>

#include "lib/checked.hpp"
#include "lib/little_endian.hpp"

namespace qel_package::detail {
namespace {

kj::Exception framing_error(std::string description) {
  return kj::Exception(kj::Exception::Type::FAILED, __FILE__, __LINE__,
                       kj::heapString(description.data(), description.size()));
}

// Appends what is written to a vector that has already reserved room for it, so that the
// bytes are copied once and never zero-filled first.
class AppendStream final : public kj::OutputStream {
 public:
  explicit AppendStream(std::vector<std::uint8_t>& sink) : sink_(sink) {}

  void write(const void* buffer, std::size_t size) override {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    sink_.insert(sink_.end(), bytes, bytes + size);
  }

 private:
  std::vector<std::uint8_t>& sink_;
};

}  // namespace

// Stream framing: a little-endian u32 holding the segment count minus one, a u32 length in
// words for each segment, zero padding to a word boundary, then the segments in order.
Result<std::size_t> framed_message_words(std::span<const std::uint8_t> input) {
  if (input.size() < 4) {
    return capnp_failure(framing_error(
        fmt::format("message of {} bytes ends before its segment count", input.size())));
  }
  const std::uint64_t segment_count = std::uint64_t{read_le32(input, 0)} + 1;
  if (segment_count > MAX_SEGMENTS) {
    return capnp_failure(framing_error(fmt::format(
        "message claims {} segments, more than the {} accepted", segment_count, MAX_SEGMENTS)));
  }
  const std::size_t table_bytes = (segment_count / 2 + 1) * sizeof(capnp::word);
  if (input.size() < table_bytes) {
    return capnp_failure(
        framing_error(fmt::format("message of {} bytes ends inside its segment table of {} bytes",
                                  input.size(), table_bytes)));
  }
  // At most 512 segments of at most 2^32 - 1 words each: the sum cannot overflow.
  std::uint64_t message_words = 0;
  for (std::uint64_t segment = 0; segment < segment_count; ++segment) {
    message_words += read_le32(input, 4 + 4 * segment);
  }
  const std::uint64_t available_words = (input.size() - table_bytes) / sizeof(capnp::word);
  if (message_words > available_words) {
    return capnp_failure(framing_error(
        fmt::format("message claims {} words of segments but only {} follow its segment table",
                    message_words, available_words)));
  }
  return table_bytes / sizeof(capnp::word) + message_words;
}

Result<kj::Array<capnp::word>> copy_framed_message(std::span<const std::uint8_t> input) {
  std::size_t message_words = 0;
  QEL_ASSIGN(message_words, framed_message_words(input));
  auto words = kj::heapArray<capnp::word>(message_words);
  std::memcpy(words.asBytes().begin(), input.data(), words.asBytes().size());
  return words;
}

capnp::ReaderOptions bounded_reader_options(std::size_t message_words) {
  capnp::ReaderOptions options = capnp_reader_options();
  options.traversalLimitInWords =
      checked_mul<std::uint64_t>(message_words, TRAVERSAL_WORDS_PER_MESSAGE_WORD)
          .value_or(std::numeric_limits<std::uint64_t>::max());
  return options;
}

Result<void> append_message(capnp::MessageBuilder& message, std::vector<std::uint8_t>& sink) {
  const std::size_t old_size = sink.size();
  try {
    const auto segments = message.getSegmentsForOutput();
    const std::size_t message_bytes =
        capnp::computeSerializedSizeInWords(segments) * sizeof(capnp::word);
    sink.reserve(old_size + message_bytes);
    AppendStream output(sink);
    capnp::writeMessage(output, segments);
  } catch (kj::Exception& exception) {
    sink.resize(old_size);
    return capnp_failure(std::move(exception));
  }
  return {};
}

unsigned element_count(std::size_t size) {
  // The wire's element count has 29 bits.
  KJ_REQUIRE(size < (std::size_t{1} << 29), "list is too long for a message", size);
  return static_cast<unsigned>(size);
}

}  // namespace qel_package::detail
