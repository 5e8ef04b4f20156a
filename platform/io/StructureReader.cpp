// Reads structures through gemmi (PDB, mmCIF) or the PQR parser into gemmi's model, then turns
// one model of it into the host's document tree. The only file that includes gemmi.
#include "io/StructureReader.h"

#include "io/AtomNameElement.h"
#include "io/BondPerception.h"
#include "io/InputBytes.h"
#include "io/PdbRecordGuards.h"
#include "io/MmcifStreamReader.h"
#include "io/PqrParser.h"

#include "chem/ResidueConventions.h"
#include "chem/StructurePreparation.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"

#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>
#include <gemmi/pdb.hpp>
#include <gemmi/polyheur.hpp>
#include <gemmi/resinfo.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <utility>

namespace HostIO {
namespace {

// ---------------------------------------------------------------------------------------------
// Residue knowledge

// Protonation and bonding variants that force fields (AMBER, CHARMM) and PDB2PQR write for
// standard amino acids; gemmi's table lists them under their PDB names only.
bool IsForcefieldAminoAcid(const std::string& name) {
    static const char* const kNames[] = {"HID", "HIE", "HIP", "HSD", "HSE", "HSP", "CYX", "CYM", "ASH", "GLH", "LYN"};
    for (const char* known : kNames) {
        if (name == known) return true;
    }
    return false;
}

enum class ResidueClass { AminoAcid, Nucleotide, Other };

ResidueClass ClassifyResidue(const gemmi::Residue& residue, const gemmi::ResidueInfo& info, bool polymer) {
    if (info.is_amino_acid() || IsForcefieldAminoAcid(residue.name)) return ResidueClass::AminoAcid;
    if (info.is_nucleic_acid()) return ResidueClass::Nucleotide;
    // Residues the table does not know are judged, inside a polymer, by their backbone.
    if (!info.found() && polymer) {
        if (residue.get_ca()) return ResidueClass::AminoAcid;
        if (residue.get_p() || residue.find_atom("C1'", '*')) return ResidueClass::Nucleotide;
    }
    return ResidueClass::Other;
}

bool IsStandardPolymerResidue(const gemmi::Residue& residue, const gemmi::ResidueInfo& info) {
    return (info.found() && info.is_standard() && (info.is_amino_acid() || info.is_nucleic_acid())) ||
           IsForcefieldAminoAcid(residue.name);
}

// Simulation programs spell water their own way (TIP3, SOL); they are waters all the same.
bool IsWater(const gemmi::Residue& residue) {
    return residue.is_water() || residue.entity_type == gemmi::EntityType::Water ||
           HostChem::IsWaterResidueName(residue.name);
}

// ---------------------------------------------------------------------------------------------
// PQR into gemmi's model, so that every format meets the same conversion below.

class PqrCollector : public PqrHandler {
public:
    PqrCollector(gemmi::Structure& structure, std::vector<float>& charges, std::vector<float>& radii)
        : structure_(structure), charges_(charges), radii_(radii) {}

    void OnAtom(const PqrAtomRecord& record) override {
        if (!model_) StartModel(0);
        if (!chain_ || chain_->name != record.chain) {
            model_->chains.emplace_back(std::string(record.chain));
            chain_ = &model_->chains.back();
            residue_ = nullptr;
        }
        const gemmi::SeqId seqId(record.residueNumber, record.insertionCode);
        if (!residue_ || residue_->seqid != seqId || residue_->name != record.residueName) {
            gemmi::ResidueId id;
            id.seqid = seqId;
            id.name = std::string(record.residueName);
            chain_->residues.emplace_back(id);
            residue_ = &chain_->residues.back();
            residue_->het_flag = record.hetatm ? 'H' : 'A';
        }
        gemmi::Atom atom;
        atom.name = std::string(record.atomName);
        atom.element = gemmi::Element(ElementFromAtomName(record.atomName, record.residueName));
        atom.pos = gemmi::Position(record.x, record.y, record.z);
        atom.occ = 1.0f;
        // The serial indexes the charge and radius kept beside the model.
        atom.serial = static_cast<int>(charges_.size());
        charges_.push_back(record.charge);
        radii_.push_back(record.radius);
        residue_->atoms.push_back(std::move(atom));
    }

