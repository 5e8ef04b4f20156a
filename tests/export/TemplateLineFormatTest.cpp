// The hand-written line formatter against Boost.Format's "%-6s%-3s%-4s%1s%8.3lf", the layout
// Voltra reads: the same bytes for every field length and for values at rounding boundaries.
#include "export/TemplateExporter.h"

#include <boost/format.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using Voltra::TemplateEntry;
using Voltra::TemplateExporter;

std::string BoostLine(const TemplateEntry& e) {
    const std::string chain = e.chain.empty() ? std::string() : e.chain.substr(0, 1);
    std::string atom = e.atomName == "OCT1" ? "1OCT" : e.atomName == "OCT2" ? "2OCT" : e.atomName;
    return (boost::format("%-6s%-3s%-4s%1s%8.3lf") % atom % e.residueName % e.residueNumber % chain %
            static_cast<double>(e.value))
               .str() +
           '\n';
}

std::vector<float> EdgeValues() {
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 0.0005f,
                                 -0.0005f,
                                 0.0625f,
                                 0.1875f,
                                 1.0f,
                                 -0.4f,
                                 1234.5678f,
                                 12345.678f,
                                 -9999.999f,
                                 99999.9f,
                                 1e-8f,
                                 -1e-8f,
                                 3.4e38f,
                                 -3.4e38f,
                                 std::numeric_limits<float>::denorm_min(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN()};
    // Halfway cases in decimal that are not halfway in binary, and exact binary ties.
    for (int k = 0; k < 2000; ++k) values.push_back((static_cast<float>(k) + 0.5f) / 1000.0f);
    for (int k = -64; k < 64; ++k) values.push_back(static_cast<float>(k) / 16.0f);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> wide(-20000.0f, 20000.0f);
    for (int k = 0; k < 5000; ++k) values.push_back(wide(random));
    return values;
}

TEST(TemplateLineFormat, ValuesMatchBoostFormat) {
    for (const float value : EdgeValues()) {
        const TemplateEntry entry("CA", value, "ALA", "5", "A");
        ASSERT_EQ(TemplateExporter::FormatTemplateLine(entry), BoostLine(entry)) << "value " << value;
    }
}

TEST(TemplateLineFormat, FieldLengthsMatchBoostFormat) {
    const std::vector<std::string> texts = {"", "N", "CA", "OCT1", "oct1", "1HD2", "ABCDEF", "ABCDEFGHIJ"};
    const std::vector<std::string> numbers = {"", "1", "1234", "12345", "-12"};
    const std::vector<std::string> chains = {"", "A", "AB", "Water"};
    for (const auto& atom : texts) {
        for (const auto& residue : texts) {
            for (const auto& number : numbers) {
                for (const auto& chain : chains) {
                    const TemplateEntry entry(atom.empty() ? "X" : atom, -0.25f, residue, number, chain);
                    ASSERT_EQ(TemplateExporter::FormatTemplateLine(entry), BoostLine(entry))
                        << atom << '|' << residue << '|' << number << '|' << chain;
                }
            }
        }
    }
}

}  // namespace
