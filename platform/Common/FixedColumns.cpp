#include "Common/FixedColumns.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace Common {
namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
constexpr std::uint64_t kIntegerPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                                 100000, 1000000, 10000000, 100000000, 1000000000};

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
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;  // exact: whole is 0 or within a factor of two of scaled
    if (fraction == 0.5) return nullptr;
    auto rounded = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);

    char* p = end;
    const std::uint64_t unit = kIntegerPowersOfTen[decimals];
    std::uint64_t fractionDigits = rounded % unit;
    std::uint64_t integerPart = rounded / unit;
    if (decimals > 0) {
        for (int i = 0; i < decimals; ++i) {
            *--p = static_cast<char>('0' + fractionDigits % 10);
            fractionDigits /= 10;
        }
        *--p = '.';
    }
    do {
        *--p = static_cast<char>('0' + integerPart % 10);
        integerPart /= 10;
    } while (integerPart != 0);
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

void AppendFixed(std::string& out, double value, int width, int decimals) {
    char digits[400];  // the longest double in fixed notation has 309 integer digits
    const char* first = FormatFixedQuickly(digits + sizeof digits, value, decimals);
    const char* last = digits + sizeof digits;
    if (!first) {
        // Ties, large values, many decimals, infinities and NaN: the exact conversion.
        const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
        first = digits;
        last = result.ptr;
    }
    const auto length = static_cast<int>(last - first);
    if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
    out.append(first, static_cast<std::size_t>(length));
}

}  // namespace Common
