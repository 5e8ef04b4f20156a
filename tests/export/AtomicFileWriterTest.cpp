// Whole-file replacement: complete new contents or the old file, never a truncated one; devices
// and other non-regular targets written in place; repairs registered for interrupts.
#include "support/ScratchFolder.h"

#include "Common/AtomicFileWriter.h"
#include "Common/Exception.h"
#include "Common/InterruptCleanup.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A large file written in pieces: bigger and smaller than the buffer, and empty ones.
TEST(AtomicFileWriterPieces, PiecesGiveTheWholeTextOnlyAfterFinishAndCommit) {
    ScratchFolder folder;
    WriteFileBytes(folder / "big.txt", "old\n");
    std::string expected;
    AtomicFileWriter writer(folder / "big.txt");
    writer.Begin();
    for (std::size_t piece : {std::size_t(0), std::size_t(7), std::size_t(3) << 20, std::size_t(1) << 20,
                              std::size_t(1), std::size_t(999999)}) {
        const std::string text(piece, static_cast<char>('a' + expected.size() % 26));
        writer.Append(text);
        expected += text;
    }
    // Begun and not finished is not prepared: the target stays as it was.
    EXPECT_FALSE(WriteError([&writer] { writer.Commit(); }).empty());
    EXPECT_EQ(ReadFileBytes(folder / "big.txt"), "old\n");
    writer.Finish();
    writer.Commit();
    EXPECT_EQ(ReadFileBytes(folder / "big.txt"), expected);
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"big.txt"});
}

TEST(AtomicFileWriterPieces, BeginAgainDropsWhatWasAppended) {
    ScratchFolder folder;
    {
        AtomicFileWriter writer(folder / "again.txt");
        writer.Begin();
        writer.Append(std::string(2 << 20, 'x'));
        writer.Begin();
        writer.Append("second\n");
        writer.Finish();
        EXPECT_EQ(FolderEntries(folder.Path()).size(), 1u);  // one temporary file, no target yet
        writer.Commit();
    }
    EXPECT_EQ(ReadFileBytes(folder / "again.txt"), "second\n");
    // An abandoned writer leaves no temporary file.
    {
        AtomicFileWriter writer(folder / "abandoned.txt");
        writer.Begin();
        writer.Append("never\n");
    }
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"again.txt"});
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

// --- Targets that are not regular files ----------------------------------------------------

namespace {

// A private character device in the scratch folder (1,3 behaves as null, 1,7 as full); false
// where making device nodes is not allowed.
bool MakeCharDevice(const std::string& path, unsigned minor) {
    return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, minor)) == 0;
}

bool IsCharDevice(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

}  // namespace

TEST(AtomicFileWriterDevices, NullDeviceStaysADeviceAndGetsNoTemporary) {
    ScratchFolder folder;
    if (!MakeCharDevice(folder / "null", 3)) GTEST_SKIP() << "mknod is not allowed here";
    fs::create_symlink("null", folder.Path() / "link-to-null");
    Common::WriteFileAtomically(folder / "null", std::string(100000, 'x'));
    Common::WriteFileAtomically(folder / "link-to-null", "through the link\n");
    {
        AtomicFileWriter writer(folder / "null");
        EXPECT_TRUE(writer.WritesInPlace());
        writer.Prepare("prepared\n");
        EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"null", "link-to-null"}));
        writer.Commit();
    }
    EXPECT_TRUE(IsCharDevice(folder / "null"));
    EXPECT_TRUE(fs::is_symlink(folder.Path() / "link-to-null"));
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"null", "link-to-null"}));
}

TEST(AtomicFileWriterDevices, PiecesReachADeviceOnlyAtCommit) {
    ScratchFolder folder;
    if (!MakeCharDevice(folder / "full", 7)) GTEST_SKIP() << "mknod is not allowed here";
    AtomicFileWriter writer(folder / "full");
    writer.Begin();
    writer.Append(std::string(3 << 20, 'x'));
    writer.Finish();
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"full"});
    EXPECT_NE(WriteError([&writer] { writer.Commit(); }).find("No space left on device"), std::string::npos);
}

TEST(AtomicFileWriterDevices, FullDeviceReportsTheSystemsReason) {
    ScratchFolder folder;
    if (!MakeCharDevice(folder / "full", 7)) GTEST_SKIP() << "mknod is not allowed here";
    std::string error;
    try {
        Common::WriteFileAtomically(folder / "full", "x");
    } catch (const Common::FileWriteError& e) {  // its type tells callers it is the file system's
        error = e.what();
        EXPECT_EQ(e.GetCode(), ENOSPC);
        EXPECT_EQ(e.GetSource(), "AtomicFileWriter");
    }
    EXPECT_EQ(error, "Cannot write '" + (folder / "full") + "': No space left on device");
    EXPECT_TRUE(IsCharDevice(folder / "full"));
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"full"});
}

