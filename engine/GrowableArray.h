#pragma once
// An array of plain values that grows by a fixed step and never shrinks; clearing frees it,
// emptying for reuse keeps a block of moderate size.
// Allocation failures are reported as false instead of throwing, so a caller can keep
// running with what it had.
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

template <typename T>
class GrowableArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved with memcpy");

public:
  static constexpr std::int32_t kGrowthStep = 10;

  GrowableArray() = default;
  ~GrowableArray() { clear(); }
  GrowableArray(const GrowableArray&) = delete;
  GrowableArray& operator=(const GrowableArray&) = delete;

  // Appends one element; false (and the array unchanged) when the larger block cannot be had.
  bool append(const T& element) {
    if (count_ == capacity_) {
      const std::int32_t grown = capacity_ + kGrowthStep;
      T* block = new (std::nothrow) T[grown];
      if (!block) return false;
      if (count_ > 0) std::memcpy(block, elements_, sizeof(T) * count_);
      delete[] elements_;
      elements_ = block;
      capacity_ = grown;
    }
    elements_[count_++] = element;
    return true;
  }

  // Frees the block and returns to the empty state.
  void clear() {
    delete[] elements_;
    elements_ = nullptr;
    capacity_ = 0;
    count_ = 0;
  }

  // Empties the array for the next use. The block stays when it holds at most `keepCapacity`
  // elements, so that filling it again allocates nothing; a larger one (grown for an unusual
  // input) is freed.
  void clearKeeping(std::int32_t keepCapacity) {
    if (capacity_ > keepCapacity) {
      clear();
      return;
    }
    count_ = 0;
  }

  std::int32_t count() const { return count_; }
  std::int32_t capacity() const { return capacity_; }
  const T& operator[](std::int32_t index) const { return elements_[index]; }
  T& operator[](std::int32_t index) { return elements_[index]; }

private:
  T* elements_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t count_ = 0;
};
