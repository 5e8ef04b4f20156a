// The indexed Template::Lookup against the plain first-match scan, on generated templates.
#include "templates/Template.h"

#include "TemplateLookupScan.h"
#include "TestDocument.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Voltra::TemplateEntry;
using VoltraTest::TestDocument;

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    template <class T>
    const T& Pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(Int(0, static_cast<int>(items.size()) - 1))];
    }

    // Letters flip case at random, so the same name turns up in several spellings; the two
    // UTF-8 letters É and é are not ASCII and must stay distinct.
    std::string MixCase(const std::string& text) {
        std::string out = text;
        for (char& c : out) {
            if (c >= 'a' && c <= 'z' && Chance(0.5)) c = static_cast<char>(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z' && Chance(0.5)) c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    std::string AtomName() {
        static const std::vector<std::string> pieces = {"c", "a", "h", "n", "o", "1", "2", "\xC3\x89", "\xC3\xA9"};
        std::string name;
        const int length = Int(1, 4);
        for (int i = 0; i < length; ++i) name += Pick(pieces);
        return MixCase(name);
    }
    std::string ResidueName() {
        static const std::vector<std::string> names = {"ala", "gly", "asn", "lig", "abc", "1ab", "hoh", "x"};
        return MixCase(Pick(names));
    }
    std::string ElementName() {
        static const std::vector<std::string> elements = {"h", "c", "n", "o", "fe", "zn", "s"};
        return MixCase(Pick(elements));
    }

private:
    std::mt19937 rng_;
};

TemplateEntry RandomEntry(Generator& g, bool elementKeyed) {
    TemplateEntry entry;
    entry.atomName = elementKeyed ? g.ElementName() : g.AtomName();
    entry.value = static_cast<float>(g.Int(-2000, 2000)) / 1000.0f;
    // About a third of the entries are generic; element templates get a few residue names that
    // must never match.
    if (g.Chance(elementKeyed ? 0.1 : 0.65)) entry.residueName = g.ResidueName();
    if (g.Chance(0.5)) entry.residueNumber = std::to_string(g.Int(1, 300));
    if (g.Chance(0.5)) entry.chain = g.MixCase("a");
    return entry;
}

// Residues of all the kinds the key rule tells apart: typed, untyped by "unk" in any case or by
// an empty type, with labels that do and do not carry the number; water and other chains.
std::vector<const HostModel::Atom*> BuildAtoms(Generator& g, TestDocument& doc, int count) {
    static const std::vector<std::string> chainLabels = {"A", "B", "Water", "water", "WATER"};
    static const std::vector<int> elements = {1, 1, 6, 7, 8, 16, 26, 30, 17, 35};  // no Cl, Br entries
    std::vector<const HostModel::Atom*> atoms;
    std::map<std::string, HostModel::Chain*> chains;
    while (static_cast<int>(atoms.size()) < count) {
        const std::string& chainLabel = g.Pick(chainLabels);
        HostModel::Chain*& chain = chains[chainLabel];
        if (chain == nullptr) chain = &doc.AddChain(chainLabel);

        HostModel::Object* parent = chain;
        if (!g.Chance(0.05)) {
            const int id = g.Int(-2, 40);
            std::string type = g.ResidueName();
            std::string label = type + std::to_string(id);
            switch (g.Int(0, 5)) {
                case 0: type = g.MixCase("unk"); break;
                case 1: type.clear(); break;
                case 2:
                    type = g.MixCase("unk");
                    label = g.ResidueName() + g.ResidueName() + std::to_string(id);
                    break;
                default: break;
            }
            parent = &TestDocument::AddResidue(*chain, label, id, type);
        }
        const int atomsHere = g.Int(1, 6);
        for (int i = 0; i < atomsHere; ++i) {
            atoms.push_back(&TestDocument::AddAtom(*parent, g.AtomName(), g.Pick(elements)));
        }
    }
    return atoms;
}

TEST(TemplateIndex, AgreesWithPlainScanOnGeneratedTemplates) {
    const std::vector<std::string> templateNames = {"x.crg", "prot_amb.crg", "parseres.siz", "bondi.siz",
                                                    "default.siz"};
    std::map<std::string, int> sources;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Generator g(seed);
        TestDocument doc;
        const auto atoms = BuildAtoms(g, doc, 2000);
        const std::string& name = templateNames[seed % templateNames.size()];
        Voltra::RadiusTemplate t(name);
        const int entryCount = g.Int(0, 400);
        for (int i = 0; i < entryCount; ++i) t.AddEntry(RandomEntry(g, t.IsElementKeyed() != 0));

        for (std::size_t i = 0; i < atoms.size(); ++i) {
            // Now and then the template grows between lookups: the index must follow.
            if (g.Chance(0.01)) t.AddEntry(RandomEntry(g, t.IsElementKeyed() != 0));
            float indexed = -999.0f;
            float scanned = -999.0f;
            const std::string indexedSource = t.Lookup(*atoms[i], indexed);
            const std::string scannedSource = Voltra::LookupByScan(t, *atoms[i], scanned);
            ASSERT_EQ(indexedSource, scannedSource) << "atom " << atoms[i]->GetLabel() << " in " << name;
            ASSERT_EQ(std::memcmp(&indexed, &scanned, sizeof(float)), 0) << indexed << " vs " << scanned;
            ++sources[indexedSource == t.GetSourceName() ? "hit" : indexedSource];
        }
    }
    // Every outcome occurred often enough for the agreement to mean something.
    EXPECT_GT(sources["hit"], 1000);
    EXPECT_GT(sources["Missing"], 1000);
    EXPECT_GT(sources["HST"], 1000);
}

TEST(TemplateIndex, GenericFallBackAgreesWithScan) {
    // Many generic and residue entries for few atom names, so the fall-back path is taken often.
    Generator g(99);
    TestDocument doc;
    auto& chain = doc.AddChain("A");
    Voltra::ChargeTemplate t("prot_amb.crg");
    for (int i = 0; i < 200; ++i) {
        t.AddEntry(TemplateEntry(g.MixCase(g.Chance(0.5) ? "ca" : "cb"), static_cast<float>(i),
                                 g.Chance(0.5) ? g.ResidueName() : std::string()));
    }
    int generic = 0;
    for (int i = 0; i < 500; ++i) {
        auto& residue = TestDocument::AddResidue(chain, "R" + std::to_string(i), i, g.ResidueName() + "z");
        const auto& atom = TestDocument::AddAtom(residue, g.MixCase(g.Chance(0.5) ? "ca" : "cb"), 6);
        float indexed = -1.0f;
        float scanned = -1.0f;
        ASSERT_EQ(t.Lookup(atom, indexed), Voltra::LookupByScan(t, atom, scanned));
        ASSERT_EQ(indexed, scanned);
        if (indexed >= 0.0f) ++generic;
    }
    EXPECT_EQ(generic, 500);  // no residue name ends in "z": every hit is generic
}

}  // namespace
