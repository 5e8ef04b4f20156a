// The program's --ph and --pka options.
#include "Options.h"

#include <gtest/gtest.h>

namespace {

using VoltraApp::ParseOptions;
using VoltraApp::UsageError;

TEST(PhOption, DefaultsAndValues) {
    EXPECT_DOUBLE_EQ(ParseOptions({"in.pdb"}).ph, 7.0);
    EXPECT_FALSE(ParseOptions({"in.pdb"}).pkaFromPropka);
    EXPECT_DOUBLE_EQ(ParseOptions({"--ph=4.5", "in.pdb"}).ph, 4.5);
    EXPECT_DOUBLE_EQ(ParseOptions({"--ph", "0", "in.pdb"}).ph, 0.0);
    EXPECT_DOUBLE_EQ(ParseOptions({"--ph=14", "in.pdb"}).ph, 14.0);
    EXPECT_TRUE(ParseOptions({"--pka=propka", "in.pdb"}).pkaFromPropka);
    EXPECT_FALSE(ParseOptions({"--pka=model", "in.pdb"}).pkaFromPropka);
}

TEST(PhOption, RefusedValues) {
    for (const char* value : {"--ph=", "--ph=seven", "--ph=7x", "--ph=-0.1", "--ph=14.01", "--ph=nan", "--ph=inf",
                              "--pka=pdb2pqr", "--pka="}) {
        EXPECT_THROW(ParseOptions({value, "in.pdb"}), UsageError) << value;
    }
}

TEST(PhOption, HelpNamesBoth) {
    const std::string help = VoltraApp::HelpText();
    EXPECT_NE(help.find("--ph=VALUE"), std::string::npos);
    EXPECT_NE(help.find("--pka=SOURCE"), std::string::npos);
}

}  // namespace
