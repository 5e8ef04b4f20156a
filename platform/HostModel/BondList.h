// An atom's bonded partners, in the order the bonds were made, in 16 bytes where a std::vector
// takes 24, on every one of a document's million atoms. Up to two partners (every hydrogen, the
// ends of chains) are held in those 16 bytes themselves; more live in one allocation, described
// by a pointer and two 32-bit counts in the same place.
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

    /// Partners held without an allocation.
    static constexpr std::size_t kHeldInPlace = 2;

    BondList() = default;
    ~BondList() {
        if (Allocated()) delete[] Partners();
    }
    BondList(const BondList&) = delete;
    BondList& operator=(const BondList&) = delete;

    std::size_t size() const {
        if (Allocated()) return static_cast<std::uint32_t>(Counts());
        return (slots_[0] != nullptr ? 1 : 0) + (slots_[1] != nullptr ? 1 : 0);
    }
    bool empty() const { return size() == 0; }
    std::size_t capacity() const { return Allocated() ? static_cast<std::uint32_t>(Counts() >> 32) : kHeldInPlace; }
    const_iterator begin() const { return Allocated() ? Partners() : slots_; }
    const_iterator end() const { return begin() + size(); }
    Atom* operator[](std::size_t index) const { return begin()[index]; }
    Atom* front() const { return *begin(); }
    Atom* back() const { return begin()[size() - 1]; }
    bool contains(const Atom* partner) const {
        for (Atom* held : *this) {
            if (held == partner) return true;
        }
        return false;
    }

    /// Makes room for count partners in one allocation (none up to kHeldInPlace). Throws
    /// std::length_error past 2^32 - 1.
    void reserve(std::size_t count);
    /// Appends partner, which must not be null; the room doubles when full, as a std::vector's would.
    void push_back(Atom* partner) {
        if (!Allocated()) {
            if (slots_[0] == nullptr) {
                slots_[0] = partner;
                return;
            }
            if (slots_[1] == nullptr) {
                slots_[1] = partner;
                return;
            }
        }
        PushAllocated(partner);
    }
    /// Removes partner, the others keeping their order; false when it is not in the list.
    bool erase(const Atom* partner);
    /// Removes every partner and gives back any allocation.
    void clear() {
        if (Allocated()) delete[] Partners();
        slots_[0] = slots_[1] = nullptr;
    }

private:
    // Held in place, the slots are the partners themselves, null where there is none. Allocated,
    // the first holds the allocation's address with its lowest bit set (a partner's never is:
    // atoms are aligned) and the second the size (low 32 bits) and capacity (high 32 bits).
    // Both forms are stored as Atom pointers, so that begin() can hand out the slots.
    bool Allocated() const { return (reinterpret_cast<std::uintptr_t>(slots_[0]) & 1u) != 0; }
    Atom** Partners() const {
        return reinterpret_cast<Atom**>(reinterpret_cast<std::uintptr_t>(slots_[0]) & ~std::uintptr_t{1});
    }
    std::uint64_t Counts() const { return reinterpret_cast<std::uintptr_t>(slots_[1]); }
    void SetAllocated(Atom** partners, std::uint32_t size, std::uint32_t capacity) {
        slots_[0] = reinterpret_cast<Atom*>(reinterpret_cast<std::uintptr_t>(partners) | 1u);
        slots_[1] = reinterpret_cast<Atom*>(static_cast<std::uintptr_t>(std::uint64_t{capacity} << 32 | size));
    }
    void PushAllocated(Atom* partner);

    Atom* slots_[2] = {nullptr, nullptr};
};

static_assert(sizeof(void*) == 8, "BondList keeps two 32-bit counts in a pointer's place");

}  // namespace HostModel
