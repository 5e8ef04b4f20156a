#include "HostModel/Elements.h"

#include "Common/Text.h"

#include <iterator>

namespace HostModel {
namespace {

constexpr const char* kSymbols[] = {
    "",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si", "P",  "S",
    "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga", "Ge", "As",
    "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn",
    "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho",
    "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po",
    "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md",
    "No", "Lr", "Rf", "Db", "Sg", "Bh", "Hs", "Mt", "Ds", "Rg", "Cn", "Nh", "Fl", "Mc", "Lv", "Ts", "Og"};
constexpr int kElementCount = static_cast<int>(std::size(kSymbols));

struct RadiusRow {
    int atomicNumber;
    float radius;
};

// Bondi, J. Phys. Chem. 68, 441 (1964), table I.
constexpr RadiusRow kBondi[] = {
    {1, 1.20f},  {2, 1.40f},  {3, 1.82f},  {6, 1.70f},  {7, 1.55f},  {8, 1.52f},  {9, 1.47f},  {10, 1.54f},
    {11, 2.27f}, {12, 1.73f}, {14, 2.10f}, {15, 1.80f}, {16, 1.80f}, {17, 1.75f}, {18, 1.88f}, {19, 2.75f},
    {28, 1.63f}, {29, 1.40f}, {30, 1.39f}, {31, 1.87f}, {33, 1.85f}, {34, 1.90f}, {35, 1.85f}, {36, 2.02f},
    {46, 1.63f}, {47, 1.72f}, {48, 1.58f}, {49, 1.93f}, {50, 2.17f}, {52, 2.06f}, {53, 1.98f}, {54, 2.16f},
    {78, 1.72f}, {79, 1.66f}, {80, 1.55f}, {81, 1.96f}, {82, 2.02f}, {92, 1.86f}};

// Mantina, Chamberlin, Valero, Cramer and Truhlar, J. Phys. Chem. A 113, 5806 (2009), table 12,
// for main-group elements that Bondi leaves out.
constexpr RadiusRow kMantina[] = {{4, 1.53f},  {5, 1.92f},  {13, 1.84f}, {20, 2.31f}, {32, 2.11f}, {37, 3.03f},
                                  {38, 2.49f}, {51, 2.06f}, {55, 3.43f}, {56, 2.68f}, {83, 2.07f}, {84, 1.97f},
                                  {85, 2.02f}, {86, 2.20f}, {87, 3.48f}, {88, 2.83f}};

constexpr float kFallbackRadius = 2.00f;

}  // namespace

int AtomicNumberFromSymbol(const std::string& symbol) {
    if (symbol.empty()) return 0;
    if (Common::CompareNoCase(symbol, "D") == 0 || Common::CompareNoCase(symbol, "T") == 0) return 1;
    for (int z = 1; z < kElementCount; ++z) {
        if (Common::CompareNoCase(symbol, kSymbols[z]) == 0) return z;
    }
    return 0;
}

const char* ElementSymbol(int atomicNumber) {
    return (atomicNumber > 0 && atomicNumber < kElementCount) ? kSymbols[atomicNumber] : "";
}

float VanDerWaalsRadius(int atomicNumber) {
    for (const auto& row : kBondi) {
        if (row.atomicNumber == atomicNumber) return row.radius;
    }
    for (const auto& row : kMantina) {
        if (row.atomicNumber == atomicNumber) return row.radius;
    }
    return kFallbackRadius;
}

}  // namespace HostModel
