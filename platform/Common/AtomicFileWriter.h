// Replaces output files whole: new contents go to a temporary file beside the target, which is
// renamed over the target only once it is complete and on disk. Targets that are not regular
// files (devices, FIFOs, sockets, /dev/stdout) are written in place instead. POSIX calls.
#pragma once

#include "Common/Exception.h"
#include "Common/InterruptCleanup.h"
#include "HostApi.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Common {

/// A file could not be written: the file system's failure, not the caller's. Callers that sort
/// failures (a program's exit status) tell it by its type.
class HOST_API FileWriteError : public Exception {
public:
    using Exception::Exception;
};

/// One output file to replace. Readers of the target see the old file or the complete new one,
/// never a truncated one; a writer destroyed before Commit removes its temporary file and leaves
/// the target as it was. A target that is a symbolic link keeps the link: the file it points at
/// is replaced. Temporary files are created exclusively under fresh random names, with the
/// permissions creating the file directly would give (the replaced file's own, if it exists),
/// and are registered with InterruptGuard so that an interrupted run leaves none behind.
///
/// A target that exists and is not a regular file or folder (a character or block device, a
/// FIFO, a socket, or any file reached through /proc/<pid>/fd such as /dev/stdout) is opened
/// and written in place at Commit: no temporary, no rename, no backup; a regular file reached
/// that way is truncated first, as a shell redirection does.
///
/// Failures throw Common::FileWriteError with the text "Cannot write '<path>': <reason>", source
/// "AtomicFileWriter" and the errno value as code.
class HOST_API AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// Writes contents to a new temporary file in the target's folder and flushes it to disk,
    /// replacing whatever an earlier Prepare wrote (an in-place target keeps a copy for Commit).
    /// Throws when the folder is missing or not writable, or the write fails.
    void Prepare(const std::string& contents);
    /// Prepare in pieces, for texts too large to hold whole: Begin opens the temporary file
    /// (dropping an earlier one), Append adds to it through a buffer, Finish flushes it to disk;
    /// then the file is prepared as by Prepare. Each throws as Prepare does; after a failure
    /// nothing is prepared.
    void Begin();
    void Append(const char* data, std::size_t size);
    void Append(const std::string& text) { Append(text.data(), text.size()); }
    void Finish();
    /// Renames the prepared file over the target, or writes an in-place target. Throws when
    /// nothing is prepared or the rename or write fails (a renamed target is then unchanged).
    void Commit();
    /// Commits the writers all or none: regular files are renamed first, in order, and in-place
    /// targets written last; when a step fails, the targets replaced before it get their
    /// previous files back (removed again if they did not exist), then the failure is thrown.
    /// Restoring relies on hard links; on a file system without them the replaced targets
    /// keep their new contents. What an in-place target received cannot be taken back.
    static void CommitAll(const std::vector<AtomicFileWriter*>& writers);

    const std::string& GetPath() const { return path_; }
    /// True when the target is written in place rather than replaced.
    bool WritesInPlace() const { return inPlace_; }

private:
    friend void WriteFileAtomically(const std::string& path, const std::string& contents);

    void DiscardTemporary();
    void WriteToTemporary(const char* data, std::size_t size);
    void FlushBuffer();
    void WriteInPlace(const std::string& contents) const;

    std::string path_;      // the target as the caller named it (used in messages)
    std::string target_;    // the file actually replaced: path_ with a final symbolic link resolved
    bool inPlace_ = false;  // a device, FIFO, socket or descriptor link: written, never replaced
    std::string tempPath_;  // the prepared temporary file; empty when none
    InterruptGuard tempGuard_;
    bool pending_ = false;  // an in-place target has contents waiting for Commit
    std::string pendingContents_;
    int tempFd_ = -1;     // the temporary file between Begin and Finish
    std::uint64_t written_ = 0;  // bytes written to it
    std::string buffer_;  // what Append has not written yet
};

/// Prepare and Commit of one file (an in-place target is written without a copy).
HOST_API void WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace Common
