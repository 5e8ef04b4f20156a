// A file-system path held as wide text, joined with '/'.
#pragma once

#include "HostApi.h"

#include <string>

namespace Common {

class HOST_API Path {
public:
    Path() = default;
    explicit Path(std::wstring text);

    /// Appends one component (which may be ".."); returns *this.
    Path& Append(const std::wstring& component);
    /// The last component; empty for an empty path or one ending in a separator.
    Path GetFileName() const;
    /// Everything before the last component, without a trailing separator.
    Path GetDirectory() const;
    const std::wstring& AsString() const { return text_; }
    bool IsEmpty() const { return text_.empty(); }

private:
    std::wstring text_;
};

}  // namespace Common
