#include "HostModel/BondList.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace HostModel {

void BondList::reserve(std::size_t count) {
    if (count <= capacity()) return;
    if (count > UINT32_MAX) {
        throw std::length_error("BondList: room for " + std::to_string(count) + " bonds asked, at most " +
                                std::to_string(UINT32_MAX) + " fit");
    }
    const auto held = static_cast<std::uint32_t>(size());
    Atom** grown = new Atom*[count];
    std::copy(begin(), end(), grown);
    if (Allocated()) delete[] Partners();
    SetAllocated(grown, held, static_cast<std::uint32_t>(count));
}

void BondList::PushAllocated(Atom* partner) {
    const std::size_t held = size();
    if (held == capacity()) reserve(held * 2);
    Partners()[held] = partner;
    SetAllocated(Partners(), static_cast<std::uint32_t>(held + 1), static_cast<std::uint32_t>(capacity()));
}

bool BondList::erase(const Atom* partner) {
    if (!Allocated()) {
        if (slots_[1] == partner && partner != nullptr) {
            slots_[1] = nullptr;
            return true;
        }
        if (slots_[0] == partner && partner != nullptr) {
            slots_[0] = slots_[1];
            slots_[1] = nullptr;
            return true;
        }
        return false;
    }
    Atom** const first = Partners();
    Atom** const last = first + size();
    Atom** const found = std::find(first, last, partner);
    if (found == last) return false;
    std::copy(found + 1, last, found);
    SetAllocated(first, static_cast<std::uint32_t>(size() - 1), static_cast<std::uint32_t>(capacity()));
    return true;
}

}  // namespace HostModel
