// Completes standard residues as the reader hands them over, bonds already perceived.
//
// What counts as missing: the heavy atoms that the residue's monomer in the CCP4 library
// names (variant names HID, HIE, HIP, CYX, CYM, ASH, GLH, LYN and CHARMM's HSD, HSE, HSP
// under their parent), except
//   - OXT, which only the C-terminal residue of an amino-acid chain gets: the last amino acid
//     of the chain whose C bonds to no other residue's N (a cap such as NH2 or NME, or the
//     first residue of a head-to-tail cyclic peptide, makes it no terminus);
//   - a nucleotide's phosphate (P, OP1, OP2) when the residue has no P: a 5' end, unless the
//     previous nucleotide's O3' lies next to its O5' (then the phosphate is missing and the
//     residue is reported); OP3 (a 5' monophosphate's third oxygen) is never built.
// The library has no ideal coordinates; ResidueBuilder places each atom from the restraints
// (bond lengths, angles, torsions, planes, chirality) on three atoms already placed, which
// takes the place of superposing an ideal residue on the atoms present.
//
// A residue is built whole or not at all: without N, CA and C (amino acids) or without three
// placed atoms to start from, or with heavy atoms that the library does not name (another
// naming convention), it stays as read and is reported. New atoms carry the library's name
// and element and are bonded to their neighbours as the library bonds them, so that later
// steps (terminus detection, hydrogens, chemistry tracking) see them like read ones.
#include "chem/ResidueCompletion.h"

#include "chem/HeavyAtomCensus.h"
#include "chem/InternalCoordinates.h"
#include "chem/MonomerLibrary.h"
#include "chem/ResidueBuilder.h"
#include "chem/TypeNameMemo.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "HostModel/Residue.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <unordered_map>

namespace HostChem {
namespace {

using HostModel::Atom;
using HostModel::Residue;
using HostModel::Vec3;

// Carboxylate geometry when the library's acetate (ACT) cannot be read: C-O 1.25 Å, C-C-O 120°.
constexpr double kCarboxylateBond = 1.25;
constexpr double kCarboxylateAngle = 120.0;
// The trans peptide: C=O lies in the plane of CA, C and the next N, opposite N about CA-C.
constexpr double kPeptideOTorsion = 180.0;
// An O3'-O5' distance this short between consecutive nucleotides means a phosphate between them.
constexpr double kPhosphateGap = 4.0;  // Å
// A built atom closer than this to an atom it is not bonded to is reported.
constexpr double kReportedContact = 2.2;  // Å

bool IsPhosphateAtom(const std::string& name) { return name == "P" || name == "OP1" || name == "OP2" || name == "OP3"; }

Atom* FindAtom(const Residue& residue, const std::string& name) {
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* child = residue.GetChild(i);
        if (child->IsA(Atom::classType) && child->GetLabel() == name) return static_cast<Atom*>(child);
    }
    return nullptr;
}

std::string Describe(const Residue& residue) {
    const HostModel::Object* chain = residue.GetParent();
    if (chain && !chain->GetLabel().empty()) return residue.GetLabel() + " chain " + chain->GetLabel();
    return residue.GetLabel();
}

// What the library says about one monomer, made once per completion.
struct MonomerEntry {
    const gemmi::ChemComp* monomer = nullptr;
    MonomerHeavyAtoms heavy;
    std::map<std::string, int> elements;  // atomic numbers of every atom, hydrogens too
    std::vector<std::pair<std::string, std::string>> bonds;
    std::unique_ptr<ResidueBuilder> builder;
    double carbonylBond = 1.231, carbonylAngle = 120.8;  // C-O and CA-C-O
};

// True when the full check would find nothing to build and nothing to report: every heavy atom
// the residue needs is there (present, over heavy's names), and it is neither a C-terminus
// without OXT nor a nucleotide without P after another (which may be a phosphate gap). False
// sends the residue to the full check, which decides.
bool ClearlyComplete(const Residue& residue, const MonomerHeavyAtoms& heavy, std::uint64_t present, bool aminoAcid,
                     bool cTerminus, const Residue* previous) {
    std::uint64_t required = heavy.All() & ~heavy.oxt;
    const bool hasPhosphorus = (present & heavy.phosphorus) != 0;
    if (!aminoAcid) {
        required &= ~heavy.op3;
        if (!hasPhosphorus) required &= ~heavy.phosphate;
    }
    if ((required & ~present) != 0) return false;
    if (aminoAcid && cTerminus && !FindAtom(residue, "OXT")) return false;
    if (!aminoAcid && !hasPhosphorus && previous && previous->IsA(HostModel::Nucleotide::classType)) return false;
    return true;
}

// Heavy atoms of the molecule on a cell grid, for the contacts of atoms being built.
class AtomGrid {
public:
    explicit AtomGrid(double cell) : cell_(cell) {}

