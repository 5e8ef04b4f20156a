// ASCII case folding and white-space fields.
#include "Common/Text.h"

namespace Common {
namespace {

bool IsFieldSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

}  // namespace

std::string ToLowerAscii(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = ToLowerAscii(c);
    return folded;
}

std::string ToUpperAscii(std::string_view text) {
    std::string raised(text);
    for (char& c : raised) c = ToUpperAscii(c);
    return raised;
}

int CompareNoCase(std::string_view left, std::string_view right) {
    const std::size_t n = left.size() < right.size() ? left.size() : right.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto a = static_cast<unsigned char>(ToLowerAscii(left[i]));
        const auto b = static_cast<unsigned char>(ToLowerAscii(right[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    if (left.size() == right.size()) return 0;
    return left.size() < right.size() ? -1 : 1;
}

bool EqualsNoCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() && CompareNoCase(left, right) == 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsFieldSpace(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsFieldSpace(text[i])) ++i;
        if (i > start) fields.push_back(text.substr(start, i - start));
    }
    return fields;
}

}  // namespace Common
