// Fuzzes loading a template file: the first byte picks .crg or .siz, the rest is the file.
// Loading succeeds or throws Common::Exception; the loaded template then composes its header.
#include "ScratchFolder.h"

#include "templates/TemplateFileIO.h"

#include "Common/Exception.h"
#include "Common/StringConversion.h"
#include "Persistence/Persistence.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // Templates are found at <root>/../share/voltra/templates.
    static const std::string templates = [] {
        const std::string folder = VoltraFuzz::ScratchFolder() + "/share/voltra/templates";
        std::filesystem::create_directories(folder);
        std::filesystem::create_directories(VoltraFuzz::ScratchFolder() + "/bin");
        Persistence::Initialize(Common::Path(Common::ToWString(VoltraFuzz::ScratchFolder() + "/bin")));
        return folder;
    }();
    const std::string fileName = (data[0] & 1) ? "fuzz.siz" : "fuzz.crg";
    std::ofstream(templates + "/" + fileName, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    Voltra::TemplatePtr loaded;
    try {
        Voltra::LoadTemplate(fileName, loaded);
    } catch (const Common::Exception&) {
        return 0;
    }
    volatile std::size_t sink = loaded->ComposeHeader().size() + loaded->GetEntries().size();
    (void)sink;
    return 0;
}