    void OnTer() override {
        chain_ = nullptr;
        residue_ = nullptr;
    }

    void OnModel(int number) override { StartModel(number); }

    void OnEndModel() override {
        model_ = nullptr;
        OnTer();
    }

private:
    void StartModel(int number) {
        structure_.models.emplace_back(
            std::to_string(number > 0 ? number : static_cast<int>(structure_.models.size()) + 1));
        model_ = &structure_.models.back();
        OnTer();
    }

    gemmi::Structure& structure_;
    std::vector<float>& charges_;
    std::vector<float>& radii_;
    gemmi::Model* model_ = nullptr;
    gemmi::Chain* chain_ = nullptr;
    gemmi::Residue* residue_ = nullptr;
};

// PDB and PQR files name no entities; each residue is judged by its name and backbone, so a
// cap before the chain (ACE) or a ligand between chains does not hide the polymer around it.
// A standard residue written as HETATM is taken for a free one (buffer, ligand), as gemmi does.
void SetEntityTypesByResidue(gemmi::Structure& structure) {
    for (gemmi::Model& model : structure.models) {
        for (gemmi::Chain& chain : model.chains) {
            for (gemmi::Residue& residue : chain.residues) {
                const gemmi::ResidueInfo info = gemmi::find_tabulated_residue(residue.name);
                if (IsWater(residue)) {
                    residue.entity_type = gemmi::EntityType::Water;
                } else if (ClassifyResidue(residue, info, true) != ResidueClass::Other &&
                           !(residue.het_flag == 'H' && info.found() && info.is_standard())) {
                    residue.entity_type = gemmi::EntityType::Polymer;
                } else {
                    residue.entity_type = gemmi::EntityType::NonPolymer;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Parsing, with gemmi's messages turned into ours.

// gemmi's PDB reader: "Problem in line 6: The line is too short to be correct:\nATOM ...".
[[noreturn]] void ThrowPdbError(const std::string& name, const std::string& message) {
    static const std::string kPrefix = "Problem in line ";
    if (message.compare(0, kPrefix.size(), kPrefix) == 0) {
        std::size_t end = kPrefix.size();
        int line = 0;
        while (end < message.size() && std::isdigit(static_cast<unsigned char>(message[end]))) {
            line = line * 10 + (message[end++] - '0');
        }
        std::string detail = message.size() > end + 2 ? message.substr(end + 2) : std::string();
        const std::size_t newline = detail.find('\n');
        if (newline != std::string::npos) {
            std::string quoted = detail.substr(newline + 1);
            while (!quoted.empty() && (quoted.back() == '\n' || quoted.back() == '\r')) quoted.pop_back();
            detail = detail.substr(0, newline);
            if (!detail.empty() && detail.back() == ':') detail.pop_back();
            detail += ": '" + quoted + "'";
        }
        throw ReadError(name, line, LowerFirst(detail));
    }
    throw ReadError(name, LowerFirst(message));
}

struct Parsed {
    gemmi::Structure structure;
    std::vector<float> charges;  // PQR: e, indexed by gemmi::Atom::serial
    std::vector<float> radii;    // PQR: Å, indexed by gemmi::Atom::serial
    PqrRemarks remarks;
};

Parsed Parse(const std::string& text, const std::string& name, StructureFormat format) {
    Parsed parsed;
    if (format == StructureFormat::Pqr) {
        PqrCollector collector(parsed.structure, parsed.charges, parsed.radii);
        parsed.remarks = ParsePqr(text, name, collector);
        SetEntityTypesByResidue(parsed.structure);
        return parsed;
    }
    if (format == StructureFormat::Pdb) {
        gemmi::PdbReadOptions pdbOptions;
        // Split at TER without taking it as the end of the polymer: gaps (1K1I) and files
        // from modelling programs put TER inside chains.
        pdbOptions.split_chain_on_ter = true;
        try {
            parsed.structure = gemmi::read_pdb_from_memory(text.data(), text.size(), name, pdbOptions);
        } catch (const std::exception& e) {
            ThrowPdbError(name, e.what());
        }
        SetEntityTypesByResidue(parsed.structure);
        return parsed;
    }
    parsed.structure = ReadMmcifStructure(text, name);
    return parsed;
}

// ---------------------------------------------------------------------------------------------
// One model into the host's tree.

std::string DescribeModels(const std::vector<gemmi::Model>& models) {
    std::string text = std::to_string(models.size()) + (models.size() == 1 ? " model" : " models");
    bool consecutive = true;
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (models[i].name != std::to_string(i + 1)) consecutive = false;
    }
    if (consecutive && models.size() > 1) return text + " (1 to " + std::to_string(models.size()) + ")";
    text += " (";
    for (std::size_t i = 0; i < models.size() && i < 10; ++i) text += (i ? ", " : "") + models[i].name;
    return text + (models.size() > 10 ? ", ...)" : ")");
}

std::size_t SelectModel(const gemmi::Structure& structure, int number, const std::string& name) {
    if (structure.models.empty()) throw ReadError(name, "no atoms found");
    if (number == 0) return 0;
    const std::string wanted = std::to_string(number);
    for (std::size_t i = 0; i < structure.models.size(); ++i) {
        if (structure.models[i].name == wanted) return i;
    }
    throw ReadError(name, "no model " + wanted + "; the file has " + DescribeModels(structure.models));
}

enum class ChainKind { Peptide, Nucleic, OtherPolymer, Ligand };

// Places residues in host chains and owns the chains until they join the molecule.
class ChainTable {
public:
    HostModel::Chain& Get(const std::string& name, ChainKind kind, bool newRun) {
        if (kind != ChainKind::Ligand && name.empty()) {
            // Without chain ids a chain is what runs without interruption.
            if (newRun || !run_ || runKind_ != kind) {
                run_ = &Create(name, kind);
                runKind_ = kind;
            }
            return *run_;
        }
        auto found = byKey_.find({name, kind});
        if (found != byKey_.end()) return *found->second;
        HostModel::Chain& chain = Create(name, kind);
        byKey_.emplace(std::make_pair(name, kind), &chain);
        return chain;
    }

    HostModel::Chain& Water() {
        if (!water_) water_ = std::make_unique<HostModel::Chain>("Water");
        return *water_;
    }

    /// Moves the non-empty chains into molecule, waters last; returns how many.
    std::size_t MoveInto(HostModel::Molecule& molecule) {
        if (water_) chains_.push_back(std::move(water_));
        std::size_t count = 0;
        for (auto& chain : chains_) {
            if (chain->GetNumChildren() == 0) continue;
            molecule.Add(std::move(chain));
            ++count;
        }
        chains_.clear();
        return count;
    }

private:
    HostModel::Chain& Create(const std::string& name, ChainKind kind) {
        switch (kind) {
            case ChainKind::Peptide:
                chains_.push_back(std::make_unique<HostModel::AminoAcidChain>(name));
                break;
            case ChainKind::Nucleic:
                chains_.push_back(std::make_unique<HostModel::NucleicAcidChain>(name));
                break;
            default:
                chains_.push_back(std::make_unique<HostModel::Chain>(name));
                break;
        }
        return *chains_.back();
    }

    std::vector<std::unique_ptr<HostModel::Chain>> chains_;
    std::map<std::pair<std::string, ChainKind>, HostModel::Chain*> byKey_;
    std::unique_ptr<HostModel::Chain> water_;
    HostModel::Chain* run_ = nullptr;
    ChainKind runKind_ = ChainKind::Peptide;
};

// The conformer kept at one sequence position: a residue and the atoms of it that stay.
struct KeptResidue {
    const gemmi::Residue* residue = nullptr;
    std::vector<const gemmi::Atom*> atoms;
};

class AltlocFilter {
public:
    explicit AltlocFilter(AltlocChoice choice) : choice_(choice) {}

    /// residues[begin, end) share one sequence position.
    void Select(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end, KeptResidue& kept) {
        const char altloc = ChooseAltloc(residues, begin, end);
        kept.residue = &residues[begin];
        if (altloc != '\0') {
            for (std::size_t r = begin; r < end; ++r) {
                const auto& atoms = residues[r].atoms;
                if (std::any_of(atoms.begin(), atoms.end(),
                                [altloc](const gemmi::Atom& a) { return a.altloc == altloc; })) {
                    kept.residue = &residues[r];
                    break;
                }
            }
        }
        residuesDropped += end - begin - 1;
        for (std::size_t r = begin; r < end; ++r) {
            if (&residues[r] != kept.residue) atomsDropped += residues[r].atoms.size();
        }
        kept.atoms.clear();
        const auto& atoms = kept.residue->atoms;
        if (altloc == '\0') {
            for (const gemmi::Atom& atom : atoms) kept.atoms.push_back(&atom);
            return;
        }
        for (const gemmi::Atom& atom : atoms) {
            const bool wanted = atom.altloc == '\0' || atom.altloc == altloc;
            // An atom both without and with a location (a faulty file) is kept once.
            const bool duplicate =
                wanted && std::any_of(kept.atoms.begin(), kept.atoms.end(),
                                      [&atom](const gemmi::Atom* k) { return k->name == atom.name; });
            if (wanted && !duplicate) {
                kept.atoms.push_back(&atom);
            } else {
                ++atomsDropped;
            }
        }
    }

    static bool HasAltlocs(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end) {
        for (std::size_t r = begin; r < end; ++r) {
            for (const gemmi::Atom& atom : residues[r].atoms) {
                if (atom.altloc != '\0') return true;
            }
        }
        return false;
    }

    std::size_t atomsDropped = 0;
    std::size_t residuesDropped = 0;

private:
    char ChooseAltloc(const std::vector<gemmi::Residue>& residues, std::size_t begin, std::size_t end) const {
        struct Location {
            char altloc;
            double occupancy;  // summed over the location's atoms
            std::size_t atoms;
        };
        std::vector<Location> locations;  // in order of first appearance
        for (std::size_t r = begin; r < end; ++r) {
            for (const gemmi::Atom& atom : residues[r].atoms) {
                if (atom.altloc == '\0') continue;
                if (choice_ == AltlocChoice::First) return atom.altloc;
                auto it = std::find_if(locations.begin(), locations.end(),
                                       [&atom](const Location& l) { return l.altloc == atom.altloc; });
                if (it == locations.end()) {
                    locations.push_back({atom.altloc, atom.occ, 1});
                } else {
                    it->occupancy += atom.occ;
                    ++it->atoms;
                }
            }
        }
        // Mean, not sum: a conformer with more atoms (another residue type, more hydrogens)
        // must not win by its size.
        char best = '\0';
        double bestOccupancy = -1;
        for (const Location& l : locations) {
            const double mean = l.occupancy / static_cast<double>(l.atoms);
            if (mean > bestOccupancy) {
                best = l.altloc;
                bestOccupancy = mean;
            }
        }
        return best;
    }

    AltlocChoice choice_;
};

BondRole RoleOf(const gemmi::Atom& atom, ResidueClass residueClass) {
    const std::string& n = atom.name;
    if (residueClass == ResidueClass::AminoAcid) {
        if (n == "C" && atom.element == gemmi::El::C) return BondRole::PeptideC;
        if (n == "N" && atom.element == gemmi::El::N) return BondRole::PeptideN;
    } else if (residueClass == ResidueClass::Nucleotide) {
        if (n == "O3'" || n == "O3*") return BondRole::NucleicO3;
        if (n == "P") return BondRole::NucleicP;
    }
    if (n == "SG" && atom.element == gemmi::El::S) return BondRole::DisulfideS;
    return BondRole::None;
}

bool IsIonElement(gemmi::Element element) {
    return element.is_metal() || element == gemmi::El::F || element == gemmi::El::Cl || element == gemmi::El::Br ||
           element == gemmi::El::I;
}

std::unique_ptr<HostModel::Residue> MakeResidue(const gemmi::Residue& residue, ResidueClass residueClass,
                                                const std::string& chainId) {
    const int number = residue.seqid.num.has_value() ? residue.seqid.num.value : 0;
    const char icode = residue.seqid.icode == ' ' ? '\0' : residue.seqid.icode;
    std::string label = residue.name;
    if (residue.seqid.num.has_value()) label += std::to_string(number);
    if (icode != '\0') label += icode;
    std::unique_ptr<HostModel::Residue> made;
    switch (residueClass) {
        case ResidueClass::AminoAcid:
            made = std::make_unique<HostModel::AminoAcid>(label, number, residue.name);
            break;
        case ResidueClass::Nucleotide:
            made = std::make_unique<HostModel::Nucleotide>(label, number, residue.name);
            break;
        case ResidueClass::Other:
            made = std::make_unique<HostModel::Residue>(label, number, residue.name);
            break;
    }
    made->SetInputIdentity(number, icode, chainId);
    return made;
}

struct Conversion {
    std::unique_ptr<HostModel::Molecule> molecule;
    std::vector<HostModel::Atom*> atoms;  // in tree order
    std::vector<int> sourceSerials;       // gemmi serial of each atom (PQR value index)
    std::size_t residueCount = 0;
    std::size_t chainCount = 0;
    std::size_t bondCount = 0;
    std::size_t unknownElements = 0;
    std::string firstUnknownElement;
    std::set<std::string> unknownResidues;
};

// Empties model as it goes: each part's residues are freed once converted, so that gemmi's
// copy and the tree do not both hold a large structure in full.
Conversion Convert(gemmi::Model& model, const std::string& label, AltlocFilter& altlocs, const std::string& name) {
    Conversion out;
    out.molecule = std::make_unique<HostModel::Molecule>(label);
    ChainTable chains;
    std::vector<BondAtom> bondAtoms;
    std::vector<std::uint8_t> residueFlags;
    KeptResidue kept;

    for (gemmi::Chain& part : model.chains) {
        const auto& residues = part.residues;
        // The polymer of this part is peptide or nucleic acid by majority.
        std::size_t polymer = 0, aminoAcids = 0, nucleotides = 0;
        for (const gemmi::Residue& residue : residues) {
            if (residue.entity_type != gemmi::EntityType::Polymer) continue;
            ++polymer;
            const auto c = ClassifyResidue(residue, gemmi::find_tabulated_residue(residue.name), true);
            aminoAcids += c == ResidueClass::AminoAcid;
            nucleotides += c == ResidueClass::Nucleotide;
        }
        const ChainKind polymerKind = 2 * aminoAcids > polymer    ? ChainKind::Peptide
                                      : 2 * nucleotides > polymer ? ChainKind::Nucleic
                                                                  : ChainKind::OtherPolymer;
        bool previousWasPolymer = false;
        for (std::size_t begin = 0; begin < residues.size();) {
            // Residues sharing a position are alternatives only when they carry locations.
            std::size_t end = begin + 1;
            while (end < residues.size() && residues[end].seqid == residues[begin].seqid) ++end;
            if (!AltlocFilter::HasAltlocs(residues, begin, end)) end = begin + 1;
            altlocs.Select(residues, begin, end, kept);
            begin = end;
            const gemmi::Residue& residue = *kept.residue;
            if (kept.atoms.empty()) continue;

            const gemmi::ResidueInfo info = gemmi::find_tabulated_residue(residue.name);
            if (!info.found() && !IsForcefieldAminoAcid(residue.name) && !HostChem::IsMappedResidueName(residue.name))
                out.unknownResidues.insert(residue.name);
            const bool water = IsWater(residue);
            const bool isPolymer = !water && residue.entity_type == gemmi::EntityType::Polymer;
            const ResidueClass residueClass = ClassifyResidue(residue, info, isPolymer);
            HostModel::Chain& chain =
                water ? chains.Water()
                      : chains.Get(part.name, isPolymer ? polymerKind : ChainKind::Ligand, !previousWasPolymer);
            previousWasPolymer = isPolymer;

            std::uint8_t flags = 0;
            if (water) flags |= kWaterResidue;
            if (kept.atoms.size() == 1 && !water && IsIonElement(kept.atoms[0]->element)) flags |= kIonResidue;
            // Other conventions' names for standard residues (RA, DA5, T) link like the PDB's.
            if (IsStandardPolymerResidue(residue, info) ||
                (residueClass != ResidueClass::Other && HostChem::IsMappedResidueName(residue.name)))
                flags |= kStandardPolymerResidue;
            if (residueClass == ResidueClass::AminoAcid) flags |= kAminoAcidResidue;
            if (residueClass == ResidueClass::Nucleotide) flags |= kNucleotideResidue;
            const auto residueIndex = static_cast<std::uint32_t>(residueFlags.size());
            residueFlags.push_back(flags);

            std::unique_ptr<HostModel::Residue> hostResidue = MakeResidue(residue, residueClass, part.name);
            for (const gemmi::Atom* atom : kept.atoms) {
                const gemmi::Position& p = atom->pos;
                if (!IsAcceptedCoordinate(p.x) || !IsAcceptedCoordinate(p.y) || !IsAcceptedCoordinate(p.z)) {
                    throw ReadError(name, "atom '" + atom->name + "' of residue '" + hostResidue->GetLabel() +
                                              "' has a coordinate that is not a finite number within 1e6 Å");
                }
                const int z = atom->element.atomic_number();
                if (z == 0) {
                    if (out.unknownElements++ == 0)
                        out.firstUnknownElement = "'" + atom->name + "' in residue '" + hostResidue->GetLabel() + "'";
                }
                auto hostAtom = std::make_unique<HostModel::Atom>(atom->name, z);
                hostAtom->SetPosition({p.x, p.y, p.z});
                out.atoms.push_back(hostAtom.get());
                out.sourceSerials.push_back(atom->serial);
                hostResidue->AddChild(std::move(hostAtom));

                BondAtom bondAtom;
                bondAtom.x = static_cast<float>(p.x);
                bondAtom.y = static_cast<float>(p.y);
                bondAtom.z = static_cast<float>(p.z);
                bondAtom.covalentRadius = atom->element.covalent_r();
                bondAtom.residue = residueIndex;
                bondAtom.role = RoleOf(*atom, residueClass);
                bondAtom.hydrogen = atom->element.is_hydrogen();
                bondAtoms.push_back(bondAtom);
            }
            chain.AddChild(std::move(hostResidue));
            ++out.residueCount;
        }
        std::vector<gemmi::Residue>().swap(part.residues);
    }
    out.chainCount = chains.MoveInto(*out.molecule);

    // Bonds while the molecule is still outside the document: no revision moves yet.
    const std::vector<BondPair> bonds = PerceiveBonds(bondAtoms, residueFlags);
    for (const BondPair& bond : bonds) HostModel::Atom::Bond(*out.atoms[bond.first], *out.atoms[bond.second]);
    out.bondCount = bonds.size();
    return out;
}

}  // namespace

ReadResult ReadStructureFromMemory(HostModel::ChemDoc& doc, std::string bytes, const std::string& name,
                                   const ReadOptions& options) {
    ReadResult result;
    result.source = name;
    InputBytes input = InflateIfCompressed(std::move(bytes), name);
    result.compressed = input.compressed;
    CheckStructureText(input.text, name);
    result.format =
        options.format != StructureFormat::Detect ? options.format : DetectStructureFormat(input.text, name);

    // gemmi's PDB reader overreads short records and refuses old charge columns; see there.
    if (result.format == StructureFormat::Pdb) result.warnings = GuardPdbRecords(input.text, name);
    Parsed parsed = Parse(input.text, name, result.format);
    input.text = std::string();  // the model holds everything from here on
    gemmi::Structure& structure = parsed.structure;
    result.modelCount = structure.models.size();
    const std::size_t modelIndex = SelectModel(structure, options.model, name);
    gemmi::Model& model = structure.models[modelIndex];
    result.modelNumber = std::atoi(model.name.c_str());
    std::size_t atomSites = 0;
    for (const gemmi::Chain& chain : model.chains) {
        for (const gemmi::Residue& residue : chain.residues) atomSites += residue.atoms.size();
    }
    if (atomSites == 0) {
        throw ReadError(name, options.model == 0 && structure.models.size() == 1
                                  ? std::string("no atoms found")
                                  : "model " + model.name + " has no atoms");
    }

    std::string label = structure.get_info("_entry.id");
    if (label.empty()) label = StructureFileStem(name);
    AltlocFilter altlocs(options.altloc);
    Conversion conversion = Convert(model, label, altlocs, name);

    result.atomCount = conversion.atoms.size();
    result.residueCount = conversion.residueCount;
    result.chainCount = conversion.chainCount;
    result.bondCount = conversion.bondCount;
    result.altlocChoice = options.altloc;
    result.altlocAtomsDropped = altlocs.atomsDropped;
    result.altlocResiduesDropped = altlocs.residuesDropped;
    result.unknownResidues.assign(conversion.unknownResidues.begin(), conversion.unknownResidues.end());
    if (conversion.unknownElements > 0) {
        result.warnings.push_back(std::to_string(conversion.unknownElements) +
                                  " atom(s) have no known element, the first " + conversion.firstUnknownElement);
    }

    if (result.format == StructureFormat::Pqr) {
        result.hasCharges = true;
        result.declaredTotalCharge = parsed.remarks.totalCharge;
        result.declaredForcefield = parsed.remarks.forcefield;
        result.radii.reserve(conversion.atoms.size());
        for (std::size_t i = 0; i < conversion.atoms.size(); ++i) {
            const auto index = static_cast<std::size_t>(conversion.sourceSerials[i]);
            conversion.atoms[i]->SetPartialCharge(parsed.charges[index]);
            result.totalCharge += parsed.charges[index];
            result.radii.push_back({conversion.atoms[i], parsed.radii[index]});
        }
        if (!options.forcefieldName.empty() && !result.declaredForcefield.empty() &&
            gemmi::to_lower(options.forcefieldName) != gemmi::to_lower(result.declaredForcefield)) {
            result.warnings.push_back("the file says its charges come from force field '" + result.declaredForcefield +
                                      "', not '" + options.forcefieldName + "'");
        }
    } else if (!options.forcefieldName.empty()) {
        result.warnings.push_back("force field '" + options.forcefieldName +
                                  "' ignored: only PQR files carry charges, this is " +
                                  StructureFormatName(result.format));
    }

    HostChem::PreparationOptions preparation;
    preparation.completeMissingAtoms = options.completeMissingAtoms && result.format != StructureFormat::Pqr;
    HostChem::PrepareReadMolecule(*conversion.molecule, doc.GetPreparationReport(), preparation);

    // Attaching the finished molecule is the read's one chemistry change.
    result.molecule = &doc.GetTreeRoot()->Add(std::move(conversion.molecule));
    if (result.format == StructureFormat::Pqr && !options.forcefieldName.empty())
        doc.SetForcefieldName(options.forcefieldName);
    return result;
}

ReadResult ReadStructure(HostModel::ChemDoc& doc, const std::string& path, const ReadOptions& options) {
    const std::string name = path == "-" ? std::string(kStandardInputName) : path;
    InputBytes input = ReadInputBytes(path);
    // Already inflated: the second look finds no gzip magic, but keep the flag.
    const bool compressed = input.compressed;
    ReadResult result = ReadStructureFromMemory(doc, std::move(input.text), name, options);
    result.compressed = compressed;
    return result;
}

}  // namespace HostIO
