// 1-based views over the caller's arrays.
#pragma once

#include <cstdint>
#include <type_traits>

namespace kestro {

// Positions and lengths inside the caller's arrays. Lengths such as L*N are
// formed from 32-bit sizes and may exceed 32 bits, so positions are 64-bit.
using Index = std::int64_t;

[[noreturn]] void view_bounds_failure(Index position, Index length);

// A view of `length` elements where v[1] is the first one, matching the
// positions in which the solver's workspaces are described. In checked builds
// every access outside 1..length stops the process with a message.
template <class T>
class View1 {
 public:
  View1() = default;
  View1(T* data, Index length) : data_(data), length_(length < 0 ? 0 : length) {
    if (data_ == nullptr) length_ = 0;
  }

  // A view of mutable elements is also a view of constant ones.
  template <class U>
  requires std::is_same_v<T, const U> View1(const View1<U>& other)
      : data_(other.data()), length_(other.size()) {}

  T& operator[](Index position) const {
#ifdef KESTRO_CHECKED_VIEWS
    if (position < 1 || position > length_) view_bounds_failure(position, length_);
#endif
    return data_[position - 1];
  }

  Index size() const { return length_; }
  bool empty() const { return length_ == 0; }

  // True when positions first .. first+count-1 all lie inside the view.
  bool holds(Index first, Index count) const {
    return count >= 0 && first >= 1 && first <= length_ + 1 && count <= length_ - first + 1;
  }
  bool holds(Index position) const { return holds(position, 1); }

  // The sub-view of `count` elements starting at `first`; empty when that
  // range does not lie inside this view.
  View1 slice(Index first, Index count) const {
    if (!holds(first, count) || count == 0) return View1();
    return View1(data_ + (first - 1), count);
  }

  T* data() const { return data_; }

 private:
  T* data_ = nullptr;
  Index length_ = 0;
};

using RealView = View1<double>;
using ConstRealView = View1<const double>;
using IntView = View1<int>;
using ConstIntView = View1<const int>;

}  // namespace kestro
