// Paths: joining, file name and directory, and use of a joined path with the file system.
#include "Common/Path.h"
#include "Common/StringConversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Common::Path;

TEST(Path, AppendJoinsWithOneSeparator) {
    const std::vector<std::tuple<std::wstring, std::wstring, std::wstring>> cases = {
        {L"/opt/host/bin", L"..", L"/opt/host/bin/.."},
        {L"/opt/host/bin/", L"share", L"/opt/host/bin/share"},
        {L"C:\\Host\\bin\\", L"share", L"C:\\Host\\bin\\share"},
        {L"", L"share", L"share"},
        {L"rel", L"voltra", L"rel/voltra"},
    };
    for (const auto& [start, component, expected] : cases) {
        Path path(start);
        EXPECT_EQ(path.Append(component).AsString(), expected);
    }
    Path chained(L"/opt/host/bin");
    chained.Append(L"..").Append(L"share").Append(L"voltra").Append(L"templates");
    EXPECT_EQ(chained.AsString(), L"/opt/host/bin/../share/voltra/templates");
}

TEST(Path, FileNameAndDirectory) {
    struct Case {
        std::wstring path, fileName, directory;
    };
    const std::vector<Case> cases = {
        {L"/a/b/default.crg", L"default.crg", L"/a/b"},
        {L"/a/b/", L"", L"/a/b"},
        {L"/a//b", L"b", L"/a"},
        {L"/a", L"a", L"/"},
        {L"/", L"", L"/"},
        {L"name.siz", L"name.siz", L""},
        {L"", L"", L""},
        {L"C:\\x\\y.siz", L"y.siz", L"C:\\x"},
        {L"root/bin/..", L"..", L"root/bin"},
        {L"/\u00E9t\u00E9/r\u00E9sum\u00E9.crg", L"r\u00E9sum\u00E9.crg", L"/\u00E9t\u00E9"},
    };
    for (const auto& c : cases) {
        const Path path(c.path);
        EXPECT_EQ(path.GetFileName().AsString(), c.fileName) << std::filesystem::path(c.path);
        EXPECT_EQ(path.GetDirectory().AsString(), c.directory) << std::filesystem::path(c.path);
    }
}

TEST(Path, DirectoryThenFileNameRebuildsThePath) {
    for (const std::wstring text : {L"/opt/host/share/voltra/templates/prot_amb.crg", L"a/b", L"x/y/z.siz"}) {
        const Path path(text);
        Path rebuilt = path.GetDirectory();
        rebuilt.Append(path.GetFileName().AsString());
        EXPECT_EQ(rebuilt.AsString(), text);
    }
}

TEST(Path, ParentStepOpensTheFileBesideTheBinaries) {
    // An installed tree: <root>/bin and <root>/share/voltra/templates, under a non-ASCII name.
    const auto root =
        std::filesystem::temp_directory_path() /
        ("voltra-path-test-\xC3\xA9-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "bin");
    std::filesystem::create_directories(root / "share" / "voltra" / "templates");
    { std::ofstream(root / "share" / "voltra" / "templates" / "default.siz") << "C  1.70\n"; }

    Path path(Common::ToWString((root / "bin").string()));
    path.Append(L"..").Append(L"share").Append(L"voltra").Append(L"templates").Append(L"default.siz");
    std::ifstream in(Common::ToSString(path.AsString()));
    std::string line;
    ASSERT_TRUE(std::getline(in, line)) << Common::ToSString(path.AsString());
    EXPECT_EQ(line, "C  1.70");
    EXPECT_EQ(path.GetFileName().AsString(), L"default.siz");
    std::filesystem::remove_all(root);
}

}  // namespace
