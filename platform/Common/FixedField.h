// The common fixed-point field ("%<width>.<decimals>f" of up to eight characters of number)
// written inline, for record writers that know a field's width and decimals where they call:
// the layout folds into constants and the call goes, a fifth of a field's instructions.
#pragma once

#include "Common/FixedColumns.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace Common {
namespace FixedFieldDetail {

// Fields of up to 16 characters of at most eight characters of number with up to 7 decimals,
// which is every coordinate, charge and radius, are written with no branch on the digits: digit
// counts vary from atom to atom, so such branches would be mispredicted about as often as taken.
// All eight digits of the rounded magnitude are made at once in a register; the point goes in,
// the leading zeros become blanks and the sign goes before the first digit by shifts and masks,
// and the field is stored as at most two overlapping words (byte i of a word is the i-th
// character in memory: little-endian). Branches on the field's layout remain; a column repeats
// it from line to line.
constexpr int kMaxDecimals = 7;  // one integer digit must stay among the eight
constexpr int kMaxWidth = 16;
constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
// Below it the rounded magnitude has at most eight digits: 99999999.5 would round up to 10^8.
constexpr double kScaledLimit = 99999999.5;
constexpr double kRoundingShift = 4503599627370496.0;                 // 2^52
constexpr std::uint64_t kRoundingShiftBits = std::uint64_t{1} << 52;  // its mantissa's unit
constexpr std::uint64_t kEachByte = 0x0101010101010101ull;

// The eight decimal digits of number (below 10^8), leading zeros included, most significant
// first in memory: four-digit halves, then pairs, then digits, each lane divided at once by a
// multiplication exact over its range.
inline std::uint64_t EightDigits(std::uint64_t number) {
    const std::uint64_t halves = (number / 10000) | ((number % 10000) << 32);
    const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007Full;
    const std::uint64_t pairs = hundreds | ((halves - hundreds * 100) << 16);
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Full;
    return tens | ((pairs - tens * 10) << 8) | (kEachByte * '0');
}

// The lowest count bytes of a word set, for count 0 to 7.
inline std::uint64_t LowBytes(unsigned count) { return (std::uint64_t{1} << (8 * count)) - 1; }

inline void Store64(char* at, std::uint64_t bytes) { std::memcpy(at, &bytes, 8); }
inline void Store32(char* at, std::uint64_t bytes) {
    const auto low = static_cast<std::uint32_t>(bytes);
    std::memcpy(at, &low, 4);
}

/// The field, width 0 to 16; nullptr, having written nothing, for what only WriteFixed writes:
/// ties, more than eight characters of number, infinities and NaN.
template <int Decimals>
inline char* WriteShortField(char* out, double value, int width) {
    static_assert(Decimals >= 0 && Decimals <= kMaxDecimals, "one integer digit must stay among the eight");
    const double scaled = std::fabs(value) * static_cast<double>(kPowersOfTen[Decimals]);
    if (!(scaled < kScaledLimit)) return nullptr;  // also infinities and NaN
    // Below 2^40 every n + 1/2 is a double, and rounding the product to a double is monotonic:
    // off a half, its nearest integer is the correctly rounded result that to_chars writes. To
    // nearest by one addition: at 2^52 the unit in the last place is 1, so the sum's low mantissa
    // bits are the nearest integer. A tie is left to to_chars; only a branch waits for that
    // test, so the field's end need not.
    const double shifted = scaled + kRoundingShift;
    std::uint64_t bits;
    std::memcpy(&bits, &shifted, sizeof bits);
    const std::uint64_t rounded = bits & (kRoundingShiftBits - 1);
    if (std::fabs((shifted - kRoundingShift) - scaled) == 0.5) return nullptr;  // both exact
    const bool negative = std::signbit(value);
    // The field's end comes from comparisons, not from the digits: the next field's start
    // waits for it, and the digits' chain of multiplications is long.
    unsigned shown = Decimals + 1;  // digits written, the units digit included
    for (int power = Decimals + 1; power < 8; ++power) shown += rounded >= kPowersOfTen[power];
    const int length = static_cast<int>(shown + negative) + (Decimals > 0 ? 1 : 0);
    if (length > 8) return nullptr;
    const std::uint64_t digits = EightDigits(rounded);
    // The number's last eight characters. With a point, the first digit falls off the front; the
    // length being at most eight, it is a leading zero.
    std::uint64_t number = digits;
    unsigned blanks = 8 - shown;  // leading zeros left in number, never fewer than the sign needs
    if constexpr (Decimals > 0) {
        constexpr unsigned kIntegerDigits = 8 - Decimals;
        constexpr std::uint64_t kIntegerPart = (std::uint64_t{1} << (8 * kIntegerDigits)) - 1;
        number = ((digits >> 8) & (kIntegerPart >> 8)) | (std::uint64_t{'.'} << (8 * (kIntegerDigits - 1))) |
                 (digits & ~kIntegerPart);
        --blanks;
    }
    // '0' ^ ' ' turns a zero into a blank, ' ' ^ '-' the blank before the first digit kept into
    // the sign. The sign is the value's, as printf writes it: -0.0004 with three decimals is "-0.000".
    number ^= LowBytes(blanks) & (kEachByte * ('0' ^ ' '));
    // A mask, not a condition: signs come in no order, and a branch on them is mispredicted.
    const std::uint64_t sign = (std::uint64_t{0} - negative) & std::uint64_t{' ' ^ '-'};
    number ^= sign << ((8 * (blanks - 1)) & 63);
    if (width > 8) {
        Store64(out, kEachByte * ' ');
        Store64(out + width - 8, number);
        return out + width;
    }
    const int size = length < width ? width : length;
    if (size == 8) {
        Store64(out, number);
    } else if (size >= 4) {
        Store32(out, number >> (8 * (8 - size)));
        Store32(out + size - 4, number >> 32);
    } else {
        for (int i = 0; i < size; ++i) out[i] = static_cast<char>(number >> (8 * (8 - size + i)));
    }
    return out + size;
}

}  // namespace FixedFieldDetail

/// WriteFixed(out, value, Width, Decimals), the same bytes, into memory with room for
/// max(Width, kFixedFieldRoom) characters; returns the end of what was written.
template <int Width, int Decimals>
inline char* WriteFixedField(char* out, double value) {
    if constexpr (Width >= 0 && Width <= FixedFieldDetail::kMaxWidth && Decimals >= 0 &&
                  Decimals <= FixedFieldDetail::kMaxDecimals) {
        if (char* end = FixedFieldDetail::WriteShortField<Decimals>(out, value, Width)) return end;
    }
    return WriteFixed(out, value, Width, Decimals);
}

}  // namespace Common
