// A scratch installed tree whose share/ is the source tree's, so the committed template files are
// the ones tested, whatever the build tree holds.
#pragma once

#include "support/ScratchFolder.h"

#include "Common/Path.h"
#include "Common/StringConversion.h"
#include "Persistence/Persistence.h"
#include "templates/Template.h"
#include "templates/TemplateFileIO.h"

#include <filesystem>
#include <map>
#include <string>

namespace VoltraTest {

/// The persistence root <scratch>/bin, whose ../share links to the source tree's share/, for
/// the life of the object.
class SourceTemplates {
public:
    SourceTemplates() {
        std::filesystem::create_directories(folder_.Path() / "bin");
        std::filesystem::create_directory_symlink(std::filesystem::path(VOLTRA_SOURCE_DIR) / "share",
                                                  folder_.Path() / "share");
        Persistence::Initialize(Common::Path(Common::ToWString(folder_ / "bin")));
    }
    ~SourceTemplates() {
        Persistence::Shutdown();
        std::error_code ignored;
        std::filesystem::remove(folder_.Path() / "share", ignored);  // the link, not the source tree
    }
    SourceTemplates(const SourceTemplates&) = delete;
    SourceTemplates& operator=(const SourceTemplates&) = delete;

private:
    ScratchFolder folder_;
};

/// A template file of the tree SourceTemplates links, loaded as the commands load it.
inline Voltra::TemplatePtr LoadSourceTemplate(const char* fileName) {
    Voltra::TemplatePtr loaded;
    Voltra::LoadTemplate(fileName, loaded);
    return loaded;
}

/// Atom name -> value of one residue's entries, the first entry winning as in the lookup.
inline std::map<std::string, double> EntriesOf(const Voltra::Template& t, const std::string& residue) {
    std::map<std::string, double> values;
    for (const Voltra::TemplateEntry& e : t.GetEntries()) {
        if (e.GetResidueName() == residue) values.emplace(e.GetAtomName(), e.GetValue());
    }
    return values;
}

}  // namespace VoltraTest
