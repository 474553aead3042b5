#pragma once

#include <array>
#include <cstddef>
#include <memory_resource>
#include <vector>

namespace mensurator {

// A vector whose first `Reserved` elements live in a buffer inside it, so that a local one
// allocates nothing while it stays that small; beyond, it grows on the heap as usual.
template <class T, std::size_t Reserved>
class StackVector {
  public:
    StackVector() { items.reserve(Reserved); }
    StackVector(const StackVector&) = delete;
    StackVector& operator=(const StackVector&) = delete;

  private:
    alignas(T) std::array<std::byte, Reserved * sizeof(T)> buffer_;
    std::pmr::monotonic_buffer_resource arena_{buffer_.data(), buffer_.size()};

  public:
    std::pmr::vector<T> items{&arena_};
};

}  // namespace mensurator
