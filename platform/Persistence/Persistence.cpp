#include "Persistence/Persistence.h"

#include <optional>

namespace Persistence {
namespace {
std::optional<Common::Path>& Root() {
    static std::optional<Common::Path> root;
    return root;
}
}  // namespace

void Initialize(const Common::Path& rootPath) { Root() = rootPath; }

void Shutdown() { Root().reset(); }

bool IsInitialized() { return Root().has_value(); }

Common::Path GetRootPath() { return Root().value_or(Common::Path()); }

}  // namespace Persistence
