// Short names (atom and residue names of up to 7 bytes) packed into one integer, so that the
// preparation matches a million atoms' names against a monomer's or a table's by integer
// compares instead of string compares.
#pragma once

#include <cstdint>
#include <string_view>

namespace HostChem {

/// A name of at most kMaxPackedLength bytes as one integer: the bytes in order from the lowest,
/// the length in the top byte, so that names differing only in trailing NULs stay apart.
using PackedName = std::uint64_t;

constexpr std::size_t kMaxPackedLength = 7;

/// What a name too long to pack packs to; equal to no packed name (their top byte is at most 7).
constexpr PackedName kUnpackedName = ~PackedName{0};

constexpr PackedName PackName(std::string_view name) {
    if (name.size() > kMaxPackedLength) return kUnpackedName;
    PackedName packed = static_cast<PackedName>(name.size()) << 56;
    for (std::size_t i = 0; i < name.size(); ++i)
        packed |= static_cast<PackedName>(static_cast<unsigned char>(name[i])) << (8 * i);
    return packed;
}

}  // namespace HostChem
