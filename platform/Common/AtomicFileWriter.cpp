#include "Common/AtomicFileWriter.h"

#include "Common/Exception.h"
#include "Common/StringConversion.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Common {
namespace {

constexpr const char* kSource = "AtomicFileWriter";

[[noreturn]] void RaiseWriteError(int line, const std::string& path, int error) {
    const std::string text = "Cannot write '" + path + "': " + std::system_category().message(error);
    throw Exception(kSource, line, ToWString(text), error);
}

/// A name in the target's folder that no file has yet: ".<name>.<tag>-<pid>-<n>". Hidden, so
/// that a leftover after a crash does not pass for a result.
std::string SiblingName(const std::string& target, const char* tag) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path p(target);
    std::string name = "." + p.filename().string() + "." + tag + "-" + std::to_string(::getpid()) + "-" +
                       std::to_string(counter++);
    return (p.parent_path() / name).string();
}

std::string ResolveFinalLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;  // a dangling link is replaced by the file itself
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool WriteAll(int fd, const std::string& contents) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

/// A hard link to the current target, kept while later renames of a group may still fail.
struct Backup {
    std::string path;  // empty: no link could be made
    bool targetExisted = false;
};

Backup MakeBackup(const std::string& target) {
    Backup backup;
    struct stat st {};
    backup.targetExisted = ::stat(target.c_str(), &st) == 0;
    if (!backup.targetExisted) return backup;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = SiblingName(target, "old");
        if (::link(target.c_str(), name.c_str()) == 0) {
            backup.path = std::move(name);
            return backup;
        }
        if (errno != EEXIST) break;
    }
    return backup;
}

void Restore(const Backup& backup, const std::string& target) {
    if (!backup.path.empty()) {
        ::rename(backup.path.c_str(), target.c_str());
    } else if (!backup.targetExisted) {
        ::unlink(target.c_str());
    }
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)), target_(ResolveFinalLink(path_)) {}

AtomicFileWriter::~AtomicFileWriter() { DiscardTemporary(); }

void AtomicFileWriter::DiscardTemporary() {
    if (tempPath_.empty()) return;
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

void AtomicFileWriter::Prepare(const std::string& contents) {
    DiscardTemporary();
    int fd = -1;
    std::string name;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        name = SiblingName(target_, "tmp");
        // 0666 lets the umask decide the permissions, as creating the file directly would.
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) RaiseWriteError(__LINE__, path_, errno);
    tempPath_ = name;

    // A replaced file keeps its permissions.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);

    // fsync before the rename: otherwise a crash could leave the new name on an empty file.
    int error = 0;
    if (!WriteAll(fd, contents) || ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        DiscardTemporary();
        RaiseWriteError(__LINE__, path_, error);
    }
}

void AtomicFileWriter::Commit() {
    if (tempPath_.empty()) RaiseWriteError(__LINE__, path_, ENOENT);
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        DiscardTemporary();
        RaiseWriteError(__LINE__, path_, error);
    }
    tempPath_.clear();
}

void AtomicFileWriter::CommitAll(const std::vector<AtomicFileWriter*>& writers) {
    std::vector<Backup> backups;
    backups.reserve(writers.size());
    auto dropBackups = [&backups] {
        for (const Backup& backup : backups) {
            if (!backup.path.empty()) ::unlink(backup.path.c_str());
        }
    };
    for (std::size_t i = 0; i < writers.size(); ++i) {
        // The last rename cannot be followed by a failure, so it needs no way back.
        backups.push_back(i + 1 < writers.size() ? MakeBackup(writers[i]->target_) : Backup{});
        try {
            writers[i]->Commit();
        } catch (...) {
            // This target was not replaced: its link is not needed.
            if (!backups.back().path.empty()) ::unlink(backups.back().path.c_str());
            backups.back() = Backup{};
            for (std::size_t j = i; j-- > 0;) {
                Restore(backups[j], writers[j]->target_);
                backups[j].path.clear();
            }
            dropBackups();
            throw;
        }
    }
    dropBackups();
}

void WriteFileAtomically(const std::string& path, const std::string& contents) {
    AtomicFileWriter writer(path);
    writer.Prepare(contents);
    writer.Commit();
}

}  // namespace Common
