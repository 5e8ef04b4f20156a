// Raising the module's table messages as host exceptions (code always 0).
#include "host/Errors.h"

#include "Common/CfxFormat.h"
#include "Common/Exception.h"

namespace Voltra {

void RaiseMessage(const char* source, int line, MessageId id) {
    throw Common::Exception(source, line, LoadMessage(id), 0);
}

void RaiseMessage(const char* source, int line, MessageId id, const std::wstring& argument) {
    Common::CfxFormat format(LoadMessage(id));
    format << argument;
    const std::wstring text = format;
    throw Common::Exception(source, line, text, 0);
}

}  // namespace Voltra
