#include "Common/FixedColumns.h"
#include "Common/FixedField.h"

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
    // The common field first, apart from the long way, so that its call saves no registers.
    if (static_cast<unsigned>(width) <= FixedFieldDetail::kMaxWidth) {
        char* end = nullptr;
        switch (decimals) {
            case 0: end = FixedFieldDetail::WriteShortField<0>(out, value, width); break;
            case 1: end = FixedFieldDetail::WriteShortField<1>(out, value, width); break;
            case 2: end = FixedFieldDetail::WriteShortField<2>(out, value, width); break;
            case 3: end = FixedFieldDetail::WriteShortField<3>(out, value, width); break;
            case 4: end = FixedFieldDetail::WriteShortField<4>(out, value, width); break;
            case 5: end = FixedFieldDetail::WriteShortField<5>(out, value, width); break;
            case 6: end = FixedFieldDetail::WriteShortField<6>(out, value, width); break;
            case 7: end = FixedFieldDetail::WriteShortField<7>(out, value, width); break;
            default: break;
        }
        if (end) return end;
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
