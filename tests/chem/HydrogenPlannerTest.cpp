// The hydrogen planner's reuse of what it worked out for earlier residues, against planners that
// start afresh for every residue; the two-thread placement against one planner's walk.
#include "ChemTestSupport.h"

#include "HostModel/PreparationReport.h"
#include "chem/HydrogenPlacement.h"
#include "chem/HydrogenPlanner.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace HostModel;

// Every atom of the residue as text: label, element, exact position, partners (residue:label),
// in child and bond order.
std::vector<std::string> AtomTexts(const Residue& residue) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        const auto* atom = dynamic_cast<const Atom*>(residue.GetChild(i));
        if (!atom) continue;
        const Vec3& p = atom->GetPosition();
        char position[128];
        std::snprintf(position, sizeof position, " %a %a %a", p.x, p.y, p.z);
        std::string text = atom->GetLabel() + " " + std::to_string(atom->GetAtomicNumber()) + position;
        for (const Atom* partner : atom->GetBonds())
            text += " " + partner->GetParent()->GetLabel() + ":" + partner->GetLabel();
        texts.push_back(text);
    }
    return texts;
}

// A corpus structure whose residues of one type come in many shapes: atoms missing, hydrogens
// present under their own names and under unknown ones, labels given twice, terminal states set,
// histidines renamed to their tautomers.
Molecule& ReadVaried(ChemDoc& doc, const std::string& name) {
    Molecule& molecule = *HostIO::ReadStructure(doc, ChemTest::CorpusPath(name)).molecule;
    int k = 0;
    for (Residue* residue : ChemTest::Residues(molecule)) {
        const std::vector<Atom*> atoms = ChemTest::Atoms(*residue);
        if (atoms.empty()) continue;
        Atom& first = *atoms.front();
        auto addBondedTo = [&](Atom& parent, const char* label, int z) {
            auto atom = std::make_unique<Atom>(label, z);
            const Vec3 p = parent.GetPosition();
            atom->SetPosition({p.x + 1.0, p.y, p.z});
            Atom::Bond(parent, residue->Add(std::move(atom)));
        };
        switch (++k % 6) {
            case 1:
                if (atoms.size() > 4) residue->RemoveChild(*atoms.back());
                break;
            case 2:
                if (Atom* ca = residue->FindAtom("CA")) addBondedTo(*ca, "HA", 1);
                break;
            case 3: residue->SetProperty(HostChem::TerminalStateProperty(), k % 4 == 1 ? "NH2" : "COOH", 0); break;
            case 4: addBondedTo(first, first.GetLabel().c_str(), first.GetAtomicNumber()); break;
            case 5: addBondedTo(first, "HX", 1); break;
            default: break;
        }
        if (residue->GetResidueType() == "HIS")
            residue->SetResidueType(k % 3 == 0 ? "HID" : k % 3 == 1 ? "HIE" : "HIP");
    }
    return molecule;
}

std::optional<PropertyNameId> TerminalState() { return PropertyNames::Find(HostChem::TerminalStateProperty()); }

struct VariedCase {
    const char* structure;
    Atom::HydrogenSet set;
};

class PlannerReuse : public testing::TestWithParam<VariedCase> {};

