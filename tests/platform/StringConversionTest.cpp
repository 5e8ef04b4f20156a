// UTF-8 <-> wide conversion (undecodable bytes escaped and restored), checked against glibc's iconv.
#include "Common/StringConversion.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace {

using Common::ToSString;
using Common::ToWString;

// Independent converter: glibc's iconv from the platform's wchar_t encoding to UTF-8.
std::string IconvUtf8(const std::wstring& text) {
    iconv_t cd = iconv_open("UTF-8", "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inLeft = text.size() * sizeof(wchar_t);
    char* dst = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) throw std::runtime_error("iconv rejected the text");
    out.resize(out.size() - outLeft);
    return out;
}

struct Sample {
    const char* what;
    std::string utf8;
    std::wstring wide;
};

TEST(StringConversion, KnownTextsConvertBothWays) {
    const std::vector<Sample> samples = {
        {"empty", "", L""},
        {"ascii", "Voltra Charge", L"Voltra Charge"},
        {"two-byte", "\xC3\x85ngstr\xC3\xB6m", L"\u00C5ngstr\u00F6m"},
        {"three-byte", "\xE2\x82\xAC 5 \xE2\x80\x94 x", L"\u20AC 5 \u2014 x"},
        {"four-byte", "\xF0\x9F\x98\x80!", std::wstring{static_cast<wchar_t>(0x1F600), L'!'}},
        {"highest code point", "\xF4\x8F\xBF\xBF", std::wstring{static_cast<wchar_t>(0x10FFFF)}},
        {"embedded NUL", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& s : samples) {
        EXPECT_EQ(ToWString(s.utf8), s.wide) << s.what;
        EXPECT_EQ(ToSString(s.wide), s.utf8) << s.what;
    }
}

TEST(StringConversion, EveryCodePointRoundTripsAndMatchesIconv) {
    // All of the BMP outside the surrogates, then every 97th supplementary code point.
    std::wstring all;
    for (char32_t cp = 1; cp < 0xD800; ++cp) all += static_cast<wchar_t>(cp);
    for (char32_t cp = 0xE000; cp < 0x10000; ++cp) all += static_cast<wchar_t>(cp);
    for (char32_t cp = 0x10000; cp <= 0x10FFFF; cp += 97) all += static_cast<wchar_t>(cp);
    all += static_cast<wchar_t>(0x10FFFF);

    const std::string utf8 = ToSString(all);
    EXPECT_EQ(utf8, IconvUtf8(all));
    EXPECT_EQ(ToWString(utf8), all);
}

// The escape of an undecodable byte: the lone low surrogate U+DC00 + byte.
std::wstring Esc(std::initializer_list<unsigned> bytes) {
    std::wstring out;
    for (unsigned b : bytes) out += static_cast<wchar_t>(0xDC00 + b);
    return out;
}

TEST(StringConversion, MalformedUtf8EscapesEachOffendingByte) {
    const std::vector<Sample> samples = {
        {"lone continuation byte", "a\x80z", L"a" + Esc({0x80}) + L"z"},
        {"byte FF", "\xFF", Esc({0xFF})},
        {"Latin-1 e acute", "caf\xE9.pdb", L"caf" + Esc({0xE9}) + L".pdb"},
        {"overlong slash (C0 AF)", "\xC0\xAF", Esc({0xC0, 0xAF})},
        {"overlong three-byte NUL", "\xE0\x80\x80", Esc({0xE0, 0x80, 0x80})},
        {"overlong four-byte", "\xF0\x80\x80\xAF", Esc({0xF0, 0x80, 0x80, 0xAF})},
        {"truncated three-byte before ASCII",
         "\xE2\x82"
         "A",
         Esc({0xE2, 0x82}) + L"A"},
        {"truncated four-byte at end", "x\xF0\x9F\x98", L"x" + Esc({0xF0, 0x9F, 0x98})},
        {"UTF-8 encoded surrogate", "\xED\xA0\x80", Esc({0xED, 0xA0, 0x80})},
        {"UTF-8 encoded escape itself", "\xED\xB3\xA9", Esc({0xED, 0xB3, 0xA9})},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", Esc({0xF4, 0x90, 0x80, 0x80})},
        {"five-byte form", "\xF8\x88\x80\x80\x80", Esc({0xF8, 0x88, 0x80, 0x80, 0x80})},
        {"valid after invalid",
         "\xC3"
         "\xC3\xA9",
         Esc({0xC3}) + L"\u00E9"},
    };
    for (const auto& s : samples) {
        EXPECT_EQ(ToWString(s.utf8), s.wide) << s.what;
        EXPECT_EQ(ToSString(s.wide), s.utf8) << s.what << ": the bytes come back unchanged";
    }
}

TEST(StringConversion, InvalidWideValuesBecomeReplacementCharacter) {
    const std::string replacementUtf8 = "\xEF\xBF\xBD";
    const std::vector<std::pair<const char*, wchar_t>> samples = {
        {"high surrogate", static_cast<wchar_t>(0xD800)},         {"low surrogate", static_cast<wchar_t>(0xDFFF)},
        {"below the byte escapes", static_cast<wchar_t>(0xDC7F)},  // would be an ASCII byte
        {"above the byte escapes", static_cast<wchar_t>(0xDD00)}, {"beyond U+10FFFF", static_cast<wchar_t>(0x110000)},
        {"far beyond", static_cast<wchar_t>(0x7FFFFFFF)},
    };
    for (const auto& [what, value] : samples) {
        EXPECT_EQ(ToSString(std::wstring{L'<', value, L'>'}), "<" + replacementUtf8 + ">") << what;
    }
}

TEST(StringConversion, EveryByteSequenceRoundTrips) {
    // File names are bytes: whatever they hold comes back from the wide form unchanged, and a
    // valid character amid garbage is still decoded as that character.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20000; ++round) {
        std::string junk;
        for (int i = round % 9; i > 0; --i) junk += static_cast<char>(byte(random));
        const std::string bytes = junk + "\xE2\x82\xAC";
        const std::wstring wide = ToWString(bytes);
        ASSERT_GE(wide.size(), 1u);
        EXPECT_EQ(wide.back(), L'\u20AC') << "round " << round;
        ASSERT_EQ(ToSString(wide), bytes) << "round " << round;
    }
    // Each high byte alone is escaped and restored.
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(ToSString(ToWString(one)), one) << "byte " << b;
    }
}

}  // namespace
