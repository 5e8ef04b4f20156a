#include "chem/HeavyAtomCensus.h"

#include "chem/MonomerLibrary.h"

#include "HostModel/Atom.h"
#include "HostModel/Residue.h"

#include <map>

namespace HostChem {

using HostModel::Atom;
using HostModel::Residue;

const std::string* CompletionMonomerName(const std::string& typeName, bool aminoAcid) {
    static const std::map<std::string, std::string> kAminoAcids = {
        {"ALA", "ALA"}, {"ARG", "ARG"}, {"ASN", "ASN"}, {"ASP", "ASP"}, {"CYS", "CYS"}, {"GLN", "GLN"}, {"GLU", "GLU"},
        {"GLY", "GLY"}, {"HIS", "HIS"}, {"ILE", "ILE"}, {"LEU", "LEU"}, {"LYS", "LYS"}, {"MET", "MET"}, {"PHE", "PHE"},
        {"PRO", "PRO"}, {"SER", "SER"}, {"THR", "THR"}, {"TRP", "TRP"}, {"TYR", "TYR"}, {"VAL", "VAL"}, {"HID", "HIS"},
        {"HIE", "HIS"}, {"HIP", "HIS"}, {"HSD", "HIS"}, {"HSE", "HIS"}, {"HSP", "HIS"}, {"CYX", "CYS"}, {"CYM", "CYS"},
        {"ASH", "ASP"}, {"GLH", "GLU"}, {"LYN", "LYS"}};
    static const std::map<std::string, std::string> kNucleotides = {{"DA", "DA"}, {"DC", "DC"}, {"DG", "DG"},
                                                                    {"DT", "DT"}, {"DU", "DU"}, {"A", "A"},
                                                                    {"C", "C"},   {"G", "G"},   {"U", "U"}};
    const auto& table = aminoAcid ? kAminoAcids : kNucleotides;
    const auto it = table.find(typeName);
    return it == table.end() ? nullptr : &it->second;
}

MonomerHeavyAtoms IndexHeavyAtoms(const gemmi::ChemComp& monomer) {
    MonomerHeavyAtoms heavy;
    for (const gemmi::ChemComp::Atom& atom : monomer.atoms)
        if (!atom.is_hydrogen()) heavy.names.push_back(atom.id);
    if (heavy.names.size() > MonomerHeavyAtoms::kMaxAtoms) return heavy;
    std::vector<PackedName> keys;
    for (std::size_t i = 0; i < heavy.names.size(); ++i) {
        const std::string& name = heavy.names[i];
        const PackedName key = PackName(name);
        if (key == kUnpackedName) return heavy;
        keys.push_back(key);
        const std::uint64_t bit = std::uint64_t{1} << i;
        if (name == "OXT") heavy.oxt |= bit;
        if (name == "P" || name == "OP1" || name == "OP2" || name == "OP3") heavy.phosphate |= bit;
        if (name == "OP3") heavy.op3 |= bit;
        if (name == "P") heavy.phosphorus |= bit;
    }
    heavy.keys = std::move(keys);
    heavy.indexed = true;
    return heavy;
}

ResidueAtomScan ScanResidueAtoms(const Residue& residue, const MonomerHeavyAtoms* heavy) {
    ResidueAtomScan scan;
    const bool matching = heavy && heavy->indexed;
    const PackedName* keys = matching ? heavy->keys.data() : nullptr;
    const std::size_t count = matching ? heavy->keys.size() : 0;
    // Atoms usually come in the library's order: the search starts after the last one found.
    std::size_t next = 0;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        const HostModel::Object* child = residue.GetChild(i);
        if (!child->IsA(Atom::classType)) continue;
        if (static_cast<const Atom*>(child)->GetAtomicNumber() == 1) {
            scan.hasHydrogen = true;
            continue;
        }
        if (count == 0) continue;
        const PackedName key = PackName(child->GetLabel());
        for (std::size_t tried = 0; tried < count; ++tried, ++next) {
            if (next == count) next = 0;
            if (keys[next] == key) {
                scan.present |= std::uint64_t{1} << next++;
                break;
            }
        }
    }
    return scan;
}

