// ReadDecimalField against gemmi's own parser (gemmi::fast_from_chars, as pdb_impl::read_double
// calls it), bit for bit: the values the PDB readers take must not depend on which one parsed.
#include "io/DecimalField.h"

#include <gemmi/atof.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

double GemmiValue(const std::string& field) {
    double value = 0;
    gemmi::fast_from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void ExpectAsGemmi(const std::string& field) {
    const double ours = HostIO::ReadDecimalField(field.data(), static_cast<int>(field.size()));
    const double theirs = GemmiValue(field);
    // NaN payloads aside, the same bits: -0.0 stays -0.0.
    if (theirs != theirs) {
        EXPECT_NE(ours, ours) << "'" << field << "'";
    } else {
        EXPECT_EQ(Bits(ours), Bits(theirs)) << "'" << field << "': " << ours << " vs " << theirs;
    }
}

TEST(DecimalField, OddFieldsAsGemmi) {
    for (const char* field : {"  -0.169",         "   0.000",
                              "  -0.000",         "9999.999",
                              "-999.999",         "1234567.",
                              "   12   ",         "  +1.500",
                              "1.5e3   ",         "1.5E-3  ",
                              "   nan  ",         "  -inf  ",
                              "        ",         "  1.2.3 ",
                              "   .5   ",         "  -.5   ",
                              "12345678",         "-       ",
                              " - 1.0  ",         "1.5\n    ",
                              "\t 2.25 ",         "0.1234567890123456789",
                              "1234567890123456", "123456789012345",
                              "  1 5   ",         "0x1p3   "}) {
        ExpectAsGemmi(field);
    }
}

// Coordinates and occupancies as files write them, over their whole range.
TEST(DecimalField, FixedColumnNumbersAsGemmi) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-9999.999, 9999.999);
    std::uniform_real_distribution<double> occupancy(0.0, 1.0);
    char field[32];
    for (int i = 0; i < 200000; ++i) {
        std::snprintf(field, sizeof field, "%8.3f", coordinate(random));
        ExpectAsGemmi(field);
        std::snprintf(field, sizeof field, "%6.2f", occupancy(random));
        ExpectAsGemmi(field);
    }
}

// Fields of random characters that numbers are made of.
TEST(DecimalField, RandomFieldsAsGemmi) {
    std::mt19937 random(11);
    const std::string alphabet = "0123456789.-+ eE\n";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> width(1, 20);
    for (int i = 0; i < 200000; ++i) {
        std::string field(static_cast<std::size_t>(width(random)), ' ');
        for (char& c : field) c = alphabet[pick(random)];
        ExpectAsGemmi(field);
    }
}

// Fields with the point where files put it and anything else around it: whatever shortcut the
// usual layout takes must give way to the full reading when a byte does not fit.
TEST(DecimalField, RandomFieldsWithThePointInPlaceAsGemmi) {
    std::mt19937 random(13);
    const std::string alphabet = "0123456789000000000-    +.e\t";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> width(4, 16);
    for (int i = 0; i < 200000; ++i) {
        std::string field(static_cast<std::size_t>(width(random)), ' ');
        for (char& c : field) c = alphabet[pick(random)];
        field[field.size() - (i % 2 == 0 ? 4 : 3)] = '.';
        ExpectAsGemmi(field);
    }
    for (const char* field : {"-  1.000", "--12.345", " -12.3 5", "   -.500", "    .500", "-.25", "0.00", "9.99",
                              "   -0.00", "123456789012.345"}) {
        ExpectAsGemmi(field);
    }
}

}  // namespace
