// The host's exception: where it was raised, a wide message and a code.
#pragma once

#include "HostApi.h"

#include <exception>
#include <string>

namespace Common {

class HOST_API Exception : public std::exception {
public:
    /// source: the raising module or file; message: the user-facing text.
    Exception(const char* source, int line, const std::wstring& message, int code);

    /// The message as UTF-8.
    const char* what() const noexcept override;
    /// The message exactly as given to the constructor.
    virtual const wchar_t* GetMessageText() const noexcept;

    const std::string& GetSource() const noexcept { return source_; }
    int GetLine() const noexcept { return line_; }
    int GetCode() const noexcept { return code_; }

private:
    std::string source_;
    int line_;
    std::wstring message_;
    std::string messageUtf8_;
    int code_;
};

}  // namespace Common
