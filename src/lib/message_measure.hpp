#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include <capnp/common.h>

#include <qel_package/error.hpp>

#include "lib/fail.hpp"
#include "lib/utf8.hpp"

namespace qel_package::detail {

// What a writer learns from the records before it builds their message: the words the
// message takes, so that room for it is made once, and the first thing that reading the
// message back would refuse, so that the write fails instead.
//
// Words are counted the way the builder lays objects out. Far-pointer landing pads are left
// out: the builder adds one for each pointer whose object lands in a later segment. Each
// count is the length of a list held in memory, so no sum comes near 2^64.
//
// Refusals are kept rather than returned: the walk over the records goes on, and the first
// one, in the order the reader meets them, is the outcome.
class MessageMeasure {
 public:
  // One struct, as the root or in a struct field.
  template <class Struct>
  void add_struct() {
    words_ += struct_words<Struct>();
  }

  // A list of structs: a tag word, then the elements. An empty list still has its tag.
  template <class Struct>
  void add_struct_list(std::size_t count) {
    words_ += 1 + count * struct_words<Struct>();
  }

  void add_u32_list(std::size_t count) { words_ += round_up_to_words(count * 4); }

  void add_data(std::size_t bytes) { words_ += round_up_to_words(bytes); }

  // A text carries its NUL byte. One that is not UTF-8 is refused as the reader would.
  void add_text(std::string_view text) {
    words_ += round_up_to_words(text.size() + 1);
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (auto error = find_utf8_error(bytes)) {
      refuse(*error);
    }
  }

  // Keeps error unless an earlier refusal is kept.
  void refuse(PackageError error) {
    if (!refusal_) {
      refusal_.emplace(std::move(error));
    }
  }

  std::uint64_t words() const { return words_; }

  // The first refusal, or success.
  [[nodiscard]] Result<void> outcome() && {
    if (refusal_) {
      return tl::unexpected(std::move(*refusal_));
    }
    return {};
  }

 private:
  template <class Struct>
  static constexpr std::uint64_t struct_words() {
    return std::uint64_t{Struct::_capnpPrivate::dataWordSize} + Struct::_capnpPrivate::pointerCount;
  }

  static std::uint64_t round_up_to_words(std::uint64_t bytes) {
    return (bytes + sizeof(capnp::word) - 1) / sizeof(capnp::word);
  }

  // The root pointer, allocated before any object.
  std::uint64_t words_ = 1;
  std::optional<PackageError> refusal_;
};

}  // namespace qel_package::detail
