// A regular file's bytes mapped read-only where the system keeps them cached: reading a large
// structure file this way costs a few milliseconds, where copying it into fresh memory costs
// tens (each page first touched is cleared by the kernel, then written again).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace HostIO {

class MappedFile {
public:
    /// Maps the file at path. Text() is empty when it cannot be mapped or is not worth it: not a
    /// regular file, empty, or its size a whole number of pages (a mapping ends with the file
    /// there, so no byte past its end may be read); the caller then reads it as before.
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view Text() const { return {static_cast<const char*>(data_), size_}; }
    /// Undoes the mapping; Text() is empty from then on.
    void Release();

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace HostIO
