// Run-time class identity: every class is itself and each of its bases, and nothing else.
#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/ChemistryTracker.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace HostModel;

struct Row {
    std::function<std::unique_ptr<Object>()> make;
    ClassType type;
    std::set<std::string> isA;  // class names the object must answer true for
};

TEST(ClassType, EveryClassIsItselfAndItsBasesOnly) {
    ChemDoc doc;  // a TreeRoot needs a document pointer; any will do
    const std::vector<ClassType> all = {
        Object::classType,          TreeRoot::classType,         Molecule::classType, Chain::classType,
        AminoAcidChain::classType,  NucleicAcidChain::classType, SubUnit::classType,  Residue::classType,
        AminoAcid::classType,       Nucleotide::classType,       Atom3d::classType,   Atom::classType,
        ChemistryTracker::classType};
    const std::vector<Row> rows = {
        {[] { return std::make_unique<Object>(); }, Object::classType, {"Object"}},
        {[&] { return std::make_unique<TreeRoot>(&doc); }, TreeRoot::classType, {"Object", "TreeRoot"}},
        {[] { return std::make_unique<Molecule>(); }, Molecule::classType, {"Object", "Molecule"}},
        {[] { return std::make_unique<Chain>(); }, Chain::classType, {"Object", "Chain"}},
        {[] { return std::make_unique<AminoAcidChain>(); },
         AminoAcidChain::classType,
         {"Object", "Chain", "AminoAcidChain"}},
        {[] { return std::make_unique<NucleicAcidChain>(); },
         NucleicAcidChain::classType,
         {"Object", "Chain", "NucleicAcidChain"}},
        {[] { return std::make_unique<SubUnit>(); }, SubUnit::classType, {"Object", "SubUnit"}},
        {[] { return std::make_unique<Residue>(); }, Residue::classType, {"Object", "SubUnit", "Residue"}},
        {[] { return std::make_unique<AminoAcid>(); },
         AminoAcid::classType,
         {"Object", "SubUnit", "Residue", "AminoAcid"}},
        {[] { return std::make_unique<Nucleotide>(); },
         Nucleotide::classType,
         {"Object", "SubUnit", "Residue", "Nucleotide"}},
        {[] { return std::make_unique<Atom3d>(); }, Atom3d::classType, {"Object", "Atom3d"}},
        {[] { return std::make_unique<Atom>(); }, Atom::classType, {"Object", "Atom3d", "Atom"}},
        {[] { return std::unique_ptr<Object>(new ChemistryTracker(nullptr, true, true)); },
         ChemistryTracker::classType,
         {"Object", "ChemistryTracker"}},
    };
    for (const auto& row : rows) {
        const auto object = row.make();
        EXPECT_EQ(object->GetClassType(), row.type) << row.type->name;
        for (ClassType type : all) {
            EXPECT_EQ(object->IsA(type), row.isA.count(type->name) == 1) << row.type->name << " IsA " << type->name;
            EXPECT_EQ(IsKindOf(row.type, type), row.isA.count(type->name) == 1);
        }
    }
}

TEST(ClassType, ClassNamesAreDistinct) {
    const std::vector<ClassType> all = {
        Object::classType,          TreeRoot::classType,         Molecule::classType, Chain::classType,
        AminoAcidChain::classType,  NucleicAcidChain::classType, SubUnit::classType,  Residue::classType,
        AminoAcid::classType,       Nucleotide::classType,       Atom3d::classType,   Atom::classType,
        ChemistryTracker::classType};
    std::set<std::string> names;
    for (ClassType type : all) names.insert(type->name);
    EXPECT_EQ(names.size(), all.size());
    EXPECT_EQ(Object::classType->base, nullptr);
}

}  // namespace
