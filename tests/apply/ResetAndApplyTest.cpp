// One walk for the reset and every pass against the reset and each pass in turn: every
// property of every atom and molecule the same, names, kinds, flags, values and order, on corpus
// structures prepared as amber prepares them and with the template sets the commands use.
#include "AssignmentComparison.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace AssignmentTest;

TEST(ResetAndApply, OneWalkEqualsPassesInTurn) {
    const std::vector<SetCase> sets = {
        {"amber", {{"prot_amb.crg", true}, {"default.siz", false}, {"nuca_amb.crg", true}}},
        {"default (N-terminal charge, then radii)", {{"default.crg", true}, {"default.siz", false}}},
        {"N-terminal charge last", {{"bondi.siz", false}, {"default.crg", true}}},
        {"parse", {{"parseres.crg", true}, {"parseres.siz", false}}},
    };
    for (const char* structure : {"1AFS.pdb", "1pfe.cif.gz", "5vav_cyclic_peptide.pdb", "cterm_hid.pdb"}) {
        for (const SetCase& set : sets) {
            const std::vector<Pass> passes = PassesOf(set);
            HostModel::ChemDoc inTurn;
            ReadPrepared(inTurn, {structure});
            ApplyInTurn(inTurn, passes);
            HostModel::ChemDoc together;
            ReadPrepared(together, {structure});
            ApplyInOneWalk(together, passes);
            const std::vector<std::string> expected = PropertyLines(*inTurn.GetTreeRoot());
            ASSERT_GT(expected.size(), 1000u) << structure << ", " << set.name;
            EXPECT_EQ(PropertyLines(*together.GetTreeRoot()), expected) << structure << ", " << set.name;
        }
    }
}

}  // namespace
