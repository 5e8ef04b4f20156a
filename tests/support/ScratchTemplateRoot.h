// Test support: a throw-away installed tree for the template loader. <scratch>/bin is the
// persistence root for the life of the object, and the loader reads <scratch>/share/voltra/templates.
#pragma once

#include "support/ScratchFolder.h"

#include "Common/Path.h"
#include "Common/StringConversion.h"
#include "Persistence/Persistence.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace VoltraTest {

class ScratchTemplateRoot {
public:
    ScratchTemplateRoot() {
        std::filesystem::create_directories(Bin());
        std::filesystem::create_directories(Templates());
        Persistence::Initialize(Common::Path(Common::ToWString(Bin().string())));
    }
    ~ScratchTemplateRoot() { Persistence::Shutdown(); }
    ScratchTemplateRoot(const ScratchTemplateRoot&) = delete;
    ScratchTemplateRoot& operator=(const ScratchTemplateRoot&) = delete;

    const std::filesystem::path& Top() const { return folder_.Path(); }
    std::filesystem::path Bin() const { return Top() / "bin"; }
    std::filesystem::path Templates() const { return Top() / "share" / "voltra" / "templates"; }

    void Write(const std::string& fileName, const std::string& text) const {
        std::ofstream out(Templates() / fileName, std::ios::binary);
        out << text;
        if (!out) throw std::runtime_error("cannot write test template " + fileName);
    }
    void Remove(const std::string& fileName) const { std::filesystem::remove(Templates() / fileName); }

private:
    ScratchFolder folder_;
};

}  // namespace VoltraTest
