// An atom's bonded partners, in the order the bonds were made: a pointer and two 32-bit counts,
// 16 bytes where a std::vector takes 24, on every one of a document's million atoms.
#pragma once

#include "HostApi.h"

#include <cstddef>
#include <cstdint>

namespace HostModel {

class Atom;

class HOST_API BondList {
public:
    using value_type = Atom*;
    using const_iterator = Atom* const*;
    using iterator = const_iterator;

    BondList() = default;
    ~BondList() { delete[] partners_; }
    BondList(const BondList&) = delete;
    BondList& operator=(const BondList&) = delete;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::size_t capacity() const { return capacity_; }
    const_iterator begin() const { return partners_; }
    const_iterator end() const { return partners_ + size_; }
    Atom* operator[](std::size_t index) const { return partners_[index]; }
    Atom* front() const { return partners_[0]; }
    Atom* back() const { return partners_[size_ - 1]; }
    bool contains(const Atom* partner) const {
        for (Atom* held : *this) {
            if (held == partner) return true;
        }
        return false;
    }

    /// Makes room for count partners in one allocation. Throws std::length_error past 2^32 - 1.
    void reserve(std::size_t count);
    /// Appends partner; the room doubles when full, as a std::vector's would.
    void push_back(Atom* partner) {
        if (size_ == capacity_) Grow();
        partners_[size_++] = partner;
    }
    /// Removes partner, the others keeping their order; false when it is not in the list.
    bool erase(const Atom* partner);

private:
    void Grow();

    Atom** partners_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 0;
};

}  // namespace HostModel
