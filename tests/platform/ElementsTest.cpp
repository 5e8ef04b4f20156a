// The periodic table: symbols in both cases, hydrogen isotopes, and the published radii.
#include "HostModel/Elements.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace {

using namespace HostModel;

TEST(Elements, SymbolsInAnyCase) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"H", 1},   {"h", 1},   {"D", 1},   {"d", 1},   {"T", 1},   {"t", 1},   {"C", 6},   {"c", 6},    {"CA", 20},
        {"Ca", 20}, {"cA", 20}, {"FE", 26}, {"fe", 26}, {"Fe", 26}, {"ZN", 30}, {"SE", 34}, {"Og", 118}, {"U", 92},
        {"", 0},    {"X", 0},   {"Xx", 0},  {"C ", 0},  {" C", 0},  {"CAL", 0}, {"J", 0},   {"Q", 0},
    };
    for (const auto& [symbol, z] : cases) EXPECT_EQ(AtomicNumberFromSymbol(symbol), z) << "'" << symbol << "'";
}

TEST(Elements, EverySymbolRoundTripsAndIsUnique) {
    std::set<std::string> seen;
    for (int z = 1; z <= 118; ++z) {
        const std::string symbol = ElementSymbol(z);
        ASSERT_FALSE(symbol.empty()) << z;
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(symbol[0]))) << symbol;
        if (symbol.size() > 1) {
            EXPECT_TRUE(std::islower(static_cast<unsigned char>(symbol[1]))) << symbol;
        }
        EXPECT_TRUE(seen.insert(symbol).second) << symbol;
        EXPECT_EQ(AtomicNumberFromSymbol(symbol), z) << symbol;
        std::string upper = symbol;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(AtomicNumberFromSymbol(upper), z) << upper;
    }
    EXPECT_STREQ(ElementSymbol(0), "");
    EXPECT_STREQ(ElementSymbol(119), "");
    EXPECT_STREQ(ElementSymbol(-1), "");
}

TEST(Elements, RadiiFromBondiAndMantina) {
    // Bondi, J. Phys. Chem. 68, 441 (1964); Mantina et al., J. Phys. Chem. A 113, 5806 (2009).
    const std::vector<std::pair<const char*, float>> published = {
        {"H", 1.20f},  {"C", 1.70f},  {"N", 1.55f},  {"O", 1.52f},  {"F", 1.47f},  {"P", 1.80f},
        {"S", 1.80f},  {"Cl", 1.75f}, {"Br", 1.85f}, {"I", 1.98f},  {"Na", 2.27f}, {"K", 2.75f},
        {"Mg", 1.73f}, {"Zn", 1.39f}, {"Se", 1.90f},  // Bondi
        {"Be", 1.53f}, {"B", 1.92f},  {"Al", 1.84f}, {"Ca", 2.31f}, {"Ge", 2.11f}, {"Rb", 3.03f},
        {"Sr", 2.49f}, {"Sb", 2.06f}, {"Cs", 3.43f}, {"Ba", 2.68f}, {"Bi", 2.07f}, {"Ra", 2.83f},  // Mantina
        {"Fe", 2.00f}, {"Mn", 2.00f}, {"Co", 2.00f}, {"Mo", 2.00f},                                // neither
    };
    for (const auto& [symbol, radius] : published) {
        EXPECT_FLOAT_EQ(VanDerWaalsRadius(AtomicNumberFromSymbol(symbol)), radius) << symbol;
    }
    EXPECT_FLOAT_EQ(VanDerWaalsRadius(AtomicNumberFromSymbol("D")), 1.20f);
    EXPECT_FLOAT_EQ(VanDerWaalsRadius(0), 2.00f);
    EXPECT_FLOAT_EQ(VanDerWaalsRadius(200), 2.00f);
}

TEST(Elements, EveryRadiusIsPlausible) {
    for (int z = 1; z <= 118; ++z) {
        const float r = VanDerWaalsRadius(z);
        EXPECT_GE(r, 1.2f) << ElementSymbol(z);
        EXPECT_LE(r, 3.5f) << ElementSymbol(z);
    }
}

}  // namespace
