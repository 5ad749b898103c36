#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>

#include <capnp/blob.h>

namespace qel_package {
namespace detail {

inline std::string_view text_view(capnp::Text::Reader text) {
  return std::string_view(text.begin(), text.size());
}

inline std::span<const std::uint8_t> bytes_view(capnp::Data::Reader data) {
  return std::span<const std::uint8_t>(data.begin(), data.size());
}

}  // namespace detail

// A random-access range over a list of a checked message. Each element is made on access
// from the wire element: an element view, or a plain number for lists of numbers. Iterators
// hold their own copy of the list reader, so they outlive the range they came from.
template <class Element, class WireList>
class ListView {
 public:
  class iterator {
   public:
    using value_type = Element;
    using difference_type = std::ptrdiff_t;
    using iterator_category = std::random_access_iterator_tag;

    iterator() = default;
    iterator(WireList list, std::size_t position) : list_(list), position_(position) {}

    Element operator*() const { return Element(list_[static_cast<unsigned>(position_)]); }
    Element operator[](difference_type offset) const { return *(*this + offset); }

    iterator& operator++() {
      ++position_;
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++position_;
      return before;
    }
    iterator& operator--() {
      --position_;
      return *this;
    }
    iterator operator--(int) {
      iterator before = *this;
      --position_;
      return before;
    }
    iterator& operator+=(difference_type offset) {
      position_ += static_cast<std::size_t>(offset);
      return *this;
    }
    iterator& operator-=(difference_type offset) {
      position_ -= static_cast<std::size_t>(offset);
      return *this;
    }
    friend iterator operator+(iterator it, difference_type offset) { return it += offset; }
    friend iterator operator+(difference_type offset, iterator it) { return it += offset; }
    friend iterator operator-(iterator it, difference_type offset) { return it -= offset; }
    friend difference_type operator-(const iterator& a, const iterator& b) {
      return static_cast<difference_type>(a.position_) - static_cast<difference_type>(b.position_);
    }
    friend bool operator==(const iterator& a, const iterator& b) {
      return a.position_ == b.position_;
    }
    friend std::strong_ordering operator<=>(const iterator& a, const iterator& b) {
      return a.position_ <=> b.position_;
    }

   private:
    WireList list_{};
    std::size_t position_ = 0;
  };

  ListView() = default;
  explicit ListView(WireList list) : list_(list) {}

  std::size_t size() const { return list_.size(); }
  bool empty() const { return size() == 0; }
  Element operator[](std::size_t position) const {
    return Element(list_[static_cast<unsigned>(position)]);
  }
  iterator begin() const { return iterator(list_, 0); }
  iterator end() const { return iterator(list_, size()); }

 private:
  WireList list_{};
};

}  // namespace qel_package