    // Atoms off any cell (not finite) are near nothing; the reader bounds the others.
    void Add(const Atom* atom) {
        if (IsFinite(atom->GetPosition())) cells_[Key(atom->GetPosition())].push_back(atom);
    }

    template <class F>
    void ForEachNear(const Vec3& centre, double radius, F&& f) const {
        // An atom built from degenerate geometry can land nowhere: it has no neighbours.
        if (!IsFinite(centre) || !std::isfinite(radius)) return;
        const long span = static_cast<long>(std::ceil(radius / cell_));
        const Cell c = CellOf(centre);
        for (long i = c.x - span; i <= c.x + span; ++i)
            for (long j = c.y - span; j <= c.y + span; ++j)
                for (long k = c.z - span; k <= c.z + span; ++k) {
                    const auto it = cells_.find(Pack({i, j, k}));
                    if (it == cells_.end()) continue;
                    for (const Atom* atom : it->second)
                        if (Distance(atom->GetPosition(), centre) <= radius) f(atom);
                }
    }

private:
    struct Cell {
        long x, y, z;
    };
    static bool IsFinite(const Vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
    // Indices stay within the 21 bits a key holds for each axis, whatever the coordinate.
    long Index(double v) const {
        constexpr double kLimit = static_cast<double>((1L << 20) - 1);
        return static_cast<long>(std::clamp(std::floor(v / cell_), -kLimit, kLimit));
    }
    Cell CellOf(const Vec3& p) const { return {Index(p.x), Index(p.y), Index(p.z)}; }
    static std::uint64_t Pack(const Cell& c) {
        auto part = [](long v) { return static_cast<std::uint64_t>(v + (1L << 20)) & ((1ULL << 21) - 1); };
        return part(c.x) << 42 | part(c.y) << 21 | part(c.z);
    }
    std::uint64_t Key(const Vec3& p) const { return Pack(CellOf(p)); }

    double cell_;
    std::unordered_map<std::uint64_t, std::vector<const Atom*>> cells_;
};

class Completion {
public:
    Completion(HostModel::Molecule& molecule, HostModel::PreparationReport& report, const HeavyAtomCensus* census)
        : molecule_(molecule), report_(report), census_(census) {}

    void Run() {
        for (std::size_t c = 0; c < molecule_.GetNumChildren(); ++c) {
            HostModel::Object* chain = molecule_.GetChild(c);
            const Residue* cTerminus =
                chain->IsA(HostModel::AminoAcidChain::classType) ? FindCTerminus(*chain) : nullptr;
            const Residue* previous = nullptr;
            for (std::size_t r = 0; r < chain->GetNumChildren(); ++r) {
                HostModel::Object* child = chain->GetChild(r);
                if (!child->IsA(Residue::classType)) continue;
                auto& residue = static_cast<Residue&>(*child);
                const bool aminoAcid = residue.IsA(HostModel::AminoAcid::classType);
                const bool nucleotide = residue.IsA(HostModel::Nucleotide::classType);
                if (aminoAcid || nucleotide)
                    Complete(residue, aminoAcid, &residue == cTerminus, previous, NextCounted());
                previous = &residue;
                if (!libraryUsable_) return;
            }
        }
    }

private:
    // The census's count of the residue visited now: the census took the residues this walk
    // visits, in its order.
    HeavyAtomCensus::Count NextCounted() {
        if (!census_ || counted_ >= census_->Size()) return {nullptr, 0};
        return (*census_)[counted_++];
    }

    // The last amino acid of the chain, when its C links to no following residue's N.
    static const Residue* FindCTerminus(const HostModel::Object& chain) {
        for (std::size_t r = chain.GetNumChildren(); r-- > 0;) {
            const HostModel::Object* child = chain.GetChild(r);
            if (!child->IsA(HostModel::AminoAcid::classType)) continue;
            const auto& residue = static_cast<const Residue&>(*child);
            const Atom* c = FindAtom(residue, "C");
            if (!c) return &residue;
            for (const Atom* partner : c->GetBonds()) {
                const HostModel::Object* owner = partner->GetParent();
                if (partner->GetLabel() == "N" && owner != &residue && owner &&
                    owner->IsA(HostModel::SubUnit::classType))
                    return nullptr;
            }
            return &residue;
        }
        return nullptr;
    }

