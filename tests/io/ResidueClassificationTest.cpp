// How residues are classified: waters in their spellings, polymer residues judged by name and
// backbone where the file names no entities, and the polymer kind of a part by majority.
#include "io/ChainPlacement.h"
#include "io/ResidueClassification.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using HostIO::ClassifyResidue;
using HostIO::ResidueClass;
using HostIO::ResidueEntity;
using HostIO::ResidueFacts;
using HostIO::ResidueType;

// A residue judged by name (PDB, PQR) with a peptide backbone, or none.
ResidueFacts Judged(const char* name, bool hetatm = false, bool backbone = true) {
    ResidueFacts facts;
    facts.name = name;
    facts.hetatm = hetatm;
    if (backbone) {
        HostIO::NoteBackboneAtom(facts, "N", 7);
        HostIO::NoteBackboneAtom(facts, "CA", 6);
    }
    return facts;
}

TEST(WaterClassification, EveryCommonSpellingIsWaterAndNeverPolymer) {
    for (const char* name : {"HOH", "WAT", "H2O", "DOD", "TIP", "TIP3", "TIP4", "TIP5", "TP3", "TP4", "T3P", "T4P",
                             "SOL", "SPC", "SPCE"}) {
        for (const ResidueEntity entity : {ResidueEntity::JudgeByName, ResidueEntity::Other}) {
            ResidueFacts facts = Judged(name, true, false);
            facts.entity = entity;
            const ResidueClass c = ClassifyResidue(facts);
            EXPECT_TRUE(c.water) << name;
            EXPECT_FALSE(c.polymer) << name;
            EXPECT_EQ(c.type, ResidueType::Other) << name;
            EXPECT_TRUE(c.known) << name;
        }
    }
    // gemmi's own names in any case: water, though not in the residue table under that spelling.
    for (const char* name : {"hoh", "Wat", "dod"}) {
        EXPECT_TRUE(ClassifyResidue(Judged(name, true, false)).water) << name;
        EXPECT_FALSE(ClassifyResidue(Judged(name, true, false)).known) << name;
    }
    for (const char* name : {"HO", "OH", "SO4", "TIP2", "HOHH", "W"}) {
        EXPECT_FALSE(ClassifyResidue(Judged(name, true, false)).water) << name;
    }
}

TEST(WaterClassification, AWaterEntityIsWaterWhateverItsName) {
    ResidueFacts facts = Judged("XWT", true, false);
    facts.entity = ResidueEntity::Water;
    EXPECT_TRUE(ClassifyResidue(facts).water);
    EXPECT_FALSE(ClassifyResidue(facts).known);
}

struct JudgedCase {
    const char* name;
    bool hetatm;
    bool backbone;
    bool polymer;
    ResidueType type;
    bool standard;
    bool known;
};

TEST(ResidueJudgement, NameRecordAndBackboneDecideWithoutEntities) {
    const auto AA = ResidueType::AminoAcid;
    const auto Other = ResidueType::Other;
    for (const JudgedCase& c : std::vector<JudgedCase>{
             {"ALA", false, true, true, AA, true, true},
             {"HIE", false, true, true, AA, true, true},    // force-field variant
             {"HSD", false, true, true, AA, true, true},    // CHARMM's
             {"ALA", true, true, false, AA, true, true},    // a standard residue as HETATM is free
             {"MSE", true, true, true, AA, false, true},    // a modified one stays in its chain
             {"XAA", false, true, true, AA, false, false},  // unknown, judged by its CA
             {"XAA", false, false, false, Other, false, false},
             {"NAP", true, false, false, Other, false, true},
             {"TES", true, false, false, Other, false, false},
         }) {
        const ResidueClass r = ClassifyResidue(Judged(c.name, c.hetatm, c.backbone));
        const std::string what = std::string(c.name) + (c.hetatm ? " HETATM" : " ATOM");
        EXPECT_EQ(r.polymer, c.polymer) << what;
        EXPECT_EQ(r.inPolymerEntity, c.polymer) << what;
        EXPECT_EQ(r.type, c.type) << what;
        EXPECT_EQ(r.standard, c.standard) << what;
        EXPECT_EQ(r.known, c.known) << what;
        EXPECT_FALSE(r.water) << what;
    }
}

TEST(ResidueJudgement, NucleotidesByTableOrBySugarAndPhosphate) {
    ResidueFacts dna;
    dna.name = "DA";
    EXPECT_EQ(ClassifyResidue(dna).type, ResidueType::Nucleotide);
    EXPECT_TRUE(ClassifyResidue(dna).standard);
    for (const char* atom : {"P", "C1'"}) {
        ResidueFacts odd;
        odd.name = "XNU";
        HostIO::NoteBackboneAtom(odd, atom, atom[0] == 'P' ? 15 : 6);
        EXPECT_EQ(ClassifyResidue(odd).type, ResidueType::Nucleotide) << atom;
        EXPECT_TRUE(ClassifyResidue(odd).polymer) << atom;
    }
    // Amber's 5' adenosine is a PDB adenosine under another name: known, and linked as standard.
    ResidueFacts amber;
    amber.name = "RA5";
    HostIO::NoteBackboneAtom(amber, "C1'", 6);
    EXPECT_TRUE(ClassifyResidue(amber).known);
    EXPECT_TRUE(ClassifyResidue(amber).standard);
}

