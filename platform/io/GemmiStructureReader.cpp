// The only files that include gemmi's PDB and mmCIF readers are this one and the streaming
// readers; each costs seconds of compile time.
#include "io/GemmiStructureReader.h"

#include "io/GemmiPartConversion.h"
#include "io/GemmiReadErrors.h"
#include "io/MmcifStreamReader.h"
#include "io/ModelSelection.h"
#include "io/PdbRecordGuards.h"
#include "io/PdbStreamReader.h"
#include "io/ReadError.h"

#include <gemmi/pdb.hpp>

#include <cstdlib>
#include <utility>

namespace HostIO {
namespace {

gemmi::Structure ParsePdb(const std::string& text, const std::string& name) {
    gemmi::PdbReadOptions pdbOptions;
    // Split at TER without taking it as the end of the polymer: gaps (1K1I) and files from
    // modelling programs put TER inside chains.
    pdbOptions.split_chain_on_ter = true;
    try {
        return gemmi::read_pdb_from_memory(text.data(), text.size(), name, pdbOptions);
    } catch (const std::exception& e) {
        ThrowPdbReaderError(name, e.what());
    }
}

std::vector<std::string> ModelNames(const gemmi::Structure& structure) {
    std::vector<std::string> names;
    names.reserve(structure.models.size());
    for (const gemmi::Model& model : structure.models) names.push_back(model.name);
    return names;
}

std::size_t CountAtomSites(const gemmi::Model& model) {
    std::size_t atomSites = 0;
    for (const gemmi::Chain& chain : model.chains) {
        for (const gemmi::Residue& residue : chain.residues) atomSites += residue.atoms.size();
    }
    return atomSites;
}

ModelRead BuildModel(gemmi::Structure& structure, bool judgeByName, const std::string& name, const ReadOptions& options,
                     const std::string& defaultLabel) {
    ModelRead read;
    read.modelCount = structure.models.size();
    gemmi::Model& model = structure.models[SelectModel(ModelNames(structure), options.model, name)];
    read.modelNumber = std::atoi(model.name.c_str());
    const std::size_t atomSites = CountAtomSites(model);
    CheckModelHasAtoms(atomSites, model.name, structure.models.size(), options.model, name);

    const std::string& label = structure.get_info("_entry.id");
    HostTreeBuilder builder(label.empty() ? defaultLabel : label, name);
    builder.ReserveAtoms(atomSites);
    AltlocFilter altlocs(options.altloc);
    for (gemmi::Chain& part : model.chains) {
        ConvertPart(part, judgeByName, altlocs, builder);
        // gemmi's copy and the tree should not both hold a large structure in full.
        std::vector<gemmi::Residue>().swap(part.residues);
    }
    read.built = builder.Finish();
    read.altlocAtomsDropped = altlocs.atomsDropped;
    read.altlocResiduesDropped = altlocs.residuesDropped;
    return read;
}

// VOLTRA_PDB_STREAMING=0 reads every PDB file through gemmi's reader, for comparisons.
bool PdbStreamingWanted() {
    static const bool wanted = [] {
        const char* value = std::getenv("VOLTRA_PDB_STREAMING");
        return !(value && std::string(value) == "0");
    }();
    return wanted;
}

}  // namespace

ModelRead ReadPdbThroughGemmi(std::string text, const std::string& name, const ReadOptions& options,
                              const std::string& defaultLabel) {
    gemmi::Structure structure = ParsePdb(text, name);
    // The structure holds everything from here on. Swapped, not assigned: assigning an empty
    // string keeps the capacity, and the file's text would stay alive through the build.
    std::string().swap(text);
    return BuildModel(structure, true, name, options, defaultLabel);
}

GemmiModelRead ReadGemmiModel(std::string text, const std::string& name, StructureFormat format,
                              const ReadOptions& options, const std::string& defaultLabel) {
    GemmiModelRead read;
    if (format != StructureFormat::Pdb) {
        gemmi::Structure structure = ReadMmcifStructure(text, name);
        std::string().swap(text);  // assigning an empty string would keep the capacity
        read.model = BuildModel(structure, false, name, options, defaultLabel);
        return read;
    }
    // gemmi's PDB reader overreads short records and refuses old charge columns; see there.
    read.warnings = GuardPdbRecords(text, name);
    if (PdbStreamingWanted()) {
        try {
            read.model = ReadPdbStreaming(text, name, options, defaultLabel, [&text] { std::string().swap(text); });
            return read;
        } catch (const ReadError&) {
            // Read again by gemmi: its message, or its reading of what the stream declined. The
            // text is released only once nothing is left to decline.
            if (text.empty()) throw;
        }
    }
    read.model = ReadPdbThroughGemmi(std::move(text), name, options, defaultLabel);
    return read;
}

std::optional<GemmiModelRead> ReadPdbModelInPlace(std::string_view text, const std::function<void()>& release,
                                                  const std::string& name, const ReadOptions& options,
                                                  const std::string& defaultLabel) {
    if (!PdbStreamingWanted() || PdbRecordsNeedMending(text, name)) return std::nullopt;
    GemmiModelRead read;  // nothing mended: no guard warnings
    bool released = false;
    try {
        read.model = ReadPdbStreaming(text, name, options, defaultLabel, [&] {
            released = true;
            release();
        });
        return read;
    } catch (const ReadError&) {
        // As ReadGemmiModel: gemmi reads what the stream declined, unless the text is gone.
        if (released) throw;
    }
    read.model = ReadPdbThroughGemmi(std::string(text), name, options, defaultLabel);
    return read;
}

}  // namespace HostIO
