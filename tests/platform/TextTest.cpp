// ASCII case folding and white-space fields, checked against strcasecmp in the C locale.
#include "Common/Text.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Common::CompareNoCase;
using Common::EqualsNoCase;

// Short strings over an alphabet dense in case pairs and in the ASCII punctuation that sits
// between the two letter ranges, so equal prefixes and near misses are common.
class NearMisses {
public:
    NearMisses(unsigned seed, int maxLength) : random_(seed), length_(0, maxLength) {}
    std::string operator()() {
        static const std::string alphabet = "aAbBzZ_[`{@^\x80\xC3\xE9";
        std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
        std::string s;
        for (int i = length_(random_); i > 0; --i) s += alphabet[pick(random_)];
        return s;
    }

private:
    std::mt19937 random_;
    std::uniform_int_distribution<int> length_;
};

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(CompareNoCase, AgreesWithStrcasecmpInTheCLocale) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"abc", "ABC"},
        {"abc", "abd"},
        {"ab", "abc"},
        {"B", "a"},
        {"_", "a"},
        {"_", "A"},
        {"", ""},
        {"", "a"},
        {"HOH", "hoh"},
        {"Fe", "FE"},
        {"\xC3\xA9", "\xC3\x89"},
        {"Z", "["},
        {"\x80", "a"},
        {"zeta", "Zeta "},
    };
    for (const auto& [a, b] : pairs) {
        EXPECT_EQ(Sign(CompareNoCase(a, b)), Sign(strcasecmp(a.c_str(), b.c_str()))) << a << " vs " << b;
        EXPECT_EQ(Sign(CompareNoCase(b, a)), -Sign(CompareNoCase(a, b))) << a << " vs " << b;
    }
    NearMisses make(11, 4);
    for (int round = 0; round < 20000; ++round) {
        const std::string a = make(), b = make();
        ASSERT_EQ(Sign(CompareNoCase(a, b)), Sign(strcasecmp(a.c_str(), b.c_str()))) << a << " vs " << b;
    }
}

// The folded key and the comparison must agree, or an index built on the key (the template
// lookup) would find what the comparison rejects.
TEST(CaseFolding, FoldedTextsAreEqualExactlyWhenTheComparisonSaysSo) {
    NearMisses make(5, 3);
    for (int round = 0; round < 20000; ++round) {
        const std::string a = make(), b = make();
        const bool equal = CompareNoCase(a, b) == 0;
        ASSERT_EQ(EqualsNoCase(a, b), equal) << a << " vs " << b;
        ASSERT_EQ(Common::ToLowerAscii(a) == Common::ToLowerAscii(b), equal) << a << " vs " << b;
        ASSERT_EQ(Common::ToUpperAscii(a) == Common::ToUpperAscii(b), equal) << a << " vs " << b;
    }
}

TEST(CaseFolding, OnlyAsciiLettersChange) {
    EXPECT_EQ(Common::ToUpperAscii("ca1' hO5'\xC3\xA9_[z]"), "CA1' HO5'\xC3\xA9_[Z]");
    EXPECT_EQ(Common::ToLowerAscii("NA+ Cl-\xC3\x89@Z"), "na+ cl-\xC3\x89@z");
    static_assert(Common::ToUpperAscii('q') == 'Q' && Common::ToLowerAscii('@') == '@');
}

TEST(CaseFolding, PrefixesAndSuffixes) {
    EXPECT_TRUE(Common::EndsWithNoCase("1ABC.CIF.GZ", ".gz"));
    EXPECT_TRUE(Common::EndsWithNoCase(".gz", ".GZ"));
    EXPECT_FALSE(Common::EndsWithNoCase("gz", ".gz"));
    EXPECT_TRUE(Common::StartsWithNoCase("hetatm 1", "HETATM"));
    EXPECT_FALSE(Common::StartsWithNoCase("HETAT", "HETATM"));
    EXPECT_TRUE(Common::StartsWithNoCase("anything", ""));
}

struct FieldsCase {
    const char* text;
    std::vector<std::string> fields;
};

TEST(SplitFields, AnyRunOfWhiteSpaceSeparates) {
    const FieldsCase cases[] = {
        {"", {}},
        {" \t\r\n\f\v", {}},
        {"ATOM", {"ATOM"}},
        {"ATOM  1 N\tMET\r", {"ATOM", "1", "N", "MET"}},
        {"  -1.5 2\v3\f4  ", {"-1.5", "2", "3", "4"}},
        {"a\nb", {"a", "b"}},
    };
    for (const FieldsCase& c : cases) {
        const std::vector<std::string_view> views = Common::SplitFields(c.text);
        EXPECT_EQ(std::vector<std::string>(views.begin(), views.end()), c.fields) << '"' << c.text << '"';
    }
}

}  // namespace
