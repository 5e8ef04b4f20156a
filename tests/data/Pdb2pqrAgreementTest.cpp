// Checks the shipped template data against PDB2PQR: reads PDB2PQR's own output files (PQR, all
// hydrogens present, PDB2PQR's atom and residue names), runs the module's Amber + Default or Parse
// command on them, and compares every atom's assigned charge (and, for PARSE, radius) with the
// value PDB2PQR wrote beside it.
//
// What the templates express, and so what is asserted:
// - The program keys a charged chain end by its terminal set's name (NALA, CHIE), and the
//   templates carry Amber's own terminal residues and PARSE's terminal carboxylate and amine
//   radii. So every Amber atom matches, terminal ones included. For PARSE the module sets the
//   first N-terminal N of a chain to exactly +1.0, where PDB2PQR's charged N-terminus has N -0.32
//   and 0.33 on CA and each amine hydrogen; the N-terminal set keeps the internal charges of the
//   other atoms so that the residue's net charge stays right. Those few atoms differ.
// - So: at least 99 % of all atoms equal (1e-4 e, 1e-4 Å); every atom of the standard residues
//   that are not at a free end of their chain equal, and for Amber every terminal atom too
//   (terminal residues are found by a rule below, not by a list of atoms).
// - Net charge of every chain and of every residue within 0.01 e; no atom of a standard residue
//   left "Missing".
// The agreement figures go to the test log (stdout table and RecordProperty).
#include "commands/CmdApplyAmberPlusDefaultTemplates.h"
#include "commands/CmdApplyParseTemplates.h"

#include "Common/Path.h"
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "Persistence/Persistence.h"
#include "io/StructureReader.h"

#include "support/SourceTemplates.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kValueTolerance = 1e-4 + 1e-6;  // e or Å; the files carry four decimals
constexpr double kNetTolerance = 0.01;           // e
constexpr double kMinimumSharePercent = 99.0;    // atoms whose charge equals PDB2PQR's
// Longest bond between residues that counts as a link: a peptide C-N is 1.33 Å, a
// phosphodiester O3'-P 1.61 Å; the closest non-bonded contacts are well above 2.5 Å.
constexpr double kLinkDistance = 2.0;  // Å

enum class ForceField { Amber, Parse };

const char* Name(ForceField forceField) { return forceField == ForceField::Amber ? "AMBER" : "PARSE"; }

// ---------------------------------------------------------------------------------------------
// PDB2PQR's values, read from the file without the platform reader
// ---------------------------------------------------------------------------------------------

struct Pdb2pqrAtom {
    std::string atomName;
    std::string residueName;
    float charge = 0;  // e
    float radius = 0;  // Å
    int line = 0;
};

// Coordinates in thousandths of an Å: the files write three decimals, so every atom has its own key.
using PositionKey = std::array<long long, 3>;

PositionKey KeyOf(double x, double y, double z) {
    return {std::llround(x * 1000), std::llround(y * 1000), std::llround(z * 1000)};
}

struct Pdb2pqrFile {
    std::map<PositionKey, Pdb2pqrAtom> atoms;
};

// Atom records split on white space: record, serial, name, residue, [chain], number, x, y, z,
// charge, radius. The record name is cut at column 6 because long serials touch "HETATM".
Pdb2pqrFile ReadPdb2pqrFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error(path + ": cannot open");
    Pdb2pqrFile file;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.rfind("ATOM", 0) != 0 && line.rfind("HETATM", 0) != 0) continue;
        std::istringstream fields(line.substr(std::min<std::size_t>(6, line.size())));
        std::vector<std::string> tokens;
        for (std::string token; fields >> token;) tokens.push_back(token);
        if (tokens.size() != 9 && tokens.size() != 10) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": expected 10 or 11 fields, got " +
                                     std::to_string(tokens.size() + 1));
        }
        const std::size_t n = tokens.size();
        Pdb2pqrAtom atom{tokens[1], tokens[2], std::stof(tokens[n - 2]), std::stof(tokens[n - 1]), number};
        const PositionKey key = KeyOf(std::stod(tokens[n - 5]), std::stod(tokens[n - 4]), std::stod(tokens[n - 3]));
        if (!file.atoms.emplace(key, atom).second) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": two atoms at one position");
        }
    }
    return file;
}