    MonomerEntry* Entry(const std::string& name) {
        auto it = monomers_.find(name);
        if (it != monomers_.end()) return it->second.get();
        std::unique_ptr<MonomerEntry>& slot = monomers_[name];
        MonomerLibrary& library = SharedMonomerLibrary();
        if (!library.IsAvailable()) {
            report_.warnings.push_back("monomer library not found at " + library.GetFolder() +
                                       ": missing heavy atoms were not built");
            libraryUsable_ = false;
            return nullptr;
        }
        const gemmi::ChemComp* monomer = nullptr;
        try {
            monomer = library.Find(name);
        } catch (const std::exception& e) {
            report_.warnings.push_back(std::string(e.what()) + ": missing heavy atoms of " + name + " were not built");
            return nullptr;
        }
        if (!monomer) return nullptr;
        auto entry = std::make_unique<MonomerEntry>();
        entry->monomer = monomer;
        for (const gemmi::ChemComp::Atom& atom : monomer->atoms) entry->elements[atom.id] = atom.el.atomic_number();
        entry->heavy = IndexHeavyAtoms(*monomer);
        for (const gemmi::Restraints::Bond& bond : monomer->rt.bonds) {
            entry->bonds.emplace_back(bond.id1.atom, bond.id2.atom);
            if ((bond.id1.atom == "C" && bond.id2.atom == "O") || (bond.id1.atom == "O" && bond.id2.atom == "C"))
                entry->carbonylBond = bond.value;
        }
        for (const gemmi::Restraints::Angle& angle : monomer->rt.angles) {
            if (angle.id2.atom == "C" && ((angle.id1.atom == "CA" && angle.id3.atom == "O") ||
                                          (angle.id1.atom == "O" && angle.id3.atom == "CA")))
                entry->carbonylAngle = angle.value;
        }
        slot = std::move(entry);
        return slot.get();
    }

    // Acetate's carboxylate geometry: the C-terminal OXT.
    void CarboxylateGeometry(double& bond, double& angle) {
        bond = kCarboxylateBond;
        angle = kCarboxylateAngle;
        MonomerEntry* acetate = Entry("ACT");
        if (!acetate) return;
        for (const gemmi::Restraints::Bond& b : acetate->monomer->rt.bonds)
            if (b.id1.atom == "OXT" || b.id2.atom == "OXT") bond = b.value;
        for (const gemmi::Restraints::Angle& a : acetate->monomer->rt.angles)
            if (a.id2.atom == "C" && (a.id1.atom == "OXT" || a.id3.atom == "OXT") &&
                (a.id1.atom == "CH3" || a.id3.atom == "CH3"))
                angle = a.value;
    }

    // The monomer of a residue type, looked up once per type and kind; null for none.
    MonomerEntry* EntryOf(const std::string& typeName, bool aminoAcid) {
        auto make = [&](const std::string& name) -> MonomerEntry* {
            const std::string* parent = CompletionMonomerName(name, aminoAcid);
            return parent ? Entry(*parent) : nullptr;
        };
        return aminoAcid ? aminoAcidEntries_.Get(typeName, make) : nucleotideEntries_.Get(typeName, make);
    }

    void Complete(Residue& residue, bool aminoAcid, bool cTerminus, const Residue* previous,
                  const HeavyAtomCensus::Count& counted) {
        MonomerEntry* entry = EntryOf(residue.GetResidueType(), aminoAcid);
        if (!entry) return;
        if (entry->heavy.indexed) {
            // The census counted against the same monomer, or the atoms are looked at here.
            const std::uint64_t present = counted.monomer == entry->monomer
                                              ? counted.present
                                              : ScanResidueAtoms(residue, &entry->heavy).present;
            if (ClearlyComplete(residue, entry->heavy, present, aminoAcid, cTerminus, previous)) return;
        }

        std::vector<NamedPosition> present;
        std::vector<std::string> foreign;
        for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
            const HostModel::Object* child = residue.GetChild(i);
            if (!child->IsA(Atom::classType)) continue;
            const auto& atom = static_cast<const Atom&>(*child);
            if (atom.GetAtomicNumber() == 1) continue;
            const std::string& name = atom.GetLabel();
            if (std::find(entry->heavy.names.begin(), entry->heavy.names.end(), name) != entry->heavy.names.end())
                present.push_back({name, atom.GetPosition()});
            else if (!(aminoAcid && name == "OXT")) foreign.push_back(name);
        }
        auto isPresent = [&](const std::string& name) {
            return std::any_of(present.begin(), present.end(), [&](const NamedPosition& p) { return p.name == name; });
        };

