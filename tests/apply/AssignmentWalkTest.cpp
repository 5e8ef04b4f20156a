// The walk on two threads against the walk on one, and the template sets on a document above
// the threshold against the reset and the passes in turn: every property of every object the
// same, names, kinds, flags, values, texts and text ids, in order.
#include "AssignmentComparison.h"

#include "apply/AssignmentWalk.h"
#include "apply/VisibleMolecules.h"
#include "templates/PropertyVocabulary.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace AssignmentTest;

const std::vector<SetCase> kSets = {
    {"amber", {{"prot_amb.crg", true}, {"default.siz", false}, {"nuca_amb.crg", true}}},
    {"default", {{"default.crg", true}, {"default.siz", false}}},
    {"parse", {{"parseres.crg", true}, {"parseres.siz", false}}},
    {"bondi radii, then charges", {{"bondi.siz", false}, {"default.crg", true}}},
};

std::vector<std::string> AfterWalk(const std::vector<const char*>& structures, const std::vector<Pass>& passes,
                                   std::size_t minAtomsToShare) {
    HostModel::ChemDoc doc;
    ReadPrepared(doc, structures);
    std::vector<const Voltra::Template*> templates;
    for (const Pass& pass : passes) templates.push_back(pass.values.get());
    Voltra::AssignAtomsInOneWalk(Voltra::CollectVisibleMolecules(*doc.GetTreeRoot()), templates, minAtomsToShare);
    return PropertyLines(*doc.GetTreeRoot(), true);
}

TEST(AssignmentWalk, TwoThreadsGiveWhatOneGives) {
    const std::vector<std::vector<const char*>> documents = {
        {"1AFS.pdb"}, {"1pfe.cif.gz"}, {"5vav_cyclic_peptide.pdb", "cterm_hid.pdb"}, {"9X2O.cif"}, {"1A1P.pdb"}};
    for (const std::vector<const char*>& structures : documents) {
        for (const SetCase& set : kSets) {
            const std::vector<Pass> passes = PassesOf(set);
            const std::vector<std::string> one = AfterWalk(structures, passes, std::numeric_limits<std::size_t>::max());
            ASSERT_GT(one.size(), 1000u) << structures[0] << ", " << set.name;
            EXPECT_EQ(AfterWalk(structures, passes, 0), one) << structures[0] << ", " << set.name;
        }
    }
}

// Several structures in one document (a molecule each) make more atoms than the threshold, so
// the template sets walk on two threads as the program runs them.
TEST(AssignmentWalk, SetsAboveTheThresholdGiveWhatThePassesInTurnGive) {
    const std::vector<const char*> structures = {"9X2O.cif", "1AFS.pdb", "1A1P.pdb", "1US0.pdb"};
    for (const SetCase& set : kSets) {
        const std::vector<Pass> passes = PassesOf(set);
        HostModel::ChemDoc inTurn;
        ReadPrepared(inTurn, structures);
        ASSERT_GE(ChemTest::Atoms(*inTurn.GetTreeRoot()).size(), Voltra::kMinAtomsToShareWalk);
        ApplyInTurn(inTurn, passes);
        HostModel::ChemDoc together;
        ReadPrepared(together, structures);
        ApplyInOneWalk(together, passes);
        EXPECT_EQ(PropertyLines(*together.GetTreeRoot(), true), PropertyLines(*inTurn.GetTreeRoot(), true))
            << set.name;
    }
}

// Atoms that carried other properties, and assignment properties of another kind, before.
TEST(AssignmentWalk, EarlierPropertiesKeepTheirPlaceAndAreOverwritten) {
    const std::vector<Pass> passes = PassesOf(kSets[1]);
    std::vector<std::vector<std::string>> results;
    for (std::size_t minAtomsToShare : {std::size_t{0}, std::numeric_limits<std::size_t>::max()}) {
        HostModel::ChemDoc doc;
        ReadPrepared(doc, {"1AFS.pdb"});
        std::size_t i = 0;
        for (HostModel::Atom* atom : ChemTest::Atoms(*doc.GetTreeRoot())) {
            if (i % 3 == 0) atom->SetProperty("Occupancy note", "kept", 0);
            if (i % 5 == 0) atom->SetProperty(Voltra::kRadiusSourcePropertyName, 2.5f, 6);
            if (i % 7 == 0) atom->SetProperty(Voltra::kChargePropertyName, "text", 0);
            ++i;
        }
        std::vector<const Voltra::Template*> templates;
        for (const Pass& pass : passes) templates.push_back(pass.values.get());
        Voltra::AssignAtomsInOneWalk(Voltra::CollectVisibleMolecules(*doc.GetTreeRoot()), templates, minAtomsToShare);
        results.push_back(PropertyLines(*doc.GetTreeRoot(), true));
    }
    EXPECT_EQ(results[0], results[1]);
    // The reset's order, after the property the atom had first.
    HostModel::ChemDoc doc;
    ReadPrepared(doc, {"1AFS.pdb"});
    HostModel::Atom& first = *ChemTest::Atoms(*doc.GetTreeRoot()).front();
    first.SetProperty("Occupancy note", "kept", 0);
    std::vector<const Voltra::Template*> templates;
    for (const Pass& pass : passes) templates.push_back(pass.values.get());
    Voltra::AssignAtomsInOneWalk(Voltra::CollectVisibleMolecules(*doc.GetTreeRoot()), templates, 0);
    std::vector<std::string> names;
    for (const HostModel::PropertyView& p : first.GetProperties()) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Occupancy note", Voltra::kChargeSourcePropertyName,
                                               Voltra::kCombinedSourcePropertyName, Voltra::kChargePropertyName,
                                               Voltra::kRadiusSourcePropertyName, Voltra::kRadiusPropertyName}));
}

}  // namespace
