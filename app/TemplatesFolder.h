// The templates folder named by --templates-dir, as the persistence root the module expects:
// the module reads its templates from <root>/../share/voltra/templates.
#pragma once

#include <string>

namespace VoltraApp {

/// A persistence root under which `templatesDir` is the templates folder. A folder that already
/// ends in share/voltra/templates gives a root inside its own tree; any other folder is reached
/// through a private scratch root (a symbolic link named share/voltra/templates), removed when
/// the program ends. Throws UsageError naming the folder when it is not one.
std::string PersistenceRootForTemplates(const std::string& templatesDir);

}  // namespace VoltraApp
