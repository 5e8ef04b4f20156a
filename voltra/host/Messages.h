// The module's message table: command names and error texts, registered with the host's
// string service for as long as the module is loaded.
#pragma once

#include "host/VoltraApi.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace Voltra {

/// Ids are (module id 0xD1 << 16) + row.
enum MessageId : std::uint32_t {
    NameApplyForcefieldParameters = 0xD10000,
    NameZeroCharges = 0xD10001,
    NameParse = 0xD10002,
    NameAmberPlusDefault = 0xD10003,
    NameDefaultChargeAndSize = 0xD10004,
    NameInvalidateTemplates = 0xD10005,
    ErrorNoForcefield = 0xD10006,
    ErrorLoadingRadiiTemplate = 0xD10007,
    ErrorPersistenceNotInitialized = 0xD10008,
    ErrorReadingTemplateFile = 0xD10009,
    ErrorInvalidTemplateExtension = 0xD1000A,
    ErrorNotExactlyOneMolecule = 0xD1000B,
    ErrorMoleculeCorrupted = 0xD1000C,
    ErrorNoTemplateApplied = 0xD1000D,
};

constexpr unsigned kVoltraModuleId = 0xD1;
constexpr unsigned kMessageCount = 14;

/// The registered wide text of id (empty when the module's table is not registered).
std::wstring LoadMessage(MessageId id);
/// The same as UTF-8.
std::string LoadMessageNarrow(MessageId id);

/// A command's display name, looked up on first use and kept until the module unloads.
/// Declare one per command class as a function-local static and return Get() from GetName.
class CachedName {
public:
    explicit CachedName(MessageId id) : id_(id) {}
    /// The same pointer on every call; a failed lookup leaves the cache unfilled. Locked, since
    /// commands of documents on different threads may ask for their names at once.
    const char* Get();

private:
    std::mutex mutex_;
    MessageId id_;
    std::string text_;
    bool filled_ = false;
};

}  // namespace Voltra
