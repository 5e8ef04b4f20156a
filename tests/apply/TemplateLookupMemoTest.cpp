// The remembered template answers against Template::Lookup itself, atom by atom: on corpus
// structures prepared as amber prepares them, with every shipped template, in walk order and
// in reverse; and on residues whose key name comes from their label.
#include "chem/ChemTestSupport.h"
#include "support/SampleDocument.h"

#include "apply/TemplateLookupMemo.h"
#include "commands/TemplateSetCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Voltra::TemplateLookupMemo;

// Atoms whose remembered answer differs from a fresh lookup, as "residue:atom".
std::vector<std::string> Disagreements(const Voltra::Template& t, const std::vector<HostModel::Atom*>& atoms) {
    TemplateLookupMemo memo(t);
    std::vector<std::string> wrong;
    for (const HostModel::Atom* atom : atoms) {
        float value = 0.0f;
        const std::string source = t.Lookup(*atom, value);
        const TemplateLookupMemo::Answer answer = memo.Find(*atom);
        if (*answer.source != source || answer.value != value || answer.missing != (source == "Missing"))
            wrong.push_back(atom->GetParent()->GetLabel() + ":" + atom->GetLabel());
    }
    return wrong;
}

class MemoOnCorpus : public testing::TestWithParam<const char*> {};

TEST_P(MemoOnCorpus, AgreesWithLookupOnEveryAtom) {
    HostModel::ChemDoc doc;
    HostIO::ReadStructure(doc, ChemTest::CorpusPath(GetParam()));
    ASSERT_TRUE(Voltra::AddAndNameHydrogens(1, &doc));  // hydrogens, states and chain ends
    std::vector<HostModel::Atom*> atoms = ChemTest::Atoms(*doc.GetTreeRoot());
    ASSERT_GT(atoms.size(), 200u);
    ASSERT_GT(ChemTest::HydrogenCount(*doc.GetTreeRoot()), atoms.size() / 3);
    std::vector<HostModel::Atom*> reversed(atoms.rbegin(), atoms.rend());
    for (const char* file :
         {"prot_amb.crg", "nuca_amb.crg", "default.crg", "default.siz", "parseres.crg", "parseres.siz", "bondi.siz"}) {
        const Voltra::TemplatePtr t = ChemTest::ShippedTemplate(file);
        EXPECT_EQ(Disagreements(*t, atoms), std::vector<std::string>{}) << file;
        EXPECT_EQ(Disagreements(*t, reversed), std::vector<std::string>{}) << file << ", reverse order";
    }
}

// Proteins with ligands and waters, an NMR ensemble, nucleic acids, a large mmCIF entry.
INSTANTIATE_TEST_SUITE_P(Corpus, MemoOnCorpus,
                         testing::Values("1AFS.pdb", "1A1P.pdb", "1pfe.cif.gz", "3U7T.cif", "5vav_cyclic_peptide.pdb",
                                         "cterm_hid.pdb", "9X2O.cif"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

// Untyped residues are keyed by their label's name part: equal atoms, different answers. A
// hydrogen and a heavy atom of one name are keyed differently. An atom outside any residue is
// looked up by its name alone.
TEST(MemoOnSample, UntypedResiduesKeyedByLabelAndLooseAtoms) {
    VoltraTest::SampleDocument sample;
    auto& chain = sample.complex->Add(std::make_unique<HostModel::Chain>("L"));
    auto& lig = chain.Add(std::make_unique<HostModel::Residue>("LIG12", 12, "UNK"));
    auto& xyz = chain.Add(std::make_unique<HostModel::Residue>("XYZ13", 13, ""));
    for (HostModel::Residue* residue : {&lig, &xyz}) {
        VoltraTest::AddAtom(*residue, "C1", 6);
        VoltraTest::AddAtom(*residue, "HC11", 1);
    }
    // Equal names, but one is a hydrogen (keyed 1HG1) and the other mercury (keyed HG11).
    auto& hydrogen = chain.Add(std::make_unique<HostModel::Residue>("LIG14", 14, "UNK"));
    auto& mercury = chain.Add(std::make_unique<HostModel::Residue>("LIG15", 15, "UNK"));
    VoltraTest::AddAtom(hydrogen, "HG11", 1);
    VoltraTest::AddAtom(mercury, "HG11", 80);
    Voltra::TemplatePtr t(new Voltra::ChargeTemplate("sample.crg"));
    for (const Voltra::TemplateEntry& entry : std::vector<Voltra::TemplateEntry>{{"C1", 0.25f, "LIG"},
                                                                                 {"C1", -0.5f, "XYZ"},
                                                                                 {"1HC1", 0.125f, "XYZ"},
                                                                                 {"1HG1", 0.0625f, "LIG"},
                                                                                 {"HG11", 1.5f, "LIG"},
                                                                                 {"ZN", 2.0f}})
        t->AddEntry(entry);

    const std::vector<HostModel::Atom*> atoms = sample.AtomsOf(*sample.complex);
    EXPECT_EQ(Disagreements(*t, atoms), std::vector<std::string>{});
    TemplateLookupMemo memo(*t);
    EXPECT_FLOAT_EQ(memo.Find(VoltraTest::ChildAtom(lig, "C1")).value, 0.25f);
    EXPECT_FLOAT_EQ(memo.Find(VoltraTest::ChildAtom(xyz, "C1")).value, -0.5f);
    EXPECT_FLOAT_EQ(memo.Find(VoltraTest::ChildAtom(xyz, "HC11")).value, 0.125f);
    EXPECT_TRUE(memo.Find(VoltraTest::ChildAtom(lig, "HC11")).missing);
    EXPECT_FLOAT_EQ(memo.Find(VoltraTest::ChildAtom(hydrogen, "HG11")).value, 0.0625f);
    EXPECT_FLOAT_EQ(memo.Find(VoltraTest::ChildAtom(mercury, "HG11")).value, 1.5f);
    EXPECT_FLOAT_EQ(memo.Find(*sample.zinc).value, 2.0f);
}

}  // namespace