TEST(ResidueJudgement, BackboneAtomsNeedTheirElement) {
    ResidueFacts calcium;
    calcium.name = "XCA";
    HostIO::NoteBackboneAtom(calcium, "CA", 20);
    HostIO::NoteBackboneAtom(calcium, "P", 7);
    EXPECT_FALSE(calcium.hasAlphaCarbon);
    EXPECT_FALSE(calcium.hasPhosphorus);
    EXPECT_EQ(ClassifyResidue(calcium).type, ResidueType::Other);
}

TEST(ResidueJudgement, NamedEntitiesOverrideTheJudgement) {
    // mmCIF: an unknown residue with a CA is an amino acid inside a polymer entity only.
    ResidueFacts inPolymer = Judged("XAA");
    inPolymer.entity = ResidueEntity::Polymer;
    EXPECT_EQ(ClassifyResidue(inPolymer).type, ResidueType::AminoAcid);
    ResidueFacts free = Judged("XAA");
    free.entity = ResidueEntity::Other;
    EXPECT_FALSE(ClassifyResidue(free).polymer);
    EXPECT_EQ(ClassifyResidue(free).type, ResidueType::Other);
    // A standard residue in a polymer entity stays polymer even as HETATM.
    ResidueFacts het = Judged("ALA", true);
    het.entity = ResidueEntity::Polymer;
    EXPECT_TRUE(ClassifyResidue(het).polymer);
}

std::string Describe(const ResidueClass& c) {
    return std::to_string(static_cast<int>(c.type)) + std::to_string(c.water) + std::to_string(c.polymer) +
           std::to_string(c.standard) + std::to_string(c.known) + std::to_string(c.inPolymerEntity) +
           std::to_string(static_cast<int>(c.backboneType));
}

// Answers are remembered per name and facts: asked again, in another order and between other
// residues, every combination must get the answer it got first.
TEST(ResidueJudgement, TheSameFactsGetTheSameAnswerInAnyOrder) {
    std::vector<ResidueFacts> all;
    for (const char* name : {"ALA", "GLY", "HIE", "CYX", "HOH", "WAT", "TIP3", "A", "DA", "U", "SO4", "NAP", "UNL",
                             "MSE", "ABCDEFGH", "ABCDEFGHI", "X", ""}) {
        for (const ResidueEntity entity :
             {ResidueEntity::JudgeByName, ResidueEntity::Polymer, ResidueEntity::Water, ResidueEntity::Other}) {
            for (int bits = 0; bits < 16; ++bits) {
                ResidueFacts facts;
                facts.name = name;
                facts.entity = entity;
                facts.hetatm = bits & 1;
                facts.hasAlphaCarbon = bits & 2;
                facts.hasPhosphorus = bits & 4;
                facts.hasSugarC1 = bits & 8;
                all.push_back(facts);
            }
        }
    }
    std::vector<std::string> first;
    for (const ResidueFacts& facts : all) first.push_back(Describe(ClassifyResidue(facts)));
    for (std::size_t k = all.size(); k-- > 0;) {
        EXPECT_EQ(Describe(ClassifyResidue(all[k])), first[k]) << "'" << all[k].name << "', case " << k;
    }
    for (std::size_t k = 0; k < all.size(); k += 7) {
        EXPECT_EQ(Describe(ClassifyResidue(all[k])), first[k]) << "'" << all[k].name << "', case " << k;
    }
}

TEST(PartPolymerKind, MoreThanHalfOfThePolymerResiduesDecide) {
    const ResidueClass ala = ClassifyResidue(Judged("ALA"));
    const ResidueClass ligand = ClassifyResidue(Judged("NAP", true, false));
    const ResidueClass water = ClassifyResidue(Judged("HOH", true, false));
    ResidueFacts dnaFacts;
    dnaFacts.name = "DA";
    const ResidueClass dna = ClassifyResidue(dnaFacts);
    ResidueFacts otherFacts;
    otherFacts.name = "XXX";
    otherFacts.entity = ResidueEntity::Polymer;
    const ResidueClass otherPolymer = ClassifyResidue(otherFacts);

    using HostIO::ChainKind;
    using HostIO::PolymerKindByMajority;
    EXPECT_EQ(PolymerKindByMajority({ligand, ala, water, ligand}), ChainKind::Peptide);
    EXPECT_EQ(PolymerKindByMajority({dna, dna, ala}), ChainKind::Nucleic);
    EXPECT_EQ(PolymerKindByMajority({dna, ala}), ChainKind::OtherPolymer);
    EXPECT_EQ(PolymerKindByMajority({ala, otherPolymer}), ChainKind::OtherPolymer);
    EXPECT_EQ(PolymerKindByMajority({ala, ala, otherPolymer}), ChainKind::Peptide);
}

}  // namespace
