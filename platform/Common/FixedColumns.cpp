#include "Common/FixedColumns.h"

#include <charconv>

namespace Common {

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
    const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    const auto length = static_cast<int>(result.ptr - digits);
    if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
    out.append(digits, static_cast<std::size_t>(length));
}

}  // namespace Common