// ---------------------------------------------------------------------------------------------
// Residues of the document: standard or not, terminal or not
// ---------------------------------------------------------------------------------------------

// Residue names of the force fields' standard sets, with PDB2PQR's PARSE spellings.
bool IsStandardResidue(const std::string& name) {
    static const std::set<std::string> kStandard = {
        "ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE", "LEU", "LYS", "MET",
        "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL", "ASH", "CYM", "CYX", "GLH", "HID", "HIE",
        "HIP", "LYN", "AR0", "TYM", "AS0", "GL0", "CSS", "CY-", "HI+", "LY0", "TY-", "ACE", "NME",
        "NH2", "DA",  "DC",  "DG",  "DT",  "A",   "C",   "G",   "U",   "HOH", "WAT", "H2O"};
    return kStandard.count(name) > 0;
}

double Distance(const HostModel::Atom& a, const HostModel::Atom& b) {
    const HostModel::Vec3& p = a.GetPosition();
    const HostModel::Vec3& q = b.GetPosition();
    return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
}

struct ResidueInfo {
    const HostModel::Residue* residue = nullptr;
    std::size_t chainIndex = 0;  // 1-based, in document order
    bool standard = false;
    bool nTerminal = false;  // amino acid whose N is linked to no other residue's C
    bool terminal = false;   // at a free end of its polymer: N or C end, 5' or 3' end
};

// Ends are found from the geometry of the residues' link atoms, independently of the reader's
// chains and bonds: an amino acid (N, CA and C present) is terminal when no other residue's C
// lies within link distance of its N, or no other residue's N of its C; a nucleotide (C1'
// present) when its P, or its O3', has no partner. A head-to-tail cyclic peptide has no end.
std::vector<ResidueInfo> ClassifyResidues(const HostModel::Molecule& molecule) {
    std::vector<ResidueInfo> residues;
    std::size_t chainIndex = 0;
    for (std::size_t c = 0; c < molecule.GetNumChildren(); ++c) {
        const HostModel::Object* chain = molecule.GetChild(c);
        if (!chain->IsA(HostModel::Chain::classType)) continue;
        ++chainIndex;
        for (std::size_t r = 0; r < chain->GetNumChildren(); ++r) {
            const HostModel::Object* child = chain->GetChild(r);
            if (!child->IsA(HostModel::Residue::classType)) continue;
            const auto* residue = static_cast<const HostModel::Residue*>(child);
            residues.push_back({residue, chainIndex, IsStandardResidue(residue->GetResidueType()), false, false});
        }
    }
    struct Link {
        const HostModel::Atom* atom;
        const HostModel::Residue* owner;
    };
    std::vector<Link> carbonyls, amides, phosphates, hydroxyls;
    // Every residue's C and N are partners, so an ACE cap before a chain or an NME or NH2 cap
    // after it closes that end.
    for (const ResidueInfo& info : residues) {
        const HostModel::Residue& r = *info.residue;
        if (const auto* c = r.FindAtom("C")) carbonyls.push_back({c, &r});
        if (const auto* n = r.FindAtom("N")) amides.push_back({n, &r});
        if (const auto* p = r.FindAtom("P")) phosphates.push_back({p, &r});
        if (const auto* o = r.FindAtom("O3'")) hydroxyls.push_back({o, &r});
    }
    auto linked = [](const HostModel::Atom& atom, const HostModel::Residue& owner, const std::vector<Link>& partners) {
        return std::any_of(partners.begin(), partners.end(), [&](const Link& partner) {
            return partner.owner != &owner && Distance(atom, *partner.atom) < kLinkDistance;
        });
    };
    for (ResidueInfo& info : residues) {
        const HostModel::Residue& r = *info.residue;
        const HostModel::Atom* n = r.FindAtom("N");
        const HostModel::Atom* c = r.FindAtom("C");
        if (n && c && r.FindAtom("CA")) {
            info.nTerminal = !linked(*n, r, carbonyls);
            info.terminal = info.nTerminal || !linked(*c, r, amides);
        } else if (r.FindAtom("C1'")) {
            const HostModel::Atom* p = r.FindAtom("P");
            const HostModel::Atom* o3 = r.FindAtom("O3'");
            info.terminal = !p || !linked(*p, r, hydroxyls) || !o3 || !linked(*o3, r, phosphates);
        }
    }
    return residues;
}

