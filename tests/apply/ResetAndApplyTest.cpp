// One walk for the reset and every pass against the reset and each pass in turn: every
// property of every atom and molecule the same, names, kinds, flags, values and order, on corpus
// structures prepared as amber prepares them and with the template sets the commands use.
#include "chem/ChemTestSupport.h"

#include "apply/TemplateApplicator.h"
#include "commands/TemplateSetCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Pass = Voltra::TemplateApplicator::Pass;

// Every property of every object below the root, one line each, in tree and property order.
std::vector<std::string> PropertyLines(const HostModel::Object& root) {
    std::vector<std::string> lines;
    HostModel::DescendentIterator it(&root, HostModel::Object::classType);
    while (const HostModel::Object* object = it.GetNext())
        for (const HostModel::PropertyView& p : object->GetProperties())
            lines.push_back(object->GetLabel() + " " + p.name + " " + std::to_string(static_cast<int>(p.kind)) + " " +
                            std::to_string(p.flags) + " " + std::to_string(p.number) + " " + p.text);
    return lines;
}

struct SetCase {
    const char* name;
    std::vector<std::pair<const char*, bool>> files;  // file, charge
};

void ReadPrepared(HostModel::ChemDoc& doc, const std::string& structure) {
    HostIO::ReadStructure(doc, ChemTest::CorpusPath(structure));
    ASSERT_TRUE(Voltra::AddAndNameHydrogens(1, &doc));
}

TEST(ResetAndApply, OneWalkEqualsPassesInTurn) {
    const std::vector<SetCase> sets = {
        {"amber", {{"prot_amb.crg", true}, {"default.siz", false}, {"nuca_amb.crg", true}}},
        {"default (N-terminal charge, then radii)", {{"default.crg", true}, {"default.siz", false}}},
        {"N-terminal charge last", {{"bondi.siz", false}, {"default.crg", true}}},
        {"parse", {{"parseres.crg", true}, {"parseres.siz", false}}},
    };
    for (const char* structure : {"1AFS.pdb", "1pfe.cif.gz", "5vav_cyclic_peptide.pdb", "cterm_hid.pdb"}) {
        for (const SetCase& set : sets) {
            std::vector<Pass> passes;
            for (const auto& [file, charge] : set.files) passes.push_back({ChemTest::ShippedTemplate(file), charge});

            HostModel::ChemDoc inTurn;
            ReadPrepared(inTurn, structure);
            Voltra::ResetTemplateProperties(&inTurn);
            {
                Voltra::TemplateApplicator applicator(&inTurn);
                for (const Pass& pass : passes) {
                    if (pass.charge) applicator.ApplyChargeTemplate(pass.values);
                    else applicator.ApplyRadiusTemplate(pass.values);
                }
            }
            HostModel::ChemDoc together;
            ReadPrepared(together, structure);
            {
                Voltra::TemplateApplicator applicator(&together);
                applicator.ResetAndApply(passes);
            }
            const std::vector<std::string> expected = PropertyLines(*inTurn.GetTreeRoot());
            ASSERT_GT(expected.size(), 1000u) << structure << ", " << set.name;
            EXPECT_EQ(PropertyLines(*together.GetTreeRoot()), expected) << structure << ", " << set.name;
        }
    }
}

}  // namespace