        std::vector<std::string> missing;
        const bool hasPhosphorus = isPresent("P");
        for (const std::string& name : entry->heavy.names) {
            if (isPresent(name) || name == "OXT") continue;
            if (!aminoAcid && IsPhosphateAtom(name) && (name == "OP3" || !hasPhosphorus)) continue;
            missing.push_back(name);
        }
        const bool wantsOxt = aminoAcid && cTerminus && !FindAtom(residue, "OXT");
        std::string phosphateGap;
        if (!aminoAcid && !hasPhosphorus && previous && previous->IsA(HostModel::Nucleotide::classType)) {
            const Atom* o3 = FindAtom(*previous, "O3'");
            const Atom* o5 = FindAtom(residue, "O5'");
            if (o3 && o5 && Distance(o3->GetPosition(), o5->GetPosition()) < kPhosphateGap)
                phosphateGap = "no phosphate between it and " + previous->GetLabel();
        }
        if (missing.empty() && !wantsOxt && phosphateGap.empty()) return;

        auto leave = [&](const std::string& why) {
            report_.residuesLeftIncomplete.push_back(Describe(residue) + ": " + why);
        };
        if (!phosphateGap.empty()) return leave(phosphateGap);
        if (!foreign.empty()) {
            std::string names;
            for (const std::string& name : foreign) names += (names.empty() ? "" : " ") + name;
            return leave("atoms the monomer library does not name (" + names + "), left as read");
        }
        if (aminoAcid) {
            for (const char* backbone : {"N", "CA", "C"})
                if (!isPresent(backbone)) return leave(std::string("no ") + backbone + " to build from");
        }

        // An internal residue's carbonyl O is fixed by the peptide plane, which the monomer
        // alone does not know.
        std::vector<NamedPosition> built;
        if (aminoAcid && std::find(missing.begin(), missing.end(), "O") != missing.end()) {
            if (const Atom* next = PeptideNeighbour(residue)) {
                const Vec3 o = PlaceFromInternal(next->GetPosition(), Position(present, "CA"), Position(present, "C"),
                                                 entry->carbonylBond, entry->carbonylAngle, kPeptideOTorsion);
                present.push_back({"O", o});
                built.push_back({"O", o});
                missing.erase(std::find(missing.begin(), missing.end(), "O"));
            }
        }

        if (!missing.empty()) {
            if (!entry->builder) entry->builder = std::make_unique<ResidueBuilder>(*entry->monomer);
            std::vector<const Atom*> nearby = Environment(residue, present, missing.size());
            std::vector<Vec3> environment;
            environment.reserve(nearby.size());
            for (const Atom* atom : nearby) environment.push_back(atom->GetPosition());
            const BuildOutcome outcome = entry->builder->Build(present, missing, environment);
            if (!outcome.complete) return leave(outcome.failure);
            for (const BuiltAtom& atom : outcome.built) {
                present.push_back({atom.name, atom.position});
                built.push_back({atom.name, atom.position});
                if (atom.closestEnvironmentAtom != -2 && atom.closestDistance < kReportedContact) {
                    std::ostringstream line;
                    line.precision(2);
                    line << std::fixed << Describe(residue) << ": built " << atom.name << " " << atom.closestDistance
                         << " A from ";
                    if (atom.closestEnvironmentAtom >= 0) {
                        const Atom* other = nearby[static_cast<std::size_t>(atom.closestEnvironmentAtom)];
                        line << other->GetLabel() << " of "
                             << Describe(static_cast<const Residue&>(*other->GetParent()));
                    } else {
                        line << "another atom of the residue";
                    }
                    report_.warnings.push_back(line.str());
                }
            }
        }
        if (wantsOxt) {
            if (!isPresent("O")) return leave("no O to place OXT by");
            double bond = 0, angle = 0;
            CarboxylateGeometry(bond, angle);
            built.push_back({"OXT", PlaceFromInternal(Position(present, "O"), Position(present, "CA"),
                                                      Position(present, "C"), bond, angle, 180.0)});
        }
        AddAtoms(residue, *entry, built);
        report_.atomsCompleted[residue.GetResidueType()] += built.size();
    }

