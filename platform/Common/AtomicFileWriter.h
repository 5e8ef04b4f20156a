// Replaces output files whole: new contents go to a temporary file beside the target, which is
// renamed over the target only once it is complete and on disk. POSIX file system calls.
#pragma once

#include "HostApi.h"

#include <string>
#include <vector>

namespace Common {

/// One output file to replace. Readers of the target see the old file or the complete new one,
/// never a truncated one; a writer destroyed before Commit removes its temporary file and leaves
/// the target as it was. A target that is a symbolic link keeps the link: the file it points at
/// is replaced. Failures throw Common::Exception with the text
/// "Cannot write '<path>': <reason>", source "AtomicFileWriter" and the errno value as code.
class HOST_API AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// Writes contents to a new temporary file in the target's folder and flushes it to disk,
    /// replacing whatever an earlier Prepare wrote. Throws when the folder is missing or not
    /// writable, or the write fails.
    void Prepare(const std::string& contents);
    /// Renames the prepared file over the target. Throws when nothing is prepared or the
    /// rename fails (the target is then unchanged).
    void Commit();
    /// Commits the writers in order, all or none: when one rename fails, the targets replaced
    /// before it get their previous files back (removed again if they did not exist), then the
    /// failure is thrown. Restoring relies on hard links; on a file system without them the
    /// earlier targets keep their new contents.
    static void CommitAll(const std::vector<AtomicFileWriter*>& writers);

    const std::string& GetPath() const { return path_; }

private:
    void DiscardTemporary();

    std::string path_;      // the target as the caller named it (used in messages)
    std::string target_;    // the file actually replaced: path_ with a final symbolic link resolved
    std::string tempPath_;  // the prepared temporary file; empty when none
};

/// Prepare and Commit of one file.
HOST_API void WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace Common
