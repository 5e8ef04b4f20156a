// Raising table messages: the exception's source, line, code and exact text.
#include "host/Errors.h"

#include "Common/Exception.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>

namespace {

template <class Raise>
Common::Exception Capture(Raise raise) {
    try {
        raise();
    } catch (const Common::Exception& e) {
        return e;
    }
    ADD_FAILURE() << "no Common::Exception was raised";
    return Common::Exception("", 0, L"", -1);
}

TEST(RaiseMessage, CarriesSourceLineCodeZeroAndText) {
    const Common::Exception e =
        Capture([] { Voltra::RaiseMessage("TemplateExporter", 321, Voltra::ErrorNotExactlyOneMolecule); });
    EXPECT_EQ(e.GetSource(), "TemplateExporter");
    EXPECT_EQ(e.GetLine(), 321);
    EXPECT_EQ(e.GetCode(), 0);
    EXPECT_EQ(std::wstring(e.GetMessageText()), L"There must be exactly one molecule for Voltra to work. Aborting.");
}

TEST(RaiseMessage, FillsPlaceholderWithArgument) {
    struct Case {
        Voltra::MessageId id;
        std::wstring argument;
        std::wstring expected;
    };
    const Case cases[] = {
        {Voltra::ErrorReadingTemplateFile, L"default.crg",
         L"There was an error reading the template file default.crg."},
        {Voltra::ErrorInvalidTemplateExtension, L"notes.txt",
         L"The template file notes.txt has an invalid file extension. The supported extensions are .crg and .siz"},
        // A file name that itself looks like a placeholder is inserted literally.
        {Voltra::ErrorReadingTemplateFile, L"%1.crg", L"There was an error reading the template file %1.crg."},
    };
    for (const Case& c : cases) {
        const Common::Exception e = Capture([&] { Voltra::RaiseMessage("TemplateFileIO", 7, c.id, c.argument); });
        EXPECT_EQ(std::wstring(e.GetMessageText()), c.expected);
        EXPECT_EQ(e.GetSource(), "TemplateFileIO");
        EXPECT_EQ(e.GetCode(), 0);
    }
}

TEST(RaiseMessage, IsCatchableAsStdExceptionWithUtf8Text) {
    try {
        Voltra::RaiseMessage("TemplateFileIO", 1, Voltra::ErrorReadingTemplateFile, L"\u00e9t\u00e9.crg");
        FAIL() << "nothing was raised";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "There was an error reading the template file \xC3\xA9t\xC3\xA9.crg.");
    }
}

}  // namespace
