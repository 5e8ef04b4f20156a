#include "Common/Exception.h"

#include "Common/StringConversion.h"

namespace Common {

Exception::Exception(const char* source, int line, const std::wstring& message, int code)
    : source_(source ? source : ""), line_(line), message_(message), messageUtf8_(ToSString(message)), code_(code) {}

const char* Exception::what() const noexcept { return messageUtf8_.c_str(); }

const wchar_t* Exception::GetMessageText() const noexcept { return message_.c_str(); }

}  // namespace Common
