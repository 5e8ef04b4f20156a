#include "Common/FixedField.h"

#include "FixedReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using FixedTest::Reference;

// Magnitudes from far below the last decimal to past eight characters, both signs, through float
// as the document keeps them; the edges where the number gains a digit and its halves; ties;
// values only the long way writes.
std::vector<double> Values(int decimals) {
    std::mt19937_64 random(static_cast<std::uint64_t>(decimals) + 40);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::vector<double> values = {
        0.0,   -0.0,   std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), std::nan(""),
        1e300, -1e-300};
    const double unit = std::pow(10.0, -decimals);
    for (int power = -decimals - 2; power <= 9; ++power) {
        const double scale = std::pow(10.0, power);
        for (int i = 0; i < 200; ++i) {
            const double value = (random() & 1 ? -1.0 : 1.0) * mantissa(random) * scale;
            values.push_back(value);
            values.push_back(static_cast<float>(value));
        }
        for (const double edge : {scale - unit, scale, scale - 0.5 * unit, scale + 0.5 * unit}) {
            for (const double value : {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e300)}) {
                values.push_back(value);
                values.push_back(-value);
            }
        }
    }
    for (int k = -50; k <= 50; ++k) values.push_back(std::ldexp(2 * k + 1, -decimals - 1));  // exact ties
    return values;
}

template <int Width, int Decimals>
void ExpectSameAsToChars() {
    for (const double value : Values(Decimals)) {
        char room[Common::kFixedFieldRoom + 16];
        std::memset(room, '#', sizeof room);
        char* end = Common::WriteFixedField<Width, Decimals>(room, value);
        ASSERT_EQ(std::string(room, static_cast<std::size_t>(end - room)), Reference(value, Width, Decimals))
            << std::hexfloat << value << ", width " << Width << ", decimals " << Decimals;
        ASSERT_TRUE(std::all_of(end, room + sizeof room, [](char c) { return c == '#'; }))
            << "wrote past what it reports: " << std::hexfloat << value << ", width " << Width << ", decimals "
            << Decimals;
    }
}

// The writers' own fields first, then the corners of the inline layout and fields it leaves to
// WriteFixed (more than sixteen characters, more than seven decimals).
TEST(WriteFixedField, AgreesWithToChars) {
    ExpectSameAsToChars<8, 3>();
    ExpectSameAsToChars<8, 4>();
    ExpectSameAsToChars<7, 4>();
    ExpectSameAsToChars<5, 2>();
    ExpectSameAsToChars<0, 0>();
    ExpectSameAsToChars<1, 0>();
    ExpectSameAsToChars<3, 1>();
    ExpectSameAsToChars<4, 2>();
    ExpectSameAsToChars<8, 0>();
    ExpectSameAsToChars<9, 3>();
    ExpectSameAsToChars<12, 5>();
    ExpectSameAsToChars<16, 7>();
    ExpectSameAsToChars<17, 3>();
    ExpectSameAsToChars<10, 8>();
    ExpectSameAsToChars<8, 9>();
}

TEST(WriteFixedField, WritesWhatWriteFixedWrites) {
    std::mt19937_64 random(3);
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (i % 2) value = std::ldexp(static_cast<double>(bits >> 11), -44) - 256.0;  // coordinates
        char field[Common::kFixedFieldRoom];
        char call[Common::kFixedFieldRoom];
        const char* fieldEnd = Common::WriteFixedField<8, 3>(field, value);
        const char* callEnd = Common::WriteFixed(call, value, 8, 3);
        ASSERT_EQ(std::string_view(field, static_cast<std::size_t>(fieldEnd - field)),
                  std::string_view(call, static_cast<std::size_t>(callEnd - call)))
            << std::hexfloat << value;
    }
}

}  // namespace
