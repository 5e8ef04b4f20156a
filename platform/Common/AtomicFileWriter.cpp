#include "Common/AtomicFileWriter.h"

#include "Common/Exception.h"
#include "Common/StringConversion.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Common {
namespace {

constexpr const char* kSource = "AtomicFileWriter";

[[noreturn]] void RaiseWriteError(int line, const std::string& path, int error) {
    const std::string text = "Cannot write '" + path + "': " + std::system_category().message(error);
    throw FileWriteError(kSource, line, ToWString(text), error);
}

std::uint64_t RandomTag() {
    std::uint64_t value = 0;
    if (::getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value)) return value;
    // No entropy yet (early boot): unique enough with the process and a counter; O_EXCL decides.
    static std::atomic<std::uint64_t> counter{0};
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return now ^ (static_cast<std::uint64_t>(::getpid()) << 40) ^ (counter++ * 0x9E3779B97F4A7C15ull);
}

/// A fresh name in the target's folder: ".<name>.<tag>-<16 hex digits>". Hidden, so that a
/// leftover after a crash does not pass for a result; random, so that nobody can occupy it
/// in advance.
std::string SiblingName(const std::string& target, const char* tag) {
    static const char digits[] = "0123456789abcdef";
    std::uint64_t random = RandomTag();
    std::string suffix(16, '0');
    for (char& c : suffix) {
        c = digits[random & 15];
        random >>= 4;
    }
    const std::filesystem::path p(target);
    const std::string name = "." + p.filename().string() + "." + tag + "-" + suffix;
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

std::string ParentOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// /proc/<pid>/fd or /proc/<pid>/task/<tid>/fd: its entries stand for open descriptors.
bool IsDescriptorFolder(const std::string& folder) {
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (!resolved) return false;
    const std::filesystem::path p(resolved);
    std::free(resolved);
    const auto first = p.begin();
    return p.filename() == "fd" && first != p.end() && std::next(first) != p.end() && *std::next(first) == "proc";
}

/// True when path, or a link on the way to its file, names an open descriptor (/dev/stdout,
/// /dev/fd/1, /proc/self/fd/3): whatever stands behind it is the caller's stream.
bool ReachesThroughDescriptor(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {  // the kernel's own limit on links followed
        if (IsDescriptorFolder(ParentOf(current))) return true;
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return false;
        link.resize(static_cast<std::size_t>(n));
        current = link.front() == '/' ? link : (std::filesystem::path(ParentOf(current)) / link).string();
    }
    return false;
}

/// Devices, FIFOs and sockets cannot be replaced by a file without breaking the system or the
/// reader on the other end; folders still fail as before, when the rename finds them.
bool IsWrittenInPlace(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return false;
    if (!S_ISREG(st.st_mode)) return true;
    return ReachesThroughDescriptor(path);
}

bool WriteAll(int fd, const char* data, std::size_t left) {
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

bool WriteAll(int fd, const std::string& contents) { return WriteAll(fd, contents.data(), contents.size()); }

/// What a group commit needs to undo one replaced target: a hard link to the previous file,
/// or, when there was none, the new file's removal. Both are registered for interrupts too.
struct Backup {
    std::string path;  // empty: no link could be made
    bool targetExisted = false;
    InterruptGuard guard;
};

Backup MakeBackup(const std::string& target) {
    Backup backup;
    struct stat st {};
    backup.targetExisted = ::stat(target.c_str(), &st) == 0;
    if (!backup.targetExisted) {
        // Registered before the rename creates the target; removing a name not yet made is harmless.
        backup.guard = InterruptGuard(target, InterruptGuard::Action::Remove);
        return backup;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = SiblingName(target, "old");
        // MoveBack from the start: before the target is replaced both names are one file, and
        // the repair then only removes the link.
        InterruptGuard guard(name, InterruptGuard::Action::MoveBack, target);
        if (::link(target.c_str(), name.c_str()) == 0) {
            backup.path = std::move(name);
            backup.guard = std::move(guard);
            return backup;
        }
        if (errno != EEXIST) break;
    }
    return backup;
}

void Restore(Backup& backup, const std::string& target) {
    if (!backup.path.empty()) {
        ::rename(backup.path.c_str(), target.c_str());
    } else if (!backup.targetExisted) {
        ::unlink(target.c_str());
    }
    backup.guard.Release();
}

void Drop(Backup& backup) {
    if (backup.path.empty()) {
        backup.guard.Release();  // the new target stays
        return;
    }
    backup.guard.SetAction(InterruptGuard::Action::Remove);
    ::unlink(backup.path.c_str());
    backup.guard.Release();
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path)
    : path_(std::move(path)), target_(ResolveFinalLink(path_)), inPlace_(IsWrittenInPlace(path_)) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (tempFd_ >= 0) ::close(tempFd_);
    DiscardTemporary();
}

void AtomicFileWriter::DiscardTemporary() {
    if (tempPath_.empty()) return;
    ::unlink(tempPath_.c_str());
    tempGuard_.Release();
    tempPath_.clear();
}

void AtomicFileWriter::WriteInPlace(const std::string& contents) const {
    struct stat st {};
    const bool regular = ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    // No O_CREAT: the target exists, and if it went away meanwhile that is an error, not a file.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (regular ? O_TRUNC : 0));
    if (fd < 0) RaiseWriteError(__LINE__, path_, errno);
    int error = 0;
    if (!WriteAll(fd, contents)) error = errno;
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error != 0) RaiseWriteError(__LINE__, path_, error);
}