// ---------------------------------------------------------------------------------------------
// The comparison
// ---------------------------------------------------------------------------------------------

struct Case {
    const char* file;
    ForceField forceField;
};

// The force field of each output: from the file name (ff=AMBER, _PARSE) and the "Forcefield Used"
// remark where they are there. cterm_hid_out.pqr and 5vav_cyclic_peptide_out.pqr carry neither
// name nor remark; their radii are AMBER.DAT's (backbone N 1.824 Å), checked below.
const Case kCases[] = {
    {"1AFS_whitespace_ff=AMBER.pqr", ForceField::Amber},
    {"1AFS_whitespace_ff=PARSE.pqr", ForceField::Parse},
    {"1AJJ_pH7_AMBER.pqr", ForceField::Amber},
    {"1AJJ_pH7_PARSE.pqr", ForceField::Parse},
    {"1BX8_pH7_AMBER.pqr", ForceField::Amber},
    {"1BX8_pH7_PARSE.pqr", ForceField::Parse},
    {"cterm_hid_out.pqr", ForceField::Amber},
    {"5vav_cyclic_peptide_out.pqr", ForceField::Amber},
};

struct Worst {
    double difference = -1;
    std::string where;
};

struct Agreement {
    std::size_t atoms = 0, equal = 0;
    std::size_t internalAtoms = 0, internalEqual = 0;
    std::size_t terminalAtoms = 0, terminalEqual = 0;
    std::size_t otherAtoms = 0;    // of residues outside the standard sets (none in these files)
    std::size_t unmatched = 0;     // atoms of the document that the file does not have
    std::size_t renamed = 0;       // atoms whose label or residue label is not the file's name
    std::size_t typeRenamed = 0;   // atoms whose residue type name the reader set from the file's hydrogens or names
    std::size_t readerCharge = 0;  // atoms whose partial charge from the reader differs from the file's
    Worst worstInternal, worstTerminal;
    std::size_t chargeMissing = 0, chargeMissingStandard = 0;
    std::size_t radiusMissing = 0, radiusMissingStandard = 0;
    std::size_t radiusEqual = 0, radiusInternalAtoms = 0, radiusInternalEqual = 0;
    Worst worstRadiusTerminal;
    std::vector<std::array<double, 2>> chainNets;  // ours, PDB2PQR's, per chain in document order
    std::size_t residues = 0, residueNetDiffers = 0;
    Worst worstResidueNet;
    std::size_t nTerminalRuleAtoms = 0;      // N atoms at exactly +1.0 with the charge file's Source
    std::size_t nTerminalRuleExpected = 0;   // first geometric N-terminal amino acid of each chain
    std::size_t nTerminalRuleMisplaced = 0;  // +1.0 set on an N that is not such a first N-terminus
};

float FloatProperty(const HostModel::Object& object, const char* name) {
    float value = std::nanf("");
    object.GetProperty(name, value);
    return value;
}

std::string Where(const HostModel::Atom& atom, const ResidueInfo& info) {
    return atom.GetLabel() + " " + info.residue->GetLabel() + " (chain " + std::to_string(info.chainIndex) + ")";
}

void Track(Worst& worst, double difference, const std::string& where) {
    if (difference > worst.difference) worst = {difference, where};
}

