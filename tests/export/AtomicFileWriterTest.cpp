// Whole-file replacement: complete new contents or the old file, never a truncated one.
#include "export/ScratchFolder.h"

#include "Common/AtomicFileWriter.h"
#include "Common/Exception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <sys/stat.h>

using Common::AtomicFileWriter;
using VoltraTest::FolderEntries;
using VoltraTest::ReadFileBytes;
using VoltraTest::ScratchFolder;
using VoltraTest::WriteFileBytes;

namespace fs = std::filesystem;

namespace {

std::string WriteError(const std::function<void()>& write) {
    try {
        write();
    } catch (const Common::Exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(AtomicFileWriter, ReplacesContentsAndKeepsPermissions) {
    ScratchFolder folder;
    WriteFileBytes(folder / "data.txt", std::string(1000, 'x'));
    fs::permissions(folder / "data.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    Common::WriteFileAtomically(folder / "data.txt", "new\n");
    EXPECT_EQ(ReadFileBytes(folder / "data.txt"), "new\n");
    EXPECT_EQ(fs::status(folder / "data.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"data.txt"});
}

TEST(AtomicFileWriter, NewFileFollowsTheUmask) {
    ScratchFolder folder;
    const mode_t mask = ::umask(022);
    Common::WriteFileAtomically(folder / "fresh.txt", "x");
    ::umask(mask);
    EXPECT_EQ(fs::status(folder / "fresh.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST(AtomicFileWriter, UncommittedWriterLeavesTargetAndNoTemporary) {
    ScratchFolder folder;
    WriteFileBytes(folder / "kept.txt", "old\n");
    {
        AtomicFileWriter writer(folder / "kept.txt");
        writer.Prepare("new\n");
        writer.Prepare("newer\n");  // a second Prepare replaces the first temporary file
        EXPECT_EQ(FolderEntries(folder.Path()).size(), 2u);
    }
    EXPECT_EQ(ReadFileBytes(folder / "kept.txt"), "old\n");
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"kept.txt"});
}

TEST(AtomicFileWriter, SymbolicLinkStaysALink) {
    ScratchFolder folder;
    WriteFileBytes(folder / "real.txt", "old\n");
    fs::create_symlink("real.txt", folder.Path() / "link.txt");
    Common::WriteFileAtomically(folder / "link.txt", "new\n");
    EXPECT_TRUE(fs::is_symlink(folder.Path() / "link.txt"));
    EXPECT_EQ(ReadFileBytes(folder / "real.txt"), "new\n");
}

TEST(AtomicFileWriter, FailuresNameTheFileAndTheReason) {
    ScratchFolder folder;
    WriteFileBytes(folder / "plain", "");
    fs::create_directory(folder.Path() / "folder");
    EXPECT_EQ(WriteError([&] { Common::WriteFileAtomically(folder / "none/x.txt", "x"); }),
              "Cannot write '" + (folder / "none/x.txt") + "': No such file or directory");
    EXPECT_EQ(WriteError([&] { Common::WriteFileAtomically(folder / "plain/x.txt", "x"); }),
              "Cannot write '" + (folder / "plain/x.txt") + "': Not a directory");
    EXPECT_EQ(WriteError([&] { Common::WriteFileAtomically(folder / "folder", "x"); }),
              "Cannot write '" + (folder / "folder") + "': Is a directory");
    EXPECT_EQ(WriteError([&] { AtomicFileWriter(folder / "never.txt").Commit(); }),
              "Cannot write '" + (folder / "never.txt") + "': No such file or directory");
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"plain", "folder"}));
}

TEST(AtomicFileWriter, CommitAllUndoesEarlierRenamesWhenOneFails) {
    ScratchFolder folder;
    WriteFileBytes(folder / "first.txt", "old first\n");
    fs::create_directories(folder.Path() / "third.txt/inside");  // cannot be replaced by a file
    AtomicFileWriter first(folder / "first.txt");
    AtomicFileWriter second(folder / "second.txt");
    AtomicFileWriter third(folder / "third.txt");
    first.Prepare("new first\n");
    second.Prepare("new second\n");
    third.Prepare("new third\n");
    EXPECT_NE(WriteError([&] { AtomicFileWriter::CommitAll({&first, &second, &third}); }), "");
    EXPECT_EQ(ReadFileBytes(folder / "first.txt"), "old first\n");
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"first.txt", "third.txt"}));
}

TEST(AtomicFileWriter, CommitAllReplacesEveryTarget) {
    ScratchFolder folder;
    WriteFileBytes(folder / "a.txt", "old a\n");
    AtomicFileWriter a(folder / "a.txt");
    AtomicFileWriter b(folder / "b.txt");
    a.Prepare("new a\n");
    b.Prepare("new b\n");
    AtomicFileWriter::CommitAll({&a, &b});
    EXPECT_EQ(ReadFileBytes(folder / "a.txt"), "new a\n");
    EXPECT_EQ(ReadFileBytes(folder / "b.txt"), "new b\n");
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"a.txt", "b.txt"}));
}