void AtomicFileWriter::Prepare(const std::string& contents) {
    if (inPlace_) {
        pendingContents_ = contents;
        pending_ = true;
        return;
    }
    Begin();
    // Written straight from the caller's text, not through the buffer.
    WriteToTemporary(contents.data(), contents.size());
    Finish();
}

namespace {
// Large enough that the writes cost little next to formatting, small next to a large file.
constexpr std::size_t kAppendBufferBytes = 1 << 20;
}  // namespace

void AtomicFileWriter::Begin() {
    if (inPlace_) {
        pendingContents_.clear();
        pending_ = false;
        return;
    }
    if (tempFd_ >= 0) ::close(tempFd_);
    tempFd_ = -1;
    buffer_.clear();
    DiscardTemporary();
    int fd = -1;
    std::string name;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        name = SiblingName(target_, "tmp");
        // Registered before the file exists, so that no moment leaves it unguarded.
        tempGuard_ = InterruptGuard(name, InterruptGuard::Action::Remove);
        // 0666 lets the umask (or the folder's default ACL) decide, as creating the file directly would.
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            tempGuard_.Release();
            errno = error;
            if (error != EEXIST) break;
        }
    }
    if (fd < 0) RaiseWriteError(__LINE__, path_, errno);
    tempPath_ = name;
    tempFd_ = fd;
    written_ = 0;

    // A replaced file keeps its permissions.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
}

void AtomicFileWriter::WriteToTemporary(const char* data, std::size_t size) {
    if (tempFd_ < 0) RaiseWriteError(__LINE__, path_, EBADF);
    if (!WriteAll(tempFd_, data, size)) {
        const int error = errno;
        ::close(tempFd_);
        tempFd_ = -1;
        buffer_.clear();
        DiscardTemporary();
        RaiseWriteError(__LINE__, path_, error);
    }
    // The disk starts on what is written while the rest is made, so that the fsync before the
    // rename waits for the last piece, not the whole file. Only a hint: a failure here is the
    // fsync's to report.
    ::sync_file_range(tempFd_, static_cast<off_t>(written_), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
    written_ += size;
}

void AtomicFileWriter::FlushBuffer() {
    WriteToTemporary(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void AtomicFileWriter::Append(const char* data, std::size_t size) {
    if (inPlace_) {
        pendingContents_.append(data, size);
        return;
    }
    if (buffer_.empty() && size >= kAppendBufferBytes) {
        // A piece as large as the buffer goes to the file as it is, without a copy.
        WriteToTemporary(data, size);
        return;
    }
    if (buffer_.capacity() < kAppendBufferBytes) buffer_.reserve(kAppendBufferBytes);
    buffer_.append(data, size);
    if (buffer_.size() >= kAppendBufferBytes) FlushBuffer();
}

void AtomicFileWriter::Finish() {
    if (inPlace_) {
        pending_ = true;
        return;
    }
    if (!buffer_.empty()) FlushBuffer();
    std::string().swap(buffer_);
    if (tempFd_ < 0) RaiseWriteError(__LINE__, path_, EBADF);
    // fsync before the rename: otherwise a crash could leave the new name on an empty file.
    int error = 0;
    if (::fsync(tempFd_) != 0) error = errno;
    if (::close(tempFd_) != 0 && error == 0) error = errno;
    tempFd_ = -1;
    if (error != 0) {
        DiscardTemporary();
        RaiseWriteError(__LINE__, path_, error);
    }
}

void AtomicFileWriter::Commit() {
    if (inPlace_) {
        if (!pending_) RaiseWriteError(__LINE__, path_, ENOENT);
        pending_ = false;
        const std::string contents = std::move(pendingContents_);
        pendingContents_.clear();
        WriteInPlace(contents);
        return;
    }
    // Begun and not finished is not prepared.
    if (tempPath_.empty() || tempFd_ >= 0) RaiseWriteError(__LINE__, path_, ENOENT);
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        DiscardTemporary();
        RaiseWriteError(__LINE__, path_, error);
    }
    tempGuard_.Release();
    tempPath_.clear();
}

void AtomicFileWriter::CommitAll(const std::vector<AtomicFileWriter*>& writers) {
    // Renames can be undone and device writes cannot: every rename first, the writes last.
    std::vector<AtomicFileWriter*> order;
    for (AtomicFileWriter* writer : writers) {
        if (!writer->inPlace_) order.push_back(writer);
    }
    for (AtomicFileWriter* writer : writers) {
        if (writer->inPlace_) order.push_back(writer);
    }
    std::vector<Backup> backups;
    backups.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        AtomicFileWriter& writer = *order[i];
        // The last step cannot be followed by a failure, so it needs no way back.
        const bool undoable = !writer.inPlace_ && i + 1 < order.size();
        backups.push_back(undoable ? MakeBackup(writer.target_) : Backup{});
        try {
            writer.Commit();
        } catch (...) {
            // This target was not replaced: its own way back is not needed.
            Backup& own = backups.back();
            if (!own.path.empty()) ::unlink(own.path.c_str());
            own.guard.Release();
            for (std::size_t j = i; j-- > 0;) {
                if (!order[j]->inPlace_) Restore(backups[j], order[j]->target_);
            }
            throw;
        }
    }
    for (Backup& backup : backups) Drop(backup);
}

void WriteFileAtomically(const std::string& path, const std::string& contents) {
    AtomicFileWriter writer(path);
    if (writer.inPlace_) {
        writer.WriteInPlace(contents);
        return;
    }
    writer.Prepare(contents);
    writer.Commit();
}

}  // namespace Common
