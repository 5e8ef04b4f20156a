// Numbered-placeholder formatting of messages.
#include "Common/CfxFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Common::CfxFormat;

struct Case {
    const wchar_t* pattern;
    std::vector<std::wstring> values;
    const wchar_t* expected;
};

TEST(CfxFormat, FillsPlaceholders) {
    const std::vector<Case> cases = {
        {L"Template file '%1' could not be found.", {L"bondi.siz"}, L"Template file 'bondi.siz' could not be found."},
        {L"%1 of %2", {L"3", L"7"}, L"3 of 7"},
        {L"%2 before %1", {L"one", L"two"}, L"two before one"},
        {L"%1%1-%1", {L"ab"}, L"abab-ab"},
        {L"100%%", {}, L"100%"},
        {L"%%1 stays", {L"x"}, L"%1 stays"},
        {L"%%%1", {L"x"}, L"%x"},
        {L"%1 and %2", {L"x"}, L"x and %2"},
        {L"no value: %1", {}, L"no value: %1"},
        {L"trailing %", {L"x"}, L"trailing %"},
        {L"%0 and %a", {L"x"}, L"%0 and %a"},
        {L"%10", {L"x"}, L"x0"},
        {L"%9", {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"nine"}, L"nine"},
        {L"", {L"x"}, L""},
        {L"%1", {L""}, L""},
        {L"\u00C5 %1 \u20AC", {L"\u00E9"}, L"\u00C5 \u00E9 \u20AC"},
    };
    for (const auto& c : cases) {
        CfxFormat format(c.pattern);
        for (const auto& value : c.values) format << value;
        EXPECT_EQ(format.Str(), c.expected) << "pattern " << std::wstring(c.pattern).size();
        EXPECT_EQ(static_cast<std::wstring>(format), c.expected);
    }
}

TEST(CfxFormat, ValuesAreNotExpandedAgain) {
    std::wstring text = CfxFormat(L"%1 %2") << L"%2" << L"%%";
    EXPECT_EQ(text, L"%2 %%");
}

}  // namespace
