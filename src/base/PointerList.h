#pragma once
// Append-only owning list, walked head to tail and released in that order.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace stagwerk {

template <typename T>
class PointerList {
 public:
  PointerList() = default;
  PointerList(PointerList&&) noexcept = default;
  PointerList& operator=(PointerList&&) noexcept = default;
  ~PointerList() { Clear(); }

  T& Append(std::unique_ptr<T> value) {
    nodes_.push_back(std::move(value));
    return *nodes_.back();
  }
  int32_t count() const { return static_cast<int32_t>(nodes_.size()); }
  bool empty() const { return nodes_.empty(); }
  // The n-th element from the head, or null past the tail.
  T* At(int64_t n) const {
    return n >= 0 && static_cast<std::size_t>(n) < nodes_.size() ? nodes_[static_cast<std::size_t>(n)].get()
                                                                  : nullptr;
  }
  T* head() const { return At(0); }
  T* tail() const { return nodes_.empty() ? nullptr : nodes_.back().get(); }

  // Head to tail; std::vector alone would leave the order unspecified.
  void Clear() {
    for (auto& node : nodes_) node.reset();
    nodes_.clear();
  }

  class Iterator {
   public:
    explicit Iterator(typename std::vector<std::unique_ptr<T>>::const_iterator it) : it_(it) {}
    T& operator*() const { return **it_; }
    T* operator->() const { return it_->get(); }
    Iterator& operator++() { ++it_; return *this; }
    bool operator==(const Iterator& other) const { return it_ == other.it_; }
   private:
    typename std::vector<std::unique_ptr<T>>::const_iterator it_;
  };
  Iterator begin() const { return Iterator(nodes_.cbegin()); }
  Iterator end() const { return Iterator(nodes_.cend()); }

 private:
  std::vector<std::unique_ptr<T>> nodes_;
};

}  // namespace stagwerk
