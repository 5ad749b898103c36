#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <capnp/message.h>
#include <kj/array.h>

#include <qel_package/error.hpp>

#include "lib/fail.hpp"
#include "lib/message.hpp"

// Writers build their message where it will stay: at the end of the caller's buffer.
namespace qel_package::detail {

// Builds one message of at most two segments in the room it takes in the end of sink,
// growing sink once. The builder places an object next to its pointer when it fits there,
// so the first segment, of FIRST_SEGMENT_WORDS, keeps filling after the second is made:
// when there are two, the first goes out whole, its unused words zero. The second is big
// enough for the whole message, so there is never a third. A message that stays within
// the first segment is moved down over the room left for a second segment's length.
//
// A sink that does not end on a word boundary cannot hold segments; the message is then
// built the same way in scratch space and copied to the sink, so the bytes do not depend
// on the sink. Until finish() has run, destroying the builder gives the sink back its old
// size.
class SinkMessageBuilder final : public capnp::MessageBuilder {
 public:
  // message_words is what MessageSize counted for the message; fits() holds for it.
  SinkMessageBuilder(std::vector<std::uint8_t>& sink, std::uint64_t message_words);
  SinkMessageBuilder(const SinkMessageBuilder&) = delete;
  SinkMessageBuilder& operator=(const SinkMessageBuilder&) = delete;
  ~SinkMessageBuilder() noexcept(false) override;

  // Whether a message of message_words leaves, past its first segment, no more than one
  // segment can hold.
  static bool fits(std::uint64_t message_words);

  kj::ArrayPtr<capnp::word> allocateSegment(unsigned minimum_size) override;

  // Frames the built message in the sink.
  void finish();

 private:
  std::uint8_t* make_room();

  std::vector<std::uint8_t>& sink_;
  std::size_t old_size_;
  std::uint64_t message_words_;
  // Where the message is built, from its segment table on: in the sink or in scratch_.
  std::uint8_t* room_ = nullptr;
  kj::Array<capnp::word> scratch_;
  unsigned segments_made_ = 0;
  bool finished_ = false;
};

// Builds a message of message_words (as MessageSize counted) with build(root) and appends it
// to sink, framed. On failure sink is left as it was.
template <class Root, class Build>
[[nodiscard]] Result<void> write_message(std::vector<std::uint8_t>& sink,
                                         std::uint64_t message_words, Build&& build) {
  try {
    if (SinkMessageBuilder::fits(message_words)) {
      SinkMessageBuilder message(sink, message_words);
      std::forward<Build>(build)(message.initRoot<Root>());
      message.finish();
      return {};
    }
    // Beyond 4 GiB the message takes several segments of Cap'n Proto's own choosing.
    capnp::MallocMessageBuilder message(FIRST_SEGMENT_WORDS);
    std::forward<Build>(build)(message.initRoot<Root>());
    return append_message(message, sink);
  } catch (kj::Exception& exception) {
    return capnp_failure(std::move(exception));
  }
}

}  // namespace qel_package::detail
