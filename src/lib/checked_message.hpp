#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

#include <capnp/message.h>
#include <capnp/serialize.h>
#include <kj/array.h>

#include <qel_package/error.hpp>
#include <qel_package/reader_options.hpp>

#include "lib/fail.hpp"
#include "lib/message.hpp"

namespace qel_package::detail {

// A message that has passed every check, held for the views: in the caller's bytes when
// they are 8-byte aligned, otherwise in one copy owned here. Its reader has no traversal
// limit of its own, so that the views can read the checked words as often as they are asked.
class CheckedMessage {
 public:
  CheckedMessage(kj::Array<capnp::word> copy, kj::ArrayPtr<const capnp::word> words)
      : copy_(std::move(copy)), reader_(words, capnp_reader_options()) {}

  template <class Root>
  typename Root::Reader root() {
    return reader_.getRoot<Root>();
  }

 private:
  kj::Array<capnp::word> copy_;
  capnp::FlatArrayMessageReader reader_;
};

template <class Root>
struct OpenedMessage {
  std::shared_ptr<const CheckedMessage> message;
  typename Root::Reader root;
  std::size_t message_bytes;
};

// Checks the framing at the front of input, then runs check over the message's root with a
// reader bounded by the message's size. Every kj::Exception of the Cap'n Proto layer becomes
// PackageError::Capnp.
template <class Root, class Check>
[[nodiscard]] Result<OpenedMessage<Root>> open_checked(std::span<const std::uint8_t> input,
                                                       Check&& check) {
  std::size_t message_words = 0;
  QEL_ASSIGN(message_words, framed_message_words(input));
  kj::Array<capnp::word> copy;
  kj::ArrayPtr<const capnp::word> words;
  if (reinterpret_cast<std::uintptr_t>(input.data()) % alignof(capnp::word) == 0) {
    words = kj::arrayPtr(reinterpret_cast<const capnp::word*>(input.data()), message_words);
  } else {
    copy = kj::heapArray<capnp::word>(message_words);
    std::memcpy(copy.begin(), input.data(), message_words * sizeof(capnp::word));
    words = copy.asPtr();
  }
  try {
    {
      capnp::FlatArrayMessageReader bounded(words, bounded_reader_options(message_words));
      QEL_TRY(std::forward<Check>(check)(bounded.getRoot<Root>()));
    }
    auto message = std::make_shared<CheckedMessage>(std::move(copy), words);
    const auto root = message->root<Root>();
    return OpenedMessage<Root>{std::move(message), root, message_words * sizeof(capnp::word)};
  } catch (kj::Exception& exception) {
    return capnp_failure(std::move(exception));
  }
}

}  // namespace qel_package::detail
