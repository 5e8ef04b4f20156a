// The host exception: UTF-8 what(), the wide message, and catching through std::exception.
#include "Common/Exception.h"
#include "Common/StringConversion.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using Common::Exception;

[[noreturn]] void Raise(const std::wstring& message) { throw Exception("TemplateFileIO", 42, message, 0); }

TEST(Exception, WhatIsTheUtf8OfTheWideMessage) {
    const std::wstring message = L"Vorlage \u00BBr\u00E9sum\u00E9.crg\u00AB fehlt \U0001F600";
    const Exception e("TemplateFileIO", 12, message, 3);
    EXPECT_STREQ(e.what(), "Vorlage \xC2\xBBr\xC3\xA9sum\xC3\xA9.crg\xC2\xAB fehlt \xF0\x9F\x98\x80");
    EXPECT_EQ(std::wstring(e.GetMessageText()), message);
    EXPECT_EQ(Common::ToWString(e.what()), message);
    EXPECT_EQ(e.GetSource(), "TemplateFileIO");
    EXPECT_EQ(e.GetLine(), 12);
    EXPECT_EQ(e.GetCode(), 3);
}

TEST(Exception, CaughtAsStdException) {
    try {
        Raise(L"Template file 'x.crg' could not be found.");
        FAIL() << "nothing thrown";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Template file 'x.crg' could not be found.");
        const auto* host = dynamic_cast<const Exception*>(&e);
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(host->GetLine(), 42);
    }
}

TEST(Exception, NotCaughtByUnrelatedHandlers) {
    auto attempt = [] {
        try {
            Raise(L"x");
        } catch (const std::runtime_error&) {
            return "runtime_error";
        } catch (const Exception&) {
            return "Exception";
        }
        return "none";
    };
    EXPECT_STREQ(attempt(), "Exception");
}

TEST(Exception, CopyKeepsTheMessage) {
    Exception copy("a", 1, L"", 0);
    {
        const Exception original("TemplateExporter", 7, L"Could not write \u00E9.crg", 0);
        copy = original;
    }
    EXPECT_STREQ(copy.what(), "Could not write \xC3\xA9.crg");
    EXPECT_EQ(std::wstring(copy.GetMessageText()), L"Could not write \u00E9.crg");
    EXPECT_EQ(copy.GetSource(), "TemplateExporter");
}

TEST(Exception, NullSourceReadsAsEmpty) {
    const Exception e(nullptr, 0, L"m", 0);
    EXPECT_EQ(e.GetSource(), "");
}

}  // namespace
