#include "Common/FixedColumns.h"

#include "FixedReference.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>
#include <algorithm>

namespace {

using FixedTest::Reference;

std::string Fixed(double value, int width, int decimals) {
    std::string out = "|";  // what is already in the text stays
    Common::AppendFixed(out, value, width, decimals);
    return out.substr(1);
}

void ExpectSameAsToChars(double value, int width, int decimals) {
    ASSERT_EQ(Fixed(value, width, decimals), Reference(value, width, decimals))
        << "value " << std::hexfloat << value << ", width " << width << ", decimals " << decimals;
}

TEST(AppendFixed, WritesWhatPrintfWrites) {
    const struct {
        double value;
        int width;
        int decimals;
        const char* printed;
    } cases[] = {
        {12.3456, 8, 3, "  12.346"},
        {-12.3454, 8, 3, " -12.345"},
        {0.0, 8, 3, "   0.000"},
        {-0.0, 8, 3, "  -0.000"},
        {-0.0004, 8, 3, "  -0.000"},
        {0.0005, 8, 3, "   0.001"},
        {2.5, 1, 0, "2"},
        {3.5, 1, 0, "4"},
        {-2.5, 3, 0, " -2"},
        {123456789.0, 8, 3, "123456789.000"},
        {1e300, 4, 1, nullptr},
    };
    for (const auto& c : cases) {
        char printed[400];
        std::snprintf(printed, sizeof printed, "%*.*f", c.width, c.decimals, c.value);
        if (c.printed) {
            EXPECT_STREQ(printed, c.printed);
        }
        EXPECT_EQ(Fixed(c.value, c.width, c.decimals), printed) << c.value;
    }
}

TEST(AppendFixed, NonFiniteValuesAsToCharsWritesThem) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double value : {inf, -inf, nan, -nan}) {
        for (int decimals : {0, 3, 4}) ExpectSameAsToChars(value, 8, decimals);
    }
    EXPECT_EQ(Fixed(-inf, 7, 4), "   -inf");
}

// Halfway values, as decimal text gives them and as binary fractions that are exact ties, and
// their neighbours one ulp away: the rounding must be the exact value's, not the scaled one's.
TEST(AppendFixed, TiesAndTheirNeighbours) {
    for (int decimals = 0; decimals <= 6; ++decimals) {
        const double unit = std::pow(10.0, -decimals);
        for (int k = -3000; k <= 3000; ++k) {
            const double ties[] = {(k + 0.5) * unit, std::ldexp(2 * k + 1, -decimals - 1),
                                   std::ldexp(2 * k + 1, -4) * unit};
            for (double tie : ties) {
                for (double value : {tie, std::nextafter(tie, -1e300), std::nextafter(tie, 1e300)}) {
                    ExpectSameAsToChars(value, 8, decimals);
                }
            }
        }
    }
    // Large halves, where the decimal text's binary value lies many ulps of the product away.
    std::mt19937_64 random(5);
    for (int i = 0; i < 200000; ++i) {
        const int decimals = static_cast<int>(random() % 7);
        const auto k = static_cast<double>(random() % (std::uint64_t{1} << (10 + random() % 30)));
        const double tie = (k + 0.5) / std::pow(10.0, decimals);
        for (double value : {tie, std::nextafter(tie, -1e300), std::nextafter(tie, 1e300)}) {
            ExpectSameAsToChars(value, 8, decimals);
        }
    }
}

TEST(AppendFixed, AgreesWithToCharsOnManyValues) {
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> coordinate(-1000.0, 1000.0);
    std::uniform_real_distribution<double> exponent(-12.0, 16.0);
    std::uniform_int_distribution<int> decimals(0, 12);
    for (int i = 0; i < 300000; ++i) {
        // Coordinates and charges as the writers see them, through float as the document keeps some.
        const double x = coordinate(random);
        ExpectSameAsToChars(x, 8, 3);
        ExpectSameAsToChars(static_cast<float>(x / 1000.0), 8, 4);
        // Every magnitude, any number of decimals.
        const double sign = (random() & 1) ? -1.0 : 1.0;
        ExpectSameAsToChars(sign * std::pow(10.0, exponent(random)), 7, decimals(random));
        // Any bit pattern at all.
        const std::uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        ExpectSameAsToChars(any, 8, decimals(random) % 5);
    }
}

// Where the integer part gains a digit, and where rounding carries into it (9.9995 -> "10.000"):
// the field's length is worked out before its digits are written.
TEST(AppendFixed, RoundingThatCarriesIntoANewDigit) {
    for (int decimals = 0; decimals <= 9; ++decimals) {
        for (int power = 0; power <= 12; ++power) {
            const double boundary = std::pow(10.0, power);
            const double halfUnit = 0.5 * std::pow(10.0, -decimals);
            for (const double value :
                 {boundary, boundary - halfUnit, boundary - 2 * halfUnit, std::nextafter(boundary - halfUnit, 0.0),
                  std::nextafter(boundary, 0.0), boundary + halfUnit}) {
                for (const int width : {0, 3, 5, 8, 12, 16, 24}) {
                    ExpectSameAsToChars(value, width, decimals);
                    ExpectSameAsToChars(-value, width, decimals);
                }
            }
        }
    }
}