TEST(AtomicFileWriterDevices, FailedDeviceWriteTakesBackTheGroupsFiles) {
    // A group with a device is renamed first and written last: when the device is full, the
    // regular files get their previous contents back.
    ScratchFolder folder;
    if (!MakeCharDevice(folder / "full", 7)) GTEST_SKIP() << "mknod is not allowed here";
    WriteFileBytes(folder / "a.siz", "old a\n");
    AtomicFileWriter device(folder / "full");
    AtomicFileWriter a(folder / "a.siz");
    AtomicFileWriter b(folder / "b.crg");
    device.Prepare("to the device\n");
    a.Prepare("new a\n");
    b.Prepare("new b\n");
    EXPECT_EQ(WriteError([&] {
                  AtomicFileWriter::CommitAll({&device, &a, &b});
              }),
              "Cannot write '" + (folder / "full") + "': No space left on device");
    EXPECT_EQ(ReadFileBytes(folder / "a.siz"), "old a\n");
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"full", "a.siz"}));
}

TEST(AtomicFileWriterDevices, FifoIsWrittenInPlace) {
    ScratchFolder folder;
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFileBytes(folder / "pipe"); });
    Common::WriteFileAtomically(folder / "pipe", "through the pipe\n");
    reader.join();
    EXPECT_EQ(received, "through the pipe\n");
    EXPECT_TRUE(fs::is_fifo(folder.Path() / "pipe"));
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"pipe"});
}

TEST(AtomicFileWriterDevices, DescriptorLinkWritesTheOpenFileItself) {
    // /dev/stdout and /proc/self/fd/N stand for a descriptor the caller holds: the file behind
    // it is truncated and written, not replaced by a new file under its name.
    ScratchFolder folder;
    WriteFileBytes(folder / "held.txt", std::string(5000, 'o'));
    const int fd = ::open((folder / "held.txt").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    struct stat before {};
    ASSERT_EQ(::fstat(fd, &before), 0);
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    EXPECT_TRUE(AtomicFileWriter(link).WritesInPlace());
    Common::WriteFileAtomically(link, "new\n");
    ::close(fd);
    struct stat after {};
    ASSERT_EQ(::stat((folder / "held.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFileBytes(folder / "held.txt"), "new\n");
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"held.txt"});
    EXPECT_FALSE(AtomicFileWriter(folder / "held.txt").WritesInPlace());
}

// --- Temporary files -----------------------------------------------------------------------

TEST(AtomicFileWriter, TemporaryIsHiddenRandomAndFollowsTheUmask) {
    ScratchFolder folder;
    const mode_t mask = ::umask(077);
    std::set<std::string> names;
    for (int i = 0; i < 3; ++i) {
        AtomicFileWriter writer(folder / "out.pqr");
        writer.Prepare("x");
        for (const auto& name : FolderEntries(folder.Path())) {
            if (name == "out.pqr") continue;
            names.insert(name);
            EXPECT_EQ(name.rfind(".out.pqr.tmp-", 0), 0u) << name;
            EXPECT_EQ(fs::status(folder.Path() / name).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        }
        writer.Commit();
    }
    ::umask(mask);
    EXPECT_EQ(names.size(), 3u);  // a fresh name each time, not a counter another user can guess
    EXPECT_EQ(fs::status(folder / "out.pqr").permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(InterruptCleanup, RemovesTemporariesAndMovesBackupsBack) {
    using Common::InterruptGuard;
    ScratchFolder folder;
    WriteFileBytes(folder / ".tmp", "half written");
    WriteFileBytes(folder / "replaced", "new");
    WriteFileBytes(folder / ".old", "previous");
    WriteFileBytes(folder / "untouched", "previous");
    ASSERT_EQ(::link((folder / "untouched").c_str(), (folder / ".old-link").c_str()), 0);
    WriteFileBytes(folder / "released", "keep");
    // The cleanup runs as the last act of an interrupted process: it leaves the guards' names
    // allocated and the process ends right after. A child plays that process, so that the names
    // it abandons end with it instead of with this test program.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InterruptGuard temporary(folder / ".tmp", InterruptGuard::Action::Remove);
        InterruptGuard backup(folder / ".old", InterruptGuard::Action::MoveBack, folder / "replaced");
        // Before its target was replaced, a backup is a second link to the same file.
        InterruptGuard sameFile(folder / ".old-link", InterruptGuard::Action::MoveBack, folder / "untouched");
        InterruptGuard released(folder / "released", InterruptGuard::Action::Remove);
        released.Release();
        Common::RunInterruptCleanup();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"replaced", "untouched", "released"}));
    EXPECT_EQ(ReadFileBytes(folder / "replaced"), "previous");
    EXPECT_EQ(ReadFileBytes(folder / "untouched"), "previous");
}
