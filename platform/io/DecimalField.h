// Numbers of fixed-column fields, read as gemmi 0.5.7's PDB reader reads them (read_double:
// blanks and a '+' skipped, the longest number at the start taken, 0 when there is none), but
// without its general parser for the usual "  -12.345": that number is its digits divided by a
// power of ten, one correctly rounded division, so it comes out bit for bit as gemmi's.
#pragma once

#include "HostApi.h"

#include <cstdint>
#include <cstring>

namespace HostIO {

/// ReadDecimalField for any field.
HOST_API double ReadDecimalFieldInGeneral(const char* begin, int width);

namespace detail {

// The coordinate layout (%8.3f, three numbers on every atom line), "[blanks][-]digits.ddd" with
// the point fifth: its digits divided by 1000, as the general reading divides them. The four bytes before the point are looked at as one word: which
// of them are digits, that the digits end the word and only blanks and a '-' come before them,
// and the digits' value, each in a few operations instead of a loop over the bytes.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "ReadCoordinateLayout reads p[0] as the lowest byte");

inline bool ReadCoordinateLayout(const char* p, double& value) {
    if (p[4] != '.') return false;
    const auto d5 = static_cast<unsigned>(p[5] - '0'), d6 = static_cast<unsigned>(p[6] - '0'),
               d7 = static_cast<unsigned>(p[7] - '0');
    if (d5 > 9 || d6 > 9 || d7 > 9) return false;
    std::uint32_t word;
    std::memcpy(&word, p, sizeof word);          // p[0] in the lowest byte
    const std::uint32_t x = word ^ 0x30303030u;  // a digit byte becomes its value, 0 to 9
    // The top bit of each byte that is no digit (10 or more); a carry out of a byte of 0x8A or
    // more can mark the next byte too, but such a byte already sends the field to the general reading.
    const std::uint32_t notDigit = ((x + 0x76767676u) | x) & 0x80808080u;
    std::uint32_t digits = x;
    bool negative = false;
    if (notDigit != 0) {
        const int last = (31 - __builtin_clz(notDigit)) / 8;  // the last byte that is no digit
        if (last == 3) return false;                          // no digit before the point
        // The bytes before it: blanks only.
        const std::uint32_t before = (std::uint32_t{1} << (8 * last)) - 1;
        if ((word & before) != (0x20202020u & before)) return false;
        const auto lastByte = static_cast<char>(word >> (8 * last));
        if (lastByte == '-') {
            negative = true;
        } else if (lastByte != ' ') {
            return false;
        }
        digits &= ~(before | (0xFFu << (8 * last)));
    }
    // Four digits, thousands first, to one number: two pairs, then the pair of pairs.
    digits = (digits & 0x000F000Fu) * 10 + ((digits >> 8) & 0x000F000Fu);
    const std::uint32_t whole = (digits & 0xFFFFu) * 100 + (digits >> 16);
    const double magnitude = static_cast<double>(std::uint64_t{whole} * 1000 + d5 * 100 + d6 * 10 + d7) / 1e3;
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace detail

/// The value gemmi's pdb_impl::read_double(begin, width) gives. Inline for the coordinates, read
/// three times on every atom line.
inline double ReadDecimalField(const char* begin, int width) {
    double value;
    if (width == 8 && detail::ReadCoordinateLayout(begin, value)) return value;
    return ReadDecimalFieldInGeneral(begin, width);
}

}  // namespace HostIO
