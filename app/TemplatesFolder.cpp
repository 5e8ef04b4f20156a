#include "TemplatesFolder.h"

#include "Options.h"

#include "Common/InterruptCleanup.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace VoltraApp {
namespace {

namespace fs = std::filesystem;

// The scratch root lives as long as the program; an interrupted run still loses its link.
class ScratchRoot {
public:
    explicit ScratchRoot(const fs::path& templates) {
        const fs::path base = fs::temp_directory_path() / "voltra-root-XXXXXX";
        std::string pattern = base.string();
        if (!::mkdtemp(pattern.data())) {
            throw std::runtime_error("--templates-dir: cannot make a scratch folder in " + base.parent_path().string());
        }
        top_ = pattern;
        fs::create_directories(top_ / "share" / "voltra");
        fs::create_directory(top_ / "bin");
        const fs::path link = top_ / "share" / "voltra" / "templates";
        fs::create_directory_symlink(templates, link);
        guard_ = Common::InterruptGuard(link.string(), Common::InterruptGuard::Action::Remove);
    }
    ~ScratchRoot() {
        std::error_code ignored;
        fs::remove_all(top_, ignored);  // removes the link, never what it points to
        guard_.Release();
    }
    std::string Root() const { return (top_ / "bin").string(); }

private:
    fs::path top_;
    Common::InterruptGuard guard_;
};

std::unique_ptr<ScratchRoot> scratch;

}  // namespace

std::string PersistenceRootForTemplates(const std::string& templatesDir) {
    std::error_code error;
    const fs::path folder = fs::canonical(templatesDir, error);
    if (error || !fs::is_directory(folder)) {
        throw UsageError("--templates-dir: '" + templatesDir + "' is not a folder");
    }
    const fs::path voltra = folder.parent_path();
    if (folder.filename() == "templates" && voltra.filename() == "voltra" &&
        voltra.parent_path().filename() == "share") {
        return voltra.parent_path().string();  // <prefix>/share, whose parent holds share/voltra/templates
    }
    scratch = std::make_unique<ScratchRoot>(folder);
    return scratch->Root();
}

}  // namespace VoltraApp
