// A regular file's bytes mapped read-only where the system keeps them cached: reading a large
// structure file this way costs a few milliseconds, where copying it into fresh memory costs
// tens (each page first touched is cleared by the kernel, then written again).
//
// A mapped file that another program shortens while it is read would end this one with SIGBUS
// at the first byte past its new end. A handler of that signal, for the pages of live mappings
// only, puts a page of zeros in place of the lost one and marks the mapping damaged, so that
// the reader sees NUL bytes and its caller an error; other faults get their usual outcome.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace HostIO {

class MappedFile {
public:
    /// Maps the file at path. Text() is empty when it cannot be mapped or is not worth it: not a
    /// regular file, empty, larger than largest bytes (0: no bound; the caller's own check then
    /// refuses it without the whole file read from disk first), or its size a whole number of
    /// pages (a mapping ends with the file there, so no byte past its end may be read); the
    /// caller then reads it as before.
    explicit MappedFile(const std::string& path, std::uint64_t largest = 0);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view Text() const { return {static_cast<const char*>(data_), size_}; }
    /// Undoes the mapping; Text() is empty from then on.
    void Release();
    /// Whether a page vanished while mapped (the file was shortened meanwhile): what was read
    /// of it is not the file. Kept after Release.
    bool Damaged() const;

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
    int slot_ = -1;  // in the table the bus-error handler looks at
    bool damaged_ = false;
};

}  // namespace HostIO
