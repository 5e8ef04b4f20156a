#include "Common/Path.h"

namespace Common {
namespace {
bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }
}  // namespace

Path::Path(std::wstring text) : text_(std::move(text)) {}

Path& Path::Append(const std::wstring& component) {
    if (!text_.empty() && !IsSeparator(text_.back())) text_ += L'/';
    text_ += component;
    return *this;
}

Path Path::GetFileName() const {
    size_t cut = text_.size();
    while (cut > 0 && !IsSeparator(text_[cut - 1])) --cut;
    return Path(text_.substr(cut));
}

Path Path::GetDirectory() const {
    size_t cut = text_.size();
    while (cut > 0 && !IsSeparator(text_[cut - 1])) --cut;
    while (cut > 1 && IsSeparator(text_[cut - 1])) --cut;
    return Path(text_.substr(0, cut));
}

}  // namespace Common
