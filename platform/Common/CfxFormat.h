// Fills numbered placeholders ("%1" to "%9") of a wide pattern with streamed values.
#pragma once

#include "HostApi.h"

#include <string>
#include <vector>

namespace Common {

class HOST_API CfxFormat {
public:
    explicit CfxFormat(const std::wstring& pattern);

    /// The n-th streamed value replaces every "%n"; "%%" stands for one "%".
    CfxFormat& operator<<(std::wstring value);
    operator std::wstring() const;
    std::wstring Str() const;

private:
    std::wstring pattern_;
    std::vector<std::wstring> values_;
};

}  // namespace Common
