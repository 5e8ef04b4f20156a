#include "Common/FixedColumns.h"

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

// value with decimals digits after the point, written into end's left; returns the first
// character, or null when the shortcut cannot promise to_chars's digits.
char* FormatFixedQuickly(char* end, double value, int decimals) {
    if (decimals < 0 || decimals > 9 || !std::isfinite(value)) return nullptr;
    const double scaled = std::fabs(value) * kPowersOfTen[decimals];
    if (!(scaled < kScaledLimit)) return nullptr;
    // Truncation is floor here (scaled is not negative), and exact below 2^40.
    const auto truncated = static_cast<std::uint64_t>(scaled);
    const double fraction = scaled - static_cast<double>(truncated);  // exact: truncated is 0 or within a factor of two
    if (fraction == 0.5) return nullptr;
    std::uint64_t rounded = truncated + (fraction > 0.5 ? 1 : 0);

    // Digits from the right, by constant divisions the compiler turns into multiplications.
    char* p = end;
    if (decimals > 0) {
        for (int i = 0; i < decimals; ++i) {
            *--p = static_cast<char>('0' + rounded % 10);
            rounded /= 10;
        }
        *--p = '.';
    }
    do {
        *--p = static_cast<char>('0' + rounded % 10);
        rounded /= 10;
    } while (rounded != 0);
    // The sign is the value's, as printf writes it: -0.0004 with three decimals is "-0.000".
    if (std::signbit(value)) *--p = '-';
    return p;
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

namespace {

// The digits of value in fixed notation, ending at digits + size; returns their first character.
const char* FixedDigits(char* digits, std::size_t size, double value, int decimals, const char*& last) {
    last = digits + size;
    if (const char* first = FormatFixedQuickly(digits + size, value, decimals)) return first;
    // Ties, large values, many decimals, infinities and NaN: the exact conversion.
    last = std::to_chars(digits, digits + size, value, std::chars_format::fixed, decimals).ptr;
    return digits;
}

}  // namespace

void AppendFixed(std::string& out, double value, int width, int decimals) {
    char digits[400];  // the longest double in fixed notation has 309 integer digits
    const char* last = nullptr;
    const char* first = FixedDigits(digits, sizeof digits, value, decimals, last);
    const auto length = static_cast<int>(last - first);
    if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
    out.append(first, static_cast<std::size_t>(length));
}

char* WriteFixed(char* out, double value, int width, int decimals) {
    char digits[400];
    const char* last = nullptr;
    const char* first = FixedDigits(digits, sizeof digits, value, decimals, last);
    const auto length = static_cast<int>(last - first);
    if (length < width) {
        std::memset(out, ' ', static_cast<std::size_t>(width - length));
        out += width - length;
    }
    std::memcpy(out, first, static_cast<std::size_t>(length));
    return out + length;
}

char* WriteUnsignedRight(char* out, std::size_t value, int width) {
    char digits[24];
    char* first = digits + sizeof digits;
    do {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    const auto length = static_cast<int>(digits + sizeof digits - first);
    for (int i = length; i < width; ++i) *out++ = ' ';
    for (const char* p = first; p != digits + sizeof digits; ++p) *out++ = *p;
    return out;
}

}  // namespace Common
