#include "HostModel/BondList.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace HostModel {

void BondList::reserve(std::size_t count) {
    if (count <= capacity_) return;
    if (count > UINT32_MAX) {
        throw std::length_error("BondList: room for " + std::to_string(count) + " bonds asked, at most " +
                                std::to_string(UINT32_MAX) + " fit");
    }
    Atom** grown = new Atom*[count];
    std::copy(begin(), end(), grown);
    delete[] partners_;
    partners_ = grown;
    capacity_ = static_cast<std::uint32_t>(count);
}

void BondList::Grow() { reserve(capacity_ == 0 ? 1 : std::size_t{capacity_} * 2); }

bool BondList::erase(const Atom* partner) {
    Atom** const last = partners_ + size_;
    Atom** const found = std::find(partners_, last, partner);
    if (found == last) return false;
    std::copy(found + 1, last, found);
    --size_;
    return true;
}

}  // namespace HostModel