Agreement Compare(const HostModel::Molecule& molecule, const Pdb2pqrFile& file, ForceField forceField) {
    Agreement result;
    const std::vector<ResidueInfo> residues = ClassifyResidues(molecule);
    std::map<std::size_t, std::array<double, 2>> chains;
    std::set<std::size_t> chainsWithNTerminus;
    for (const ResidueInfo& info : residues) {
        ++result.residues;
        std::array<double, 2> residueNet{0, 0};
        const bool ruleTarget = info.nTerminal && chainsWithNTerminus.insert(info.chainIndex).second;
        result.nTerminalRuleExpected += forceField == ForceField::Parse && ruleTarget;
        for (std::size_t a = 0; a < info.residue->GetNumChildren(); ++a) {
            const HostModel::Object* child = info.residue->GetChild(a);
            if (!child->IsA(HostModel::Atom::classType)) continue;
            const auto& atom = static_cast<const HostModel::Atom&>(*child);
            const HostModel::Vec3& p = atom.GetPosition();
            const auto found = file.atoms.find(KeyOf(p.x, p.y, p.z));
            if (found == file.atoms.end()) {
                ++result.unmatched;
                continue;
            }
            const Pdb2pqrAtom& theirs = found->second;
            ++result.atoms;
            // Hydrogens are renamed to the PDB's current names on reading (PARSE's HN, HB1/HB2 to H,
            // HB2/HB3); the templates give both spellings the same values. The residue label keeps
            // the file's name; the type name may be the state the hydrogens show (HIS with HE2
            // alone is HIE) or the PDB's name (WAT is HOH).
            result.renamed += (atom.GetAtomicNumber() != 1 && atom.GetLabel() != theirs.atomName) ||
                              info.residue->GetLabel().rfind(theirs.residueName, 0) != 0;
            result.typeRenamed += info.residue->GetResidueType() != theirs.residueName;
            result.readerCharge += !atom.HasPartialCharge() || atom.GetPartialCharge() != theirs.charge;

            const float charge = FloatProperty(atom, "Voltra Charge");
            const double dq = std::fabs(static_cast<double>(charge) - theirs.charge);
            const bool equal = dq <= kValueTolerance;
            result.equal += equal;
            residueNet[0] += charge;
            residueNet[1] += theirs.charge;
            const bool missing = atom.GetPropertyAsString("Voltra Charge Source") == "Missing";
            result.chargeMissing += missing;
            result.chargeMissingStandard += missing && info.standard;
            if (!info.standard) {
                ++result.otherAtoms;
            } else if (info.terminal) {
                ++result.terminalAtoms;
                result.terminalEqual += equal;
                Track(result.worstTerminal, dq, Where(atom, info));
            } else {
                ++result.internalAtoms;
                result.internalEqual += equal;
                Track(result.worstInternal, dq, Where(atom, info));
            }
            if (forceField == ForceField::Parse && atom.GetLabel() == "N" && charge == 1.0f &&
                atom.GetPropertyAsString("Voltra Charge Source") == "Parse") {
                ++result.nTerminalRuleAtoms;
                result.nTerminalRuleMisplaced += !ruleTarget;
            }

            if (forceField == ForceField::Parse) {
                const double dr = std::fabs(static_cast<double>(FloatProperty(atom, "Voltra Radius")) - theirs.radius);
                const bool radiusEqual = dr <= kValueTolerance;
                result.radiusEqual += radiusEqual;
                const bool radiusMissing = atom.GetPropertyAsString("Voltra Radius Source") == "Missing";
                result.radiusMissing += radiusMissing;
                result.radiusMissingStandard += radiusMissing && info.standard;
                if (info.standard && !info.terminal) {
                    ++result.radiusInternalAtoms;
                    result.radiusInternalEqual += radiusEqual;
                } else {
                    Track(result.worstRadiusTerminal, dr, Where(atom, info));
                }
            }
        }
        auto& chainNet = chains[info.chainIndex];
        chainNet[0] += residueNet[0];
        chainNet[1] += residueNet[1];
        const double residueDifference = std::fabs(residueNet[0] - residueNet[1]);
        result.residueNetDiffers += residueDifference > kNetTolerance;
        Track(result.worstResidueNet, residueDifference,
              info.residue->GetLabel() + " (chain " + std::to_string(info.chainIndex) + ")");
    }
    for (const auto& [index, net] : chains) result.chainNets.push_back(net);
    return result;
}

