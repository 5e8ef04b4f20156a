#include "Common/FixedColumns.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace Common {
namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// Below 2^40 every n + 1/2 is a double, and rounding the product |value| * 10^decimals to a
// double is monotonic: the rounded product lies on the same side of each half as the exact one,
// or on the half itself. Off a half, its nearest integer is the correctly rounded result that
// to_chars writes; on one, only to_chars knows on which side the exact binary value lies.
constexpr double kScaledLimit = 1099511627776.0;  // 2^40

// "00" to "99": two digits per division halves the divisions of a field.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// |value| * 10^decimals correctly rounded to an integer, or false when the shortcut cannot
// promise to_chars's digits (a tie, a large value, many decimals, an infinity or NaN).
bool ScaleAndRound(double value, int decimals, std::uint64_t& rounded) {
    if (decimals < 0 || decimals > 9 || !std::isfinite(value)) return false;
    const double scaled = std::fabs(value) * kPowersOfTen[decimals];
    if (!(scaled < kScaledLimit)) return false;
    // Truncation is floor here (scaled is not negative), and exact below 2^40; the signed
    // conversion is one instruction, the unsigned one a branch around two.
    const auto truncated = static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled));
    const double fraction = scaled - static_cast<double>(truncated);  // exact: truncated is 0 or within a factor of two
    if (fraction == 0.5) return false;
    rounded = truncated + (fraction > 0.5 ? 1 : 0);
    return true;
}

unsigned CountDigits(std::uint64_t number) {
    unsigned digits = 1;
    while (number >= 100) {
        number /= 100;
        digits += 2;
    }
    return number >= 10 ? digits + 1 : digits;
}

// count digits of number (leading zeros included) written to end's left; returns the first.
template <unsigned Count>
char* WriteDigitsBackwards(char* end, std::uint64_t number) {
    for (unsigned i = 0; i + 2 <= Count; i += 2) {
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * (number % 100), 2);
        number /= 100;
    }
    if constexpr (Count % 2 == 1) *--end = static_cast<char>('0' + number % 10);
    return end;
}

char* WriteDigitsBackwards(char* end, std::uint64_t number, unsigned count) {
    for (; count >= 2; count -= 2) {
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * (number % 100), 2);
        number /= 100;
    }
    if (count == 1) *--end = static_cast<char>('0' + number % 10);
    return end;
}

// Fields of up to 16 characters of at most eight characters of number with up to 7 decimals,
// which is every coordinate, charge and radius, are written with no branch on the digits: digit
// counts vary from atom to atom, so such branches would be mispredicted about as often as taken.
// All eight digits of the rounded magnitude are made at once in a register; the point goes in,
// the leading zeros become blanks and the sign goes before the first digit by shifts and masks,
// and the field is stored as at most two overlapping words. Branches on the field's layout
// remain; a column repeats it from line to line.
constexpr int kShortMaxDecimals = 7;  // one integer digit must stay among the eight
constexpr int kShortMaxWidth = 16;
// Below it the rounded magnitude has at most eight digits: 99999999.5 would round up to 10^8.
constexpr double kShortScaledLimit = 99999999.5;
constexpr double kRoundingShift = 4503599627370496.0;          // 2^52
constexpr std::uint64_t kRoundingShiftBits = std::uint64_t{1} << 52;  // its mantissa's unit
constexpr std::uint64_t kEachByte = 0x0101010101010101ull;

// The eight decimal digits of number (below 10^8), leading zeros included, most significant
// first in memory: four-digit halves, then pairs, then digits, each lane divided at once by a
// multiplication exact over its range.
std::uint64_t EightDigits(std::uint64_t number) {
    const std::uint64_t halves = (number / 10000) | ((number % 10000) << 32);
    const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007Full;
    const std::uint64_t pairs = hundreds | ((halves - hundreds * 100) << 16);
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Full;
    return tens | ((pairs - tens * 10) << 8) | (kEachByte * '0');
}

unsigned CountDigitsBelow1e8(std::uint64_t number) {
    return 1u + (number >= 10) + (number >= 100) + (number >= 1000) + (number >= 10000) + (number >= 100000) +
           (number >= 1000000) + (number >= 10000000);
}

// The lowest count bytes of a word set, for count 0 to 7.
std::uint64_t LowBytes(unsigned count) { return (std::uint64_t{1} << (8 * count)) - 1; }

void Store64(char* at, std::uint64_t bytes) { std::memcpy(at, &bytes, 8); }
void Store32(char* at, std::uint64_t bytes) {
    const auto low = static_cast<std::uint32_t>(bytes);
    std::memcpy(at, &low, 4);
}

