// The host's persistence service: the root folder that installed data is found from.
#pragma once

#include "Common/Path.h"
#include "HostApi.h"

namespace Persistence {

/// Sets the root path; the host program calls it once at start-up.
HOST_API void Initialize(const Common::Path& rootPath);
/// Forgets the root path (used by tests and at shutdown).
HOST_API void Shutdown();
HOST_API bool IsInitialized();
/// The root path; empty when not initialised.
HOST_API Common::Path GetRootPath();

}  // namespace Persistence