double Percent(std::size_t part, std::size_t whole) { return whole ? 100.0 * part / whole : 100.0; }

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return buffer;
}

std::string ChainNets(const Agreement& a) {
    std::string text;
    for (const auto& net : a.chainNets) {
        text += Format("%s%+.2f/%+.2f", text.empty() ? "" : " ", net[0], net[1]);
    }
    return text;
}

// One line per structure for the test log. Differences outside internal residues come from the
// terminal parameter sets that the templates cannot carry (see the top of the file).
std::string Row(const std::string& file, ForceField forceField, const Agreement& a) {
    std::string row = Format(
        "%-28s %-5s %5zu atoms  charges equal %6.2f %%  internal %zu/%zu (max|dq| %.4f)  "
        "terminal residues %zu/%zu (max|dq| %.4f at %s)  chains ours/PDB2PQR %s  Missing %zu",
        file.c_str(), Name(forceField), a.atoms, Percent(a.equal, a.atoms), a.internalEqual, a.internalAtoms,
        std::max(0.0, a.worstInternal.difference), a.terminalEqual, a.terminalAtoms,
        std::max(0.0, a.worstTerminal.difference), a.worstTerminal.where.empty() ? "-" : a.worstTerminal.where.c_str(),
        ChainNets(a).c_str(), a.chargeMissing);
    row += Format("  residue type renamed %zu", a.typeRenamed);
    if (forceField == ForceField::Parse) {
        row += Format("  radii equal %zu/%zu (%.2f %%), internal %zu/%zu, max|dr| %.3f at %s, radius Missing %zu",
                      a.radiusEqual, a.atoms, Percent(a.radiusEqual, a.atoms), a.radiusInternalEqual,
                      a.radiusInternalAtoms, std::max(0.0, a.worstRadiusTerminal.difference),
                      a.worstRadiusTerminal.where.empty() ? "-" : a.worstRadiusTerminal.where.c_str(), a.radiusMissing);
    }
    return row;
}

class Pdb2pqrAgreement : public ::testing::TestWithParam<Case> {};

