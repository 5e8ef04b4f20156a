#include "Common/CfxFormat.h"

namespace Common {

CfxFormat::CfxFormat(const std::wstring& pattern) : pattern_(pattern) {}

CfxFormat& CfxFormat::operator<<(std::wstring value) {
    values_.push_back(std::move(value));
    return *this;
}

CfxFormat::operator std::wstring() const { return Str(); }

std::wstring CfxFormat::Str() const {
    std::wstring out;
    out.reserve(pattern_.size());
    for (size_t i = 0; i < pattern_.size(); ++i) {
        const wchar_t c = pattern_[i];
        if (c == L'%' && i + 1 < pattern_.size()) {
            const wchar_t next = pattern_[i + 1];
            if (next == L'%') {
                out += L'%';
                ++i;
                continue;
            }
            if (next >= L'1' && next <= L'9') {
                const size_t index = static_cast<size_t>(next - L'1');
                if (index < values_.size()) {
                    out += values_[index];
                    ++i;
                    continue;
                }
            }
        }
        out += c;
    }
    return out;
}

}  // namespace Common