// A residue gets the same hydrogens from a planner that has seen every other residue first (in
// order) as from one that sees it alone: nothing it reuses belongs to another shape or form.
TEST_P(PlannerReuse, OnePlannerForAllAsANewOnePerResidue) {
    const VariedCase& c = GetParam();
    ChemDoc warmDoc, coldDoc;
    const auto warmResidues = ChemTest::Residues(ReadVaried(warmDoc, c.structure));
    const auto coldResidues = ChemTest::Residues(ReadVaried(coldDoc, c.structure));
    ASSERT_EQ(warmResidues.size(), coldResidues.size());

    HostChem::HydrogenPlanner warm(c.set, TerminalState());
    std::size_t warmAdded = 0, coldAdded = 0;
    for (Residue* residue : warmResidues) warmAdded += warm.AddTo(*residue);
    std::map<std::string, std::size_t> coldPerType;
    std::vector<std::string> coldNotPlaced;
    std::set<std::string> coldUnknown;
    // Last residue first, so that each one's neighbours already carry their hydrogens.
    for (auto it = coldResidues.rbegin(); it != coldResidues.rend(); ++it) {
        HostChem::HydrogenPlanner cold(c.set, TerminalState());
        coldAdded += cold.AddTo(**it);
        for (const auto& [type, count] : cold.AddedPerType()) coldPerType[type] += count;
        coldNotPlaced.insert(coldNotPlaced.end(), cold.NotPlaced().begin(), cold.NotPlaced().end());
        coldUnknown.insert(cold.UnknownTypes().begin(), cold.UnknownTypes().end());
    }

    EXPECT_GT(warmAdded, 200u);
    EXPECT_EQ(warmAdded, coldAdded);
    for (std::size_t i = 0; i < warmResidues.size(); ++i)
        ASSERT_EQ(AtomTexts(*warmResidues[i]), AtomTexts(*coldResidues[i])) << warmResidues[i]->GetLabel();
    EXPECT_EQ(warm.AddedPerType(), coldPerType);
    std::vector<std::string> warmNotPlaced = warm.NotPlaced();
    std::sort(warmNotPlaced.begin(), warmNotPlaced.end());
    std::sort(coldNotPlaced.begin(), coldNotPlaced.end());
    EXPECT_EQ(warmNotPlaced, coldNotPlaced);
    EXPECT_EQ(warm.UnknownTypes(), coldUnknown);
}

INSTANTIATE_TEST_SUITE_P(Corpus, PlannerReuse,
                         testing::Values(VariedCase{"1AJJ.pdb", Atom::AllHydrogens},
                                         VariedCase{"1AFS.pdb", Atom::AllHydrogens},
                                         VariedCase{"1AFS.pdb", Atom::ElectrostaticHydrogens},
                                         VariedCase{"1pfe.cif.gz", Atom::AllHydrogens},
                                         VariedCase{"9X2O.cif", Atom::PolarHydrogens}),
                         [](const testing::TestParamInfo<VariedCase>& info) {
                             std::string name = info.param.structure;
                             name = name.substr(0, name.find('.'));
                             return name + "_Set" + std::to_string(static_cast<int>(info.param.set));
                         });

// Four varied copies of 1AFS side by side, each chain its own: enough residues for two threads,
// which together add what one planner adds walking the residues in order, report it in the same
// order, and note the document's change once.
TEST(HydrogenPlacement, TwoThreadsAddAndReportAsOnePlannerInOrder) {
    const std::string text = ChemTest::TiledAtomRecords("1AFS.pdb", 4);
    ChemDoc threadedDoc, walkedDoc;
    Molecule& threaded = *HostIO::ReadStructureFromMemory(threadedDoc, text, "1AFS.pdb").molecule;
    Molecule& walked = *HostIO::ReadStructureFromMemory(walkedDoc, text, "1AFS.pdb").molecule;
    const auto threadedResidues = ChemTest::Residues(threaded);
    const auto walkedResidues = ChemTest::Residues(walked);
    ASSERT_GT(threadedResidues.size(), 2000u);
    ASSERT_EQ(threadedResidues.size(), walkedResidues.size());
    // Half the residues lose their last atom, so that not every residue of a type has one
    // shape; every 97th has its CA on its N, which no placement survives; every 101st is of a
    // type the library lacks. Both threads meet all three.
    for (const auto* residues : {&threadedResidues, &walkedResidues})
        for (std::size_t i = 0; i < residues->size(); ++i) {
            Residue& residue = *(*residues)[i];
            const auto atoms = ChemTest::Atoms(residue);
            if (i % 2 == 0 && atoms.size() > 4) residue.RemoveChild(*atoms.back());
            Atom* n = residue.FindAtom("N");
            Atom* ca = residue.FindAtom("CA");
            if (i % 97 == 1 && n && ca) ca->SetPosition(n->GetPosition());
            if (i % 101 == 3) residue.SetResidueType("XQZ");
        }

    PreparationReport report;
    const auto before = threadedDoc.GetChemistryRevision();
    HostChem::AddMissingHydrogens(threaded, Atom::AllHydrogens, report);
    const auto after = threadedDoc.GetChemistryRevision();
    EXPECT_EQ(after, before + 1);

    HostChem::HydrogenPlanner planner(Atom::AllHydrogens, TerminalState());
    for (Residue* residue : walkedResidues) planner.AddTo(*residue);
    for (std::size_t i = 0; i < threadedResidues.size(); ++i)
        ASSERT_EQ(AtomTexts(*threadedResidues[i]), AtomTexts(*walkedResidues[i])) << threadedResidues[i]->GetLabel();
    EXPECT_EQ(report.hydrogensAdded, planner.AddedPerType());
    EXPECT_EQ(report.hydrogensNotPlaced, planner.NotPlaced());
    EXPECT_GT(report.hydrogensAdded.at("ALA"), 100u);
    EXPECT_GE(report.hydrogensNotPlaced.size(), 2u);
    EXPECT_EQ(report.warnings, std::vector<std::string>{"no hydrogens added to XQZ: not in the monomer library"});

    // Nothing left to add: no change noted, nothing reported.
    PreparationReport again;
    HostChem::AddMissingHydrogens(threaded, Atom::AllHydrogens, again);
    EXPECT_EQ(threadedDoc.GetChemistryRevision(), after);
    EXPECT_TRUE(again.hydrogensAdded.empty());
}

}  // namespace