    static Vec3 Position(const std::vector<NamedPosition>& atoms, const std::string& name) {
        for (const NamedPosition& atom : atoms)
            if (atom.name == name) return atom.position;
        return {};
    }

    // The N that this residue's C bonds to, in another residue.
    static const Atom* PeptideNeighbour(const Residue& residue) {
        const Atom* c = FindAtom(residue, "C");
        if (!c) return nullptr;
        for (const Atom* partner : c->GetBonds())
            if (partner->GetLabel() == "N" && partner->GetParent() != &residue) return partner;
        return nullptr;
    }

    // Heavy atoms of other residues within reach of the atoms to be built.
    std::vector<const Atom*> Environment(const Residue& residue, const std::vector<NamedPosition>& present,
                                         std::size_t missing) {
        if (!grid_) {
            grid_ = std::make_unique<AtomGrid>(6.0);
            for (std::size_t c = 0; c < molecule_.GetNumChildren(); ++c) {
                const HostModel::Object* chain = molecule_.GetChild(c);
                for (std::size_t r = 0; r < chain->GetNumChildren(); ++r) {
                    const HostModel::Object* res = chain->GetChild(r);
                    for (std::size_t a = 0; a < res->GetNumChildren(); ++a) {
                        const HostModel::Object* child = res->GetChild(a);
                        if (child->IsA(Atom::classType) && static_cast<const Atom*>(child)->GetAtomicNumber() != 1)
                            grid_->Add(static_cast<const Atom*>(child));
                    }
                }
            }
        }
        Vec3 centre;
        for (const NamedPosition& p : present)
            centre = {centre.x + p.position.x, centre.y + p.position.y, centre.z + p.position.z};
        const double count = static_cast<double>(present.size());
        centre = {centre.x / count, centre.y / count, centre.z / count};
        double spread = 0;
        for (const NamedPosition& p : present) spread = std::max(spread, Distance(p.position, centre));
        // Each atom built reaches at most a bond further out; then the contact distance.
        const double radius = std::min(spread + 1.6 * static_cast<double>(missing) + 3.6, 24.0);
        std::vector<const Atom*> nearby;
        grid_->ForEachNear(centre, radius, [&](const Atom* atom) {
            if (atom->GetParent() != &residue) nearby.push_back(atom);
        });
        return nearby;
    }

    void AddAtoms(Residue& residue, const MonomerEntry& entry, const std::vector<NamedPosition>& built) {
        std::vector<Atom*> added;
        for (const NamedPosition& atom : built) {
            const auto element = entry.elements.find(atom.name);
            const int z = element != entry.elements.end() ? element->second : 8;  // OXT: oxygen
            auto hostAtom = std::make_unique<Atom>(atom.name, z);
            hostAtom->SetPosition(atom.position);
            added.push_back(&residue.Add(std::move(hostAtom)));
            if (grid_) grid_->Add(added.back());
        }
        for (Atom* atom : added) {
            if (atom->GetLabel() == "OXT") {
                if (Atom* c = FindAtom(residue, "C")) Atom::Bond(*atom, *c);
                continue;
            }
            for (const auto& bond : entry.bonds) {
                const std::string* other = bond.first == atom->GetLabel()    ? &bond.second
                                           : bond.second == atom->GetLabel() ? &bond.first
                                                                             : nullptr;
                if (!other) continue;
                if (Atom* partner = FindAtom(residue, *other)) Atom::Bond(*atom, *partner);
            }
        }
    }

    HostModel::Molecule& molecule_;
    HostModel::PreparationReport& report_;
    std::map<std::string, std::unique_ptr<MonomerEntry>> monomers_;
    TypeNameMemo<MonomerEntry*> aminoAcidEntries_;
    TypeNameMemo<MonomerEntry*> nucleotideEntries_;
    const HeavyAtomCensus* census_;
    std::size_t counted_ = 0;  // census entries read
    std::unique_ptr<AtomGrid> grid_;
    bool libraryUsable_ = true;
};

}  // namespace

void CompleteMissingHeavyAtoms(HostModel::Molecule& molecule, HostModel::PreparationReport& report) {
    Completion(molecule, report, nullptr).Run();
}

void CompleteMissingHeavyAtoms(HostModel::Molecule& molecule, HostModel::PreparationReport& report,
                               const HeavyAtomCensus& census) {
    Completion(molecule, report, &census).Run();
}

}  // namespace HostChem