const HeavyAtomCensus::Monomer& HeavyAtomCensus::MonomerOf(const std::string& typeName, bool aminoAcid) {
    auto make = [&](const std::string& name) {
        Monomer made;
        const std::string* monomerName = CompletionMonomerName(name, aminoAcid);
        if (!monomerName) return made;
        MonomerLibrary& library = SharedMonomerLibrary();
        if (libraryAvailable_ < 0) libraryAvailable_ = library.IsAvailable() ? 1 : 0;
        if (!libraryAvailable_) return made;
        // A file that cannot be read is the completion's to report, when it gets there: the
        // library keeps no failed look-up, so the completion's own one fails the same way.
        try {
            made.monomer = library.Find(*monomerName);
        } catch (const std::exception&) {
            made.monomer = nullptr;
        }
        if (!made.monomer) return made;
        made.heavy = IndexHeavyAtoms(*made.monomer);
        if (made.heavy.indexed && made.heavy.keys.size() <= kMaskBits) {
            std::size_t place = 0;
            while (place < monomers_.size() && monomers_[place] != made.monomer) ++place;
            if (place == monomers_.size()) monomers_.push_back(made.monomer);
            made.tag = static_cast<std::uint64_t>(place + 1) << kMaskBits;
        }
        return made;
    };
    return aminoAcid ? aminoAcids_.Get(typeName, make) : nucleotides_.Get(typeName, make);
}

ResidueAtomScan HeavyAtomCensus::Take(const Residue& residue, bool counted) {
    const bool aminoAcid = residue.IsA(HostModel::AminoAcid::classType);
    if (!counted || (!aminoAcid && !residue.IsA(HostModel::Nucleotide::classType)))
        return ScanResidueAtoms(residue, nullptr);
    const Monomer& monomer = MonomerOf(residue.GetResidueType(), aminoAcid);
    const ResidueAtomScan scan = ScanResidueAtoms(residue, &monomer.heavy);
    counts_.push_back(monomer.tag ? monomer.tag | scan.present : 0);
    return scan;
}

void HeavyAtomCensus::LeaveToCompletion(const Residue& residue, bool counted) {
    if (counted && (residue.IsA(HostModel::AminoAcid::classType) || residue.IsA(HostModel::Nucleotide::classType)))
        counts_.push_back(0);
}

void HeavyAtomCensus::Append(const HeavyAtomCensus& later) {
    // The later census numbered its monomers as it met them: its tags are renumbered to ours.
    std::vector<std::uint64_t> tags(later.monomers_.size() + 1, 0);
    for (std::size_t i = 0; i < later.monomers_.size(); ++i) {
        std::size_t place = 0;
        while (place < monomers_.size() && monomers_[place] != later.monomers_[i]) ++place;
        if (place == monomers_.size()) monomers_.push_back(later.monomers_[i]);
        tags[i + 1] = static_cast<std::uint64_t>(place + 1) << kMaskBits;
    }
    const std::uint64_t mask = (std::uint64_t{1} << kMaskBits) - 1;
    counts_.reserve(counts_.size() + later.counts_.size());
    for (const std::uint64_t packed : later.counts_) {
        const std::uint64_t tag = tags[packed >> kMaskBits];
        counts_.push_back(tag ? tag | (packed & mask) : 0);
    }
}

HeavyAtomCensus::Count HeavyAtomCensus::operator[](std::size_t index) const {
    const std::uint64_t packed = counts_[index];
    const std::uint64_t tag = packed >> kMaskBits;
    if (tag == 0) return {nullptr, 0};
    return {monomers_[tag - 1], packed & ((std::uint64_t{1} << kMaskBits) - 1)};
}

}  // namespace HostChem