namespace {

// The library in a folder of our own: every file the system's has, by symbolic link, but the
// file of one type, which holds text that is no monomer.
std::string LibraryWithBrokenType(const std::string& type) {
    namespace fs = std::filesystem;
    const fs::path system = "/usr/share/refmac/monomers";
    const fs::path folder = fs::temp_directory_path() / ("voltra-broken-library-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string letter(1, static_cast<char>(std::tolower(static_cast<unsigned char>(type[0]))));
    for (const auto& entry : fs::directory_iterator(system)) {
        if (entry.path().filename() != letter) {
            fs::create_directory_symlink(entry.path(), folder / entry.path().filename());
            continue;
        }
        fs::create_directories(folder / letter);
        for (const auto& file : fs::directory_iterator(entry.path())) {
            if (file.path().filename() != type + ".cif")
                fs::create_symlink(file.path(), folder / letter / file.path().filename());
        }
    }
    std::ofstream(folder / letter / (type + ".cif")) << "data_comp_list\nloop_\n_chem_comp.id\n'unterminated\n";
    return folder.string();
}

// A library file that cannot be read stops the placement before it adds anything, whichever
// residue of the molecule (on either thread) comes first. Run in a process of its own, whose
// shared library reads from the broken folder from the start.
TEST(HydrogenPlacement, UnreadableLibraryFileChangesNothing) {
    if (!std::filesystem::exists("/usr/share/refmac/monomers/a/ALA.cif")) GTEST_SKIP() << "no monomer library";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The residue type 1AFS meets last: hundreds of residues come before its first.
            const std::string folder = LibraryWithBrokenType("CYS");
            ::setenv("VOLTRA_MONOMER_LIBRARY", folder.c_str(), 1);
            ChemDoc doc;
            Molecule& molecule = *HostIO::ReadStructure(doc, ChemTest::CorpusPath("1AFS.pdb")).molecule;
            std::size_t before = 0;
            for (Residue* residue : ChemTest::Residues(molecule)) before += ChemTest::Atoms(*residue).size();
            const auto revision = doc.GetChemistryRevision();
            PreparationReport report;
            bool refused = false;
            try {
                HostChem::AddMissingHydrogens(molecule, Atom::ElectrostaticHydrogens, report);
            } catch (const std::runtime_error&) {
                refused = true;
            }
            std::size_t after = 0;
            for (Residue* residue : ChemTest::Residues(molecule)) after += ChemTest::Atoms(*residue).size();
            std::filesystem::remove_all(folder);
            std::exit(refused && after == before && doc.GetChemistryRevision() == revision &&
                              report.hydrogensAdded.empty()
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
