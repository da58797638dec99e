// Lists filled from data files: entries run from 1 to UBound, element 0 stays empty,
// and an empty list is the single element 0.
#pragma once
#include <cstddef>
#include <vector>

#include "vb/VbError.h"

namespace vb {

template <typename T>
class List {
public:
    List() : items_(1) {}

    long UBound() const { return static_cast<long>(items_.size()) - 1; }
    long Count() const { return UBound(); }
    bool IsEmpty() const { return items_.size() == 1; }

    T& operator[](long i) { return items_.at(Check(i)); }
    const T& operator[](long i) const { return items_.at(Check(i)); }

    void Add(T item) { items_.push_back(std::move(item)); }
    void Insert(long at, T item) {
        if (at < 1 || at > UBound() + 1) Raise(ErrSubscript);
        items_.insert(items_.begin() + at, std::move(item));
    }
    void RemoveAt(long i) { items_.erase(items_.begin() + Check(i)); }
    void Clear() { items_.assign(1, T{}); }
    void Resize(long ubound) { items_.resize(static_cast<size_t>(ubound < 0 ? 0 : ubound) + 1); }

    // Entries 1 to UBound.
    auto begin() { return items_.begin() + 1; }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin() + 1; }
    auto end() const { return items_.end(); }

    const std::vector<T>& Raw() const { return items_; }

private:
    size_t Check(long i) const {
        if (i < 0 || i > UBound()) Raise(ErrSubscript);
        return static_cast<size_t>(i);
    }
    std::vector<T> items_;
};

}  // namespace vb
