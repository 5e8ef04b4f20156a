// Reads a structure file: the bytes, their format, then the format's reader (gemmi for PDB and
// mmCIF, our own for PQR) builds one model's tree; what a read met becomes the ReadResult.
#include "io/StructureReader.h"

#include "io/GemmiStructureReader.h"
#include "io/InputBytes.h"
#include "io/MappedFile.h"
#include "io/ReadError.h"
#include "io/PqrStructureReader.h"

#include "chem/StructurePreparation.h"

#include "Common/Text.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/TreeRoot.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace HostIO {
namespace {

void TakeModel(ModelRead& read, ReadResult& result) {
    result.modelCount = read.modelCount;
    result.modelNumber = read.modelNumber;
    result.atomCount = read.built.atoms.size();
    result.residueCount = read.built.residueCount;
    result.chainCount = read.built.chainCount;
    result.bondCount = read.built.bondCount;
    result.altlocAtomsDropped = read.altlocAtomsDropped;
    result.altlocResiduesDropped = read.altlocResiduesDropped;
    result.unknownResidues.assign(read.built.unknownResidues.begin(), read.built.unknownResidues.end());
    if (read.built.unknownElements > 0) {
        result.warnings.push_back(std::to_string(read.built.unknownElements) +
                                  " atom(s) have no known element, the first " + read.built.firstUnknownElement);
    }
}

void TakePqrValues(PqrModelRead& read, const ReadOptions& options, ReadResult& result) {
    result.hasCharges = true;
    result.totalCharge = read.totalCharge;
    result.declaredTotalCharge = read.remarks.totalCharge;
    result.declaredForcefield = read.remarks.forcefield;
    result.radii = std::move(read.radii);
    if (!options.forcefieldName.empty() && !result.declaredForcefield.empty() &&
        !Common::EqualsNoCase(options.forcefieldName, result.declaredForcefield)) {
        result.warnings.push_back("the file says its charges come from force field '" + result.declaredForcefield +
                                  "', not '" + options.forcefieldName + "'");
    }
}

std::unique_ptr<HostModel::Molecule> TakeGemmiModel(GemmiModelRead& read, const ReadOptions& options,
                                                    ReadResult& result) {
    result.warnings = std::move(read.warnings);
    TakeModel(read.model, result);
    if (!options.forcefieldName.empty()) {
        result.warnings.push_back("force field '" + options.forcefieldName +
                                  "' ignored: only PQR files carry charges, this is " +
                                  StructureFormatName(result.format));
    }
    return std::move(read.model.built.molecule);
}

// The molecule of the model read, outside the document; result gets what the read met.
std::unique_ptr<HostModel::Molecule> ReadModel(std::string text, const std::string& name, const ReadOptions& options,
                                               ReadResult& result) {
    if (result.format == StructureFormat::Pqr) {
        PqrModelRead read = ReadPqrModel(text, name, options.model, StructureFileStem(name));
        std::string().swap(text);  // assigning an empty string would keep the capacity
        TakeModel(read.model, result);
        TakePqrValues(read, options, result);
        return std::move(read.model.built.molecule);
    }
    GemmiModelRead read = ReadGemmiModel(std::move(text), name, result.format, options, StructureFileStem(name));
    return TakeGemmiModel(read, options, result);
}

// The read molecule prepared and attached to doc: the read's one chemistry change.
void Attach(HostModel::ChemDoc& doc, std::unique_ptr<HostModel::Molecule> molecule, const ReadOptions& options,
            ReadResult& result) {
    HostChem::PreparationOptions preparation;
    preparation.completeMissingAtoms = options.completeMissingAtoms && result.format != StructureFormat::Pqr;
    HostChem::PrepareReadMolecule(*molecule, doc.GetPreparationReport(), preparation);
    result.molecule = &doc.GetTreeRoot()->Add(std::move(molecule));
    if (result.format == StructureFormat::Pqr && !options.forcefieldName.empty())
        doc.SetForcefieldName(options.forcefieldName);
}

// A plain PDB file read where the system caches it, without copying its text: nothing when it
// is of another kind (compressed, another format, needing mending, over the size limit), which
// is then read as before.
std::optional<ReadResult> ReadMappedPdb(HostModel::ChemDoc& doc, const std::string& path, const ReadOptions& options) {
    MappedFile mapped(path, GetInputSizeLimit());
    const std::string_view text = mapped.Text();
    if (text.size() < 2) return std::nullopt;
    if (static_cast<unsigned char>(text[0]) == 0x1f && static_cast<unsigned char>(text[1]) == 0x8b) return std::nullopt;
    CheckStructureText(text, path);
    ReadResult result;
    result.source = path;
    result.altlocChoice = options.altloc;
    result.format = options.format != StructureFormat::Detect ? options.format : DetectStructureFormat(text, path);
    if (result.format != StructureFormat::Pdb) return std::nullopt;
    std::optional<GemmiModelRead> read =
        ReadPdbModelInPlace(text, [&mapped] { mapped.Release(); }, path, options, StructureFileStem(path));
    if (!read) return std::nullopt;
    if (mapped.Damaged()) throw ReadError(path, "the file was shortened while it was read");
    Attach(doc, TakeGemmiModel(*read, options, result), options, result);
    return result;
}

}  // namespace

ReadResult ReadStructureFromMemory(HostModel::ChemDoc& doc, std::string bytes, const std::string& name,
                                   const ReadOptions& options) {
    ReadResult result;
    result.source = name;
    result.altlocChoice = options.altloc;
    InputBytes input = InflateIfCompressed(std::move(bytes), name);
    result.compressed = input.compressed;
    CheckStructureText(input.text, name);
    result.format =
        options.format != StructureFormat::Detect ? options.format : DetectStructureFormat(input.text, name);
    std::unique_ptr<HostModel::Molecule> molecule = ReadModel(std::move(input.text), name, options, result);
    Attach(doc, std::move(molecule), options, result);
    return result;
}

ReadResult ReadStructure(HostModel::ChemDoc& doc, const std::string& path, const ReadOptions& options) {
    const std::string name = path == "-" ? std::string(kStandardInputName) : path;
    if (path != "-") {
        if (std::optional<ReadResult> result = ReadMappedPdb(doc, path, options)) return std::move(*result);
    }
    InputBytes input = ReadInputBytes(path);
    // Already inflated: the second look finds no gzip magic, but keep the flag.
    const bool compressed = input.compressed;
    ReadResult result = ReadStructureFromMemory(doc, std::move(input.text), name, options);
    result.compressed = compressed;
    return result;
}

}  // namespace HostIO
