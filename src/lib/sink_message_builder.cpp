#include "lib/sink_message_builder.hpp"

#include <cstring>
#include <span>

#include <kj/debug.h>

#include "lib/little_endian.hpp"

namespace qel_package::detail {
namespace {

constexpr std::size_t WORD_BYTES = sizeof(capnp::word);

// The largest segment Cap'n Proto builds.
constexpr std::uint64_t MAX_SEGMENT_WORDS =
    (std::uint64_t{1} << capnp::SEGMENT_WORD_COUNT_BITS) - 1;

// Stream framing: a little-endian u32 holding the segment count minus one, a u32 length in
// words for each segment, zero padding to a word boundary. The room is laid out for two
// segments.
constexpr std::size_t TWO_SEGMENT_TABLE_BYTES = 16;
constexpr std::size_t ONE_SEGMENT_TABLE_BYTES = 8;
constexpr std::size_t FIRST_SEGMENT_OFFSET = TWO_SEGMENT_TABLE_BYTES;
constexpr std::size_t SECOND_SEGMENT_OFFSET =
    FIRST_SEGMENT_OFFSET + FIRST_SEGMENT_WORDS * WORD_BYTES;

}  // namespace

SinkMessageBuilder::SinkMessageBuilder(std::vector<std::uint8_t>& sink, std::uint64_t message_words)
    : sink_(sink), old_size_(sink.size()), message_words_(message_words) {}

SinkMessageBuilder::~SinkMessageBuilder() noexcept(false) {
  if (!finished_ && scratch_ == nullptr) {
    sink_.resize(old_size_);
  }
}

bool SinkMessageBuilder::fits(std::uint64_t message_words) {
  return message_words <= MAX_SEGMENT_WORDS;
}

// Zeroed room for the table and both segments; a message that fits in the first segment
// makes no second one, and needs no room for it.
std::uint8_t* SinkMessageBuilder::make_room() {
  const std::size_t room_bytes =
      SECOND_SEGMENT_OFFSET +
      (message_words_ > FIRST_SEGMENT_WORDS ? message_words_ : 0) * WORD_BYTES;
  if (old_size_ % WORD_BYTES != 0) {
    scratch_ = kj::heapArray<capnp::word>(room_bytes / WORD_BYTES);
    std::memset(scratch_.begin(), 0, room_bytes);
    return scratch_.asBytes().begin();
  }
  sink_.resize(old_size_ + room_bytes);
  std::uint8_t* room = sink_.data() + old_size_;
  // The allocator aligns the sink's bytes for any scalar, so a sink of whole words ends on
  // a word boundary.
  KJ_ASSERT(reinterpret_cast<std::uintptr_t>(room) % WORD_BYTES == 0);
  return room;
}

kj::ArrayPtr<capnp::word> SinkMessageBuilder::allocateSegment(unsigned minimum_size) {
  ++segments_made_;
  if (segments_made_ == 1) {
    KJ_ASSERT(minimum_size <= FIRST_SEGMENT_WORDS, minimum_size);
    room_ = make_room();
    return kj::arrayPtr(reinterpret_cast<capnp::word*>(room_ + FIRST_SEGMENT_OFFSET),
                        FIRST_SEGMENT_WORDS);
  }
  // The objects of the second segment weigh at most message_words_ less those left in the
  // first, and each pointer left in the first adds at most one landing pad.
  KJ_ASSERT(
      segments_made_ == 2 && message_words_ > FIRST_SEGMENT_WORDS && minimum_size <= message_words_,
      "message outgrew the words counted for it", segments_made_, minimum_size, message_words_);
  return kj::arrayPtr(reinterpret_cast<capnp::word*>(room_ + SECOND_SEGMENT_OFFSET),
                      message_words_);
}

void SinkMessageBuilder::finish() {
  const auto segments = getSegmentsForOutput();
  const auto* first = reinterpret_cast<const capnp::word*>(room_ + FIRST_SEGMENT_OFFSET);
  const auto* second = reinterpret_cast<const capnp::word*>(room_ + SECOND_SEGMENT_OFFSET);
  KJ_ASSERT(segments.size() == segments_made_ && segments[0].begin() == first &&
            (segments.size() == 1 || segments[1].begin() == second));
  // The count is exact: a message within one segment uses every word counted for it.
  KJ_ASSERT(segments.size() == 2 || segments[0].size() == message_words_,
            "message used other than the words counted for it", segments[0].size(), message_words_);
  std::size_t message_bytes = 0;
  if (segments.size() == 1) {
    const std::size_t first_bytes = segments[0].size() * WORD_BYTES;
    message_bytes = ONE_SEGMENT_TABLE_BYTES + first_bytes;
    const std::span<std::uint8_t> message(room_, message_bytes);
    std::memmove(message.data() + ONE_SEGMENT_TABLE_BYTES, first, first_bytes);
    write_le32(message, 0, 0);
    write_le32(message, 4, static_cast<std::uint32_t>(segments[0].size()));
  } else {
    message_bytes = SECOND_SEGMENT_OFFSET + segments[1].size() * WORD_BYTES;
    const std::span<std::uint8_t> message(room_, message_bytes);
    write_le32(message, 0, 1);
    write_le32(message, 4, FIRST_SEGMENT_WORDS);
    write_le32(message, 8, static_cast<std::uint32_t>(segments[1].size()));
  }
  if (scratch_ == nullptr) {
    sink_.resize(old_size_ + message_bytes);
  } else {
    sink_.insert(sink_.end(), room_, room_ + message_bytes);
  }
  finished_ = true;
}

}  // namespace qel_package::detail
