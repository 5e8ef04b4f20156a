// Fuzzes the structure readers with bytes: the first byte picks the reader (modulo 3: 0 PDB,
// 1 mmCIF, 2 PQR), the rest is the file, plain or gzip. A read succeeds or throws ReadError;
// anything else (another exception, a fault) is a defect. The files of
// ../shared/corpus/hostile follow the same layout.
#include "io/ReadError.h"
#include "io/StructureReader.h"

#include "HostModel/ChemDoc.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const HostIO::StructureFormat kFormats[] = {HostIO::StructureFormat::Pdb, HostIO::StructureFormat::Mmcif,
                                                       HostIO::StructureFormat::Pqr};
    HostIO::ReadOptions options;
    options.format = kFormats[data[0] % 3];
    // The other bits try the options that change what is kept.
    options.altloc = (data[0] & 8) ? HostIO::AltlocChoice::HighestOccupancy : HostIO::AltlocChoice::First;
    options.model = (data[0] & 16) ? 2 : 0;
    HostModel::ChemDoc doc;
    try {
        HostIO::ReadStructureFromMemory(doc, std::string(reinterpret_cast<const char*>(data + 1), size - 1), "fuzz",
                                        options);
    } catch (const HostIO::ReadError&) {
    }
    return 0;
}
