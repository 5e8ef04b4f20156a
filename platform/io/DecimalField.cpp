#include "io/DecimalField.h"

#include "Common/Text.h"

#include <gemmi/atof.hpp>

#include <cstdint>

namespace HostIO {
namespace {

constexpr int kMostDigits = 15;  // below 2^53: the digits are an exact double
const double kPowersOfTen[kMostDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// "[blanks][-]digits[.digits]" filling the field to its end; false for anything else (a '+',
// an exponent, text after the number, too many digits), which the general parser reads.
bool ReadPlainDecimal(const char* p, const char* end, double& value) {
    while (p < end && gemmi::is_space(*p)) ++p;
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    std::uint64_t digits = 0;
    int count = 0;
    int fraction = 0;
    for (; p < end && Common::IsAsciiDigit(*p); ++p, ++count)
        digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    if (count == 0) return false;
    if (p < end && *p == '.') {
        for (++p; p < end && Common::IsAsciiDigit(*p); ++p, ++count, ++fraction)
            digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (p != end || count > kMostDigits) return false;
    // Both operands exact, so the quotient is the decimal correctly rounded, as fast_float's.
    const double magnitude = static_cast<double>(digits) / kPowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

// The layout PDB files are written in, "[blanks][-]digits.ddd" or ".dd" ending the field (%8.3f
// coordinates, %6.2f occupancies and B-factors): ReadPlainDecimal's value, without its search
// for the point and its checks of each byte against the field's end; false for anything else.
bool ReadFixedPoint(const char* p, int width, double& value) {
    int fraction;
    if (width >= 5 && p[width - 4] == '.') {
        fraction = 3;
    } else if (width >= 4 && p[width - 3] == '.') {
        fraction = 2;
    } else {
        return false;
    }
    const char* const point = p + width - fraction - 1;
    while (p < point && *p == ' ') ++p;
    const bool negative = *p == '-';
    if (negative) ++p;
    if (p >= point) return false;  // no digit before the point
    std::uint64_t digits = 0;
    for (; p < point; ++p) {
        const auto digit = static_cast<unsigned>(*p - '0');
        if (digit > 9) return false;
        digits = digits * 10 + digit;
    }
    for (const char* q = point + 1; q <= point + fraction; ++q) {
        const auto digit = static_cast<unsigned>(*q - '0');
        if (digit > 9) return false;
        digits = digits * 10 + digit;
    }
    const double magnitude = static_cast<double>(digits) / kPowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

double ReadDecimalFieldInGeneral(const char* begin, int width) {
    double value = 0;
    if (width <= kMostDigits && ReadFixedPoint(begin, width, value)) return value;
    if (!ReadPlainDecimal(begin, begin + width, value)) gemmi::fast_from_chars(begin, begin + width, value);
    return value;
}

}  // namespace HostIO
