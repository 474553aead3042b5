#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace mensurator {

// A stack whose first `Reserved` elements live inside it, so that a local one allocates nothing
// while it stays that small; beyond, the rest goes to the heap.
template <class T, std::size_t Reserved>
class StackVector {
  public:
    StackVector() = default;
    StackVector(const StackVector&) = delete;
    StackVector& operator=(const StackVector&) = delete;

    void push_back(const T& item) {
        if (size_ < Reserved) {
            inline_[size_] = item;
        } else {
            overflow_.push_back(item);
        }
        ++size_;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const T& operator[](std::size_t i) const {
        return i < Reserved ? inline_[i] : overflow_[i - Reserved];
    }

  private:
    std::array<T, Reserved> inline_;
    std::vector<T> overflow_;
    std::size_t size_ = 0;
};

}  // namespace mensurator
