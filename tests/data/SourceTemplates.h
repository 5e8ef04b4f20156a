// A scratch installed tree whose share/ is the source tree's, so the committed template files are
// the ones tested, whatever the build tree holds.
#pragma once

#include "Common/Path.h"
#include "Common/StringConversion.h"
#include "Persistence/Persistence.h"

#include <unistd.h>

#include <filesystem>
#include <string>

class SourceTemplates {
public:
    explicit SourceTemplates(const std::string& scratchPrefix) {
        root_ = std::filesystem::temp_directory_path() / (scratchPrefix + std::to_string(::getpid()));
        std::filesystem::create_directories(root_ / "bin");
        std::error_code ignored;
        std::filesystem::remove(root_ / "share", ignored);
        std::filesystem::create_directory_symlink(std::filesystem::path(VOLTRA_SOURCE_DIR) / "share", root_ / "share");
        Persistence::Initialize(Common::Path(Common::ToWString((root_ / "bin").string())));
    }
    ~SourceTemplates() {
        Persistence::Shutdown();
        std::error_code ignored;
        std::filesystem::remove(root_ / "share", ignored);  // the link, not the source tree
        std::filesystem::remove_all(root_, ignored);
    }
    SourceTemplates(const SourceTemplates&) = delete;
    SourceTemplates& operator=(const SourceTemplates&) = delete;

private:
    std::filesystem::path root_;
};
