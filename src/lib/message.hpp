#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <capnp/message.h>
#include <capnp/serialize.h>
#include <kj/array.h>

#include <qel_package/error.hpp>
#include <qel_package/reader_options.hpp>

#include "lib/fail.hpp"

// Cap'n Proto messages as the library reads them from untrusted bytes and appends them to a
// caller's buffer.
namespace qel_package::detail {

// Every writer starts its message with a first segment of this many words.
inline constexpr unsigned FIRST_SEGMENT_WORDS = 1024;

// SECURITY: the traversal limit of a read, per word of the message. Checking a message
// visits each object once, so what a writer produced never needs more. Pointers that alias
// one object cannot be followed again and again, and a list of zero-sized structs, which
// Cap'n Proto charges a word per element, cannot claim more elements than the message has
// words: so the records read from a message stay within a fixed multiple of its size.
inline constexpr std::uint64_t TRAVERSAL_WORDS_PER_MESSAGE_WORD = 1;

// SECURITY: at most this many segments are accepted in a segment table.
inline constexpr std::uint64_t MAX_SEGMENTS = 512;

// Checks the stream framing at the front of input: the number of words of the framed
// message there, segment table included.
[[nodiscard]] Result<std::size_t> framed_message_words(std::span<const std::uint8_t> input);

// Checks the stream framing at the front of input and copies exactly that message, aligned.
// Nothing is allocated before the framing is known to fit in input.
[[nodiscard]] Result<kj::Array<capnp::word>> copy_framed_message(
    std::span<const std::uint8_t> input);

capnp::ReaderOptions bounded_reader_options(std::size_t message_words);

// Reads one framed message from the front of input and hands its root to convert. Every
// kj::Exception of the Cap'n Proto layer becomes PackageError::Capnp.
template <class Root, class Convert>
auto read_message(std::span<const std::uint8_t> input, Convert&& convert)
    -> std::invoke_result_t<Convert, typename Root::Reader> {
  auto words = copy_framed_message(input);
  if (!words) {
    return tl::unexpected(std::move(words).error());
  }
  try {
    capnp::FlatArrayMessageReader reader(*words, bounded_reader_options(words->size()));
    return std::forward<Convert>(convert)(reader.getRoot<Root>());
  } catch (kj::Exception& exception) {
    return capnp_failure(std::move(exception));
  }
}

// Appends the framed message to sink with one copy, growing sink once. On failure sink is
// left as it was.
[[nodiscard]] Result<void> append_message(capnp::MessageBuilder& message,
                                          std::vector<std::uint8_t>& sink);

// A list length for an init_* call. SECURITY: a length beyond the wire's element count
// throws rather than being truncated to 32 bits.
unsigned element_count(std::size_t size);

// Views a record's text for a setter. std::string keeps the NUL that Cap'n Proto expects.
inline capnp::Text::Reader text_of(const std::string& text) {
  return capnp::Text::Reader(text.data(), text.size());
}

}  // namespace qel_package::detail
