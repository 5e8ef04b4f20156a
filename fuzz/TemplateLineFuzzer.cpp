// Fuzzes the parse of one template line: any bytes give an entry or an empty one, never a fault.
#include "templates/TemplateFileIO.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const Voltra::TemplateEntry entry = Voltra::ParseTemplateLine(line);
    // Every field is touched, so that a field built from freed or unset memory shows.
    volatile std::size_t sink = entry.atomName.size() + entry.residueName.size() + entry.residueNumber.size() +
                                entry.chain.size() + static_cast<std::size_t>(entry.value == entry.value);
    (void)sink;
    return 0;
}