// rounded below 10^8, decimals 0 to 7, width 0 to 16. Returns nullptr, having written nothing,
// when the number takes more than eight characters: the caller writes those the long way.
// Byte i of a word is the i-th character in memory (little-endian).
char* WriteShortField(char* out, std::uint64_t rounded, bool negative, int width, unsigned decimals) {
    // The field's end comes from comparisons, not from the digits: the next field's start
    // waits for it, and the digits' chain of multiplications is long.
    const unsigned shown = std::max(CountDigitsBelow1e8(rounded), decimals + 1);  // units digit included
    const int length = static_cast<int>(shown + negative + (decimals > 0));
    if (length > 8) return nullptr;
    const unsigned integerDigits = 8 - decimals;
    const std::uint64_t digits = EightDigits(rounded);
    const unsigned zeros = 8 - shown;  // leading zeros, blanked
    // The number's last eight characters. With a point, the first digit falls off the front; the
    // length being at most eight, it is a leading zero.
    std::uint64_t number = digits;
    unsigned blanks = zeros;  // leading zeros left in number, never fewer than the sign needs
    if (decimals > 0) {
        const std::uint64_t integerPart = LowBytes(integerDigits);
        number = ((digits >> 8) & (integerPart >> 8)) | (std::uint64_t{'.'} << (8 * (integerDigits - 1))) |
                 (digits & ~integerPart);
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

// The field for a rounded magnitude; Decimals a constant, so the divisions become multiplications.
template <int Decimals>
char* WriteRounded(char* out, std::uint64_t rounded, bool negative, int width) {
    constexpr auto kScale = static_cast<std::uint64_t>(kPowersOfTen[Decimals]);
    constexpr int kPointAndDecimals = Decimals > 0 ? Decimals + 1 : 0;
    const std::uint64_t whole = rounded / kScale;
    const unsigned wholeDigits = CountDigits(whole);
    const int length = static_cast<int>(negative + wholeDigits) + kPointAndDecimals;
    if (length < width) {
        std::memset(out, ' ', static_cast<std::size_t>(width - length));
        out += width - length;
    }
    char* const end = out + length;
    char* p = end;
    if constexpr (Decimals > 0) {
        p = WriteDigitsBackwards<Decimals>(p, rounded % kScale);
        *--p = '.';
    }
    p = WriteDigitsBackwards(p, whole, wholeDigits);
    if (negative) *--p = '-';
    return end;
}

char* WriteRounded(char* out, std::uint64_t rounded, bool negative, int width, int decimals) {
    switch (decimals) {
        case 0: return WriteRounded<0>(out, rounded, negative, width);
        case 1: return WriteRounded<1>(out, rounded, negative, width);
        case 2: return WriteRounded<2>(out, rounded, negative, width);
        case 3: return WriteRounded<3>(out, rounded, negative, width);
        case 4: return WriteRounded<4>(out, rounded, negative, width);
        case 5: return WriteRounded<5>(out, rounded, negative, width);
        case 6: return WriteRounded<6>(out, rounded, negative, width);
        case 7: return WriteRounded<7>(out, rounded, negative, width);
        case 8: return WriteRounded<8>(out, rounded, negative, width);
        default: return WriteRounded<9>(out, rounded, negative, width);
    }
}

// The exact conversion, for what the shortcut leaves: ties, large values, many decimals,
// infinities and NaN.
char* WriteFixedExactly(char* out, double value, int width, int decimals) {
    char digits[400];  // the longest double in fixed notation has 309 integer digits
    const char* last = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals).ptr;
    const auto length = static_cast<int>(last - digits);
    if (length < width) {
        std::memset(out, ' ', static_cast<std::size_t>(width - length));
        out += width - length;
    }
    std::memcpy(out, digits, static_cast<std::size_t>(length));
    return out + length;
}

// Large values, ties, many decimals, wide fields, infinities and NaN.
[[gnu::noinline]] char* WriteFixedTheLongWay(char* out, double value, int width, int decimals) {
    std::uint64_t rounded = 0;
    if (ScaleAndRound(value, decimals, rounded)) return WriteRounded(out, rounded, std::signbit(value), width, decimals);
    return WriteFixedExactly(out, value, width, decimals);
}

}  // namespace

void AppendLeft(std::string& out, const std::string& text, std::size_t width) {
    out += text;
    if (text.size() < width) out.append(width - text.size(), ' ');
}

void AppendRight(std::string& out, const std::string& text, std::size_t width) {
    if (text.size() < width) out.append(width - text.size(), ' ');
    out += text;
}

void AppendFixed(std::string& out, double value, int width, int decimals) {
    char field[400 + 64];
    if (width > 64) {
        // Wider than a field's room: the padding goes straight into the text.
        const char* end = WriteFixed(field, value, 0, decimals);
        const auto length = static_cast<std::size_t>(end - field);
        if (length < static_cast<std::size_t>(width)) out.append(static_cast<std::size_t>(width) - length, ' ');
        out.append(field, length);
        return;
    }
    const char* end = WriteFixed(field, value, width, decimals);
    out.append(field, static_cast<std::size_t>(end - field));
}

char* WriteFixed(char* out, double value, int width, int decimals) {
    // Kept apart from the long way, so that the common field's call saves no registers.
    if (static_cast<unsigned>(decimals) <= kShortMaxDecimals && static_cast<unsigned>(width) <= kShortMaxWidth) {
        const double scaled = std::fabs(value) * kPowersOfTen[decimals];
        if (scaled < kShortScaledLimit) {  // false for infinities and NaN
            // To nearest by one addition: at 2^52 the unit in the last place is 1, so the sum's
            // low mantissa bits are the nearest integer. What a tie gives does not matter, a tie
            // is left to to_chars; only a branch waits for that test, so the field's end need not.
            const double shifted = scaled + kRoundingShift;
            std::uint64_t bits;
            std::memcpy(&bits, &shifted, sizeof bits);
            const std::uint64_t rounded = bits & (kRoundingShiftBits - 1);
            if (std::fabs((shifted - kRoundingShift) - scaled) != 0.5) {  // both exact
                if (char* end =
                        WriteShortField(out, rounded, std::signbit(value), width, static_cast<unsigned>(decimals))) {
                    return end;
                }
            }
        }
    }
    return WriteFixedTheLongWay(out, value, width, decimals);
}

char* WriteUnsignedRight(char* out, std::size_t value, int width) {
    const unsigned length = CountDigits(value);
    for (int i = static_cast<int>(length); i < width; ++i) *out++ = ' ';
    char* const end = out + length;
    WriteDigitsBackwards(end, value, length);
    return end;
}

}  // namespace Common
