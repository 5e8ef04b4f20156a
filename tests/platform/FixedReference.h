// The oracle of the fixed-point writers' tests: the exact conversion, padded as
// "%<width>.<decimals>f" pads.
#pragma once

#include <charconv>
#include <string>

namespace FixedTest {

inline std::string Reference(double value, int width, int decimals) {
    char digits[400];
    const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    std::string text(digits, result.ptr);
    if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

}  // namespace FixedTest