TEST_P(Pdb2pqrAgreement, ChargesRadiiAndNetsMatchPdb2pqr) {
    const Case& c = GetParam();
    const std::string path = std::string(VOLTRA_CORPUS_DIR) + "/" + c.file;
    const Pdb2pqrFile file = ReadPdb2pqrFile(path);
    ASSERT_FALSE(file.atoms.empty()) << path;

    VoltraTest::SourceTemplates templates;
    HostModel::ChemDoc doc;
    const HostIO::ReadResult read = HostIO::ReadStructure(doc, path);
    ASSERT_NE(read.molecule, nullptr);
    EXPECT_EQ(read.atomCount, file.atoms.size()) << "the reader drops or adds atoms";

    // The force field the file was written with, from its own evidence: the name and the
    // "Forcefield Used" remark where present, else the radii (every N at AMBER.DAT's 1.824 Å;
    // PARSE has 1.5 and 2.0).
    const std::string name = c.file;
    const bool named = name.find("AMBER") != std::string::npos || name.find("PARSE") != std::string::npos;
    if (named) {
        EXPECT_NE(name.find(Name(c.forceField)), std::string::npos);
    }
    if (!read.declaredForcefield.empty()) {
        EXPECT_EQ(read.declaredForcefield, Name(c.forceField));
    }
    if (!named && read.declaredForcefield.empty()) {
        ASSERT_EQ(c.forceField, ForceField::Amber) << "no evidence for PARSE in " << c.file;
        for (const auto& [key, atom] : file.atoms) {
            if (atom.atomName == "N") {
                ASSERT_EQ(atom.radius, 1.824f) << c.file << ":" << atom.line << ": not an AMBER radius";
            }
        }
    }

    std::unique_ptr<HostModel::Command> command;
    if (c.forceField == ForceField::Amber) {
        command = std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>();
    } else {
        command = std::make_unique<Voltra::CmdApplyParseTemplates>();
    }
    ASSERT_TRUE(doc.Execute(*command)) << command->GetErrorMessage();

    const Agreement a = Compare(*read.molecule, file, c.forceField);
    std::printf("%s\n", Row(c.file, c.forceField, a).c_str());
    RecordProperty("atoms", static_cast<int>(a.atoms));
    RecordProperty("charge_equal", Format("%zu/%zu (%.2f %%)", a.equal, a.atoms, Percent(a.equal, a.atoms)));
    RecordProperty("internal_equal", Format("%zu/%zu", a.internalEqual, a.internalAtoms));
    RecordProperty("terminal_equal", Format("%zu/%zu", a.terminalEqual, a.terminalAtoms));
    RecordProperty("largest_terminal_dq",
                   Format("%.4f e at %s", std::max(0.0, a.worstTerminal.difference), a.worstTerminal.where.c_str()));
    RecordProperty("chain_nets", ChainNets(a));
    RecordProperty("charge_missing", static_cast<int>(a.chargeMissing));
    if (c.forceField == ForceField::Parse) {
        RecordProperty("radius_equal", Format("%zu/%zu", a.radiusEqual, a.atoms));
        RecordProperty("radius_missing", static_cast<int>(a.radiusMissing));
    }

    EXPECT_EQ(a.unmatched, 0u) << "atoms in the document that PDB2PQR's file does not have (added hydrogens?)";
    EXPECT_EQ(a.atoms, file.atoms.size());
    // The templates carry PDB2PQR's own spellings; a renaming by the reader or by the commands'
    // hydrogen step would make this a comparison of other names.
    EXPECT_EQ(a.renamed, 0u) << "atoms whose name or residue name is not the file's";
    EXPECT_EQ(a.readerCharge, 0u) << "partial charges the reader took differ from the file's";
    EXPECT_EQ(a.otherAtoms, 0u) << "PDB2PQR writes standard residues only";

    EXPECT_GE(Percent(a.equal, a.atoms), kMinimumSharePercent);
    if (c.forceField == ForceField::Amber) {
        EXPECT_EQ(a.terminalEqual, a.terminalAtoms)
            << "terminal residues take Amber's own sets; worst: " << a.worstTerminal.difference << " e at "
            << a.worstTerminal.where;
    }
    EXPECT_EQ(a.internalEqual, a.internalAtoms)
        << "internal residues must match exactly; worst: " << a.worstInternal.difference << " e at "
        << a.worstInternal.where;
    for (std::size_t i = 0; i < a.chainNets.size(); ++i) {
        EXPECT_NEAR(a.chainNets[i][0], a.chainNets[i][1], kNetTolerance) << "chain " << i + 1;
    }
    EXPECT_EQ(a.residueNetDiffers, 0u) << "worst residue net difference " << a.worstResidueNet.difference << " e at "
                                       << a.worstResidueNet.where;
    EXPECT_EQ(a.chargeMissingStandard, 0u);
    if (c.forceField == ForceField::Parse) {
        EXPECT_EQ(a.radiusInternalEqual, a.radiusInternalAtoms);
        EXPECT_EQ(a.radiusEqual, a.atoms) << "PARSE's terminal radii are in the templates too";
        EXPECT_EQ(a.radiusMissingStandard, 0u);
        EXPECT_EQ(a.nTerminalRuleMisplaced, 0u) << "+1.0 on an N that is not its chain's first N-terminus";
        EXPECT_EQ(a.nTerminalRuleAtoms, a.nTerminalRuleExpected) << "chains whose N-terminus got no +1.0";
    }
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.file << " (" << Name(c.forceField) << ")"; }

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find(".pqr"));
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Pdb2pqrOutputs, Pdb2pqrAgreement, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
