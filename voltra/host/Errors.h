// Raising the module's table messages as host exceptions.
#pragma once

#include "host/Messages.h"

#include <string>

namespace Voltra {

/// Throws Common::Exception(source, line, text of id, 0).
[[noreturn]] void RaiseMessage(const char* source, int line, MessageId id);
/// Throws Common::Exception with "%1" of id's text filled with argument.
[[noreturn]] void RaiseMessage(const char* source, int line, MessageId id, const std::wstring& argument);

}  // namespace Voltra