TEST(AppendFixed, WidthsBeyondAFieldsRoom) {
    EXPECT_EQ(Fixed(-1.5, 100, 2), std::string(95, ' ') + "-1.50");
    ExpectSameAsToChars(1e300, 400, 3);
    ExpectSameAsToChars(std::numeric_limits<double>::infinity(), 70, 3);
}

TEST(AppendFixed, LongerThanTheWidthIsWrittenWhole) {
    EXPECT_EQ(Fixed(-12345.6789, 4, 2), "-12345.68");
    EXPECT_EQ(Fixed(1.0, 0, 0), "1");
}

}  // namespace

namespace {

// The raw-memory writers give AppendFixed's and printf's bytes, and stay within their room.
TEST(WriteFixed, WritesWhatAppendFixedAppends) {
    std::mt19937_64 random(7);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.5,
                                  -0.0004,
                                  1234.5678,
                                  -999.9995,
                                  1e300,
                                  -1.7976931348623157e308,
                                  std::numeric_limits<double>::infinity(),
                                  std::nan("")};
    for (int i = 0; i < 20000; ++i) {
        std::uint64_t bits = random();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(i % 2 ? value : std::ldexp(static_cast<double>(bits >> 11), -40) - 4096.0);
    }
    for (const double value : values) {
        for (const auto& [width, decimals] : {std::pair{8, 3}, std::pair{7, 4}, std::pair{1, 0}, std::pair{64, 16}}) {
            std::string room(Common::kFixedFieldRoom + 64, '#');
            char* end = Common::WriteFixed(room.data(), value, width, decimals);
            const std::string written(room.data(), end);
            std::string appended;
            Common::AppendFixed(appended, value, width, decimals);
            ASSERT_EQ(written, appended) << std::hexfloat << value;
            ASSERT_LE(written.size(), std::max<std::size_t>(width, Common::kFixedFieldRoom));
            ASSERT_EQ(*end, '#') << "wrote past what it reports";
        }
    }
}

// Every width a field may have in one word or two, every number of decimals, magnitudes on both
// sides of eight characters of number: the digits made at once must give to_chars's bytes, and
// never a byte past the end they report.
TEST(WriteFixed, AgreesWithToCharsForEveryWidthAndDecimals) {
    std::mt19937_64 random(20261210);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    for (int decimals = 0; decimals <= 9; ++decimals) {
        std::vector<double> values = {0.0, -0.0};
        for (int power = -decimals - 2; power <= 10 - decimals; ++power) {
            const double unit = std::pow(10.0, power);
            for (int i = 0; i < 300; ++i) {
                const double value = (random() & 1 ? -1.0 : 1.0) * mantissa(random) * unit;
                values.push_back(value);
                values.push_back(static_cast<float>(value));  // as the document keeps charges
            }
            // Where the number gains a digit: 9.99...9 and 10.0...0 with these decimals, and the
            // halves between them, which round up into the new digit.
            const double last = unit - std::pow(10.0, -decimals);
            for (const double edge : {last, unit, last + 0.5 * std::pow(10.0, -decimals)}) {
                for (const double value : {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e300)}) {
                    values.push_back(value);
                    values.push_back(-value);
                }
            }
        }
        for (const double value : values) {
            for (int width = 0; width <= 16; ++width) {
                char room[Common::kFixedFieldRoom + 16];
                std::memset(room, '#', sizeof room);
                char* end = Common::WriteFixed(room, value, width, decimals);
                ASSERT_EQ(std::string(room, static_cast<std::size_t>(end - room)), Reference(value, width, decimals))
                    << std::hexfloat << value << ", width " << width << ", decimals " << decimals;
                ASSERT_TRUE(std::all_of(end, room + sizeof room, [](char c) { return c == '#'; }))
                    << "wrote past what it reports: " << std::hexfloat << value << ", width " << width << ", decimals "
                    << decimals;
            }
        }
    }
}

// Fields of the writers' widths as printf itself writes them, on the values a structure holds.
TEST(WriteFixed, WritesWhatSnprintfWritesForTheWritersFields) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> coordinate(-9999.0, 9999.0);
    std::uniform_real_distribution<double> charge(-2.5, 2.5);
    for (int i = 0; i < 100000; ++i) {
        const double x = static_cast<float>(coordinate(random));
        const double q = static_cast<float>(charge(random));
        for (const auto& [value, width, decimals] :
             {std::tuple{x, 8, 3}, std::tuple{q, 8, 4}, std::tuple{std::fabs(q), 7, 4}, std::tuple{q, 5, 2}}) {
            char written[Common::kFixedFieldRoom];
            char* end = Common::WriteFixed(written, value, width, decimals);
            char printed[64];
            std::snprintf(printed, sizeof printed, "%*.*f", width, decimals, value);
            ASSERT_EQ(std::string(written, static_cast<std::size_t>(end - written)), printed) << std::hexfloat << value;
        }
    }
}

TEST(WriteUnsignedRight, WritesWhatPrintfWrites) {
    for (const std::size_t value : {std::size_t{0}, std::size_t{7}, std::size_t{99999}, std::size_t{100000},
                                    std::size_t{1234567}, std::numeric_limits<std::size_t>::max()}) {
        for (const int width : {0, 5, 22}) {
            char written[64];
            char* end = Common::WriteUnsignedRight(written, value, width);
            char printed[64];
            std::snprintf(printed, sizeof printed, "%*zu", width, value);
            EXPECT_EQ(std::string(written, end), printed);
        }
    }
}

}  // namespace
