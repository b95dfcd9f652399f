// Arrays with guard zones on both sides, to show that a call touched nothing
// outside the length it was given (in every build, not only under ASan).
#pragma once

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace kestro::testing {

template <class T>
class Guarded {
 public:
  static constexpr std::size_t kGuard = 4096;

  // Lengths beyond this are a test's mistake (a negative size converted).
  static constexpr std::size_t kMaxLength = std::size_t{1} << 32;

  explicit Guarded(std::size_t length, T fill = T())
      : length_(checked(length)), storage_(length_ + 2 * kGuard, sentinel()) {
    for (std::size_t i = 0; i < length; ++i) storage_[kGuard + i] = fill;
  }

  T* data() { return storage_.data() + kGuard; }
  T& operator[](std::size_t i) { return storage_[kGuard + i]; }
  std::size_t size() const { return length_; }

  // True when no element outside the declared length has changed.
  bool guards_intact() const {
    const T s = sentinel();
    for (std::size_t i = 0; i < kGuard; ++i) {
      if (std::memcmp(&storage_[i], &s, sizeof(T)) != 0) return false;
      if (std::memcmp(&storage_[kGuard + length_ + i], &s, sizeof(T)) != 0) return false;
    }
    return true;
  }

 private:
  static std::size_t checked(std::size_t length) {
    if (length > kMaxLength) throw std::length_error("Guarded: length out of range");
    return length;
  }

  static T sentinel() {
    T s;
    std::memset(&s, 0x5a, sizeof(T));
    return s;
  }
  std::size_t length_;
  std::vector<T> storage_;
};

}  // namespace kestro::testing
