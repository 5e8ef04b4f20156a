#include "io/InputBytes.h"

#include "io/GzipInMemory.h"
#include "io/ReadError.h"

#include <sys/stat.h>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace HostIO {

const char* const kStandardInputName = "<stdin>";

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct Limit {
    std::uint64_t bytes = kDefaultInputSizeLimit;
    std::string hint;
};

Limit& CurrentLimit() {
    static Limit limit;
    return limit;
}

[[noreturn]] void RaiseTooLarge(const std::string& displayName, const char* what) {
    const Limit& limit = CurrentLimit();
    throw ReadError(displayName, std::string(what) + " " + std::to_string(limit.bytes) + " bytes" +
                                     (limit.hint.empty() ? std::string() : " (" + limit.hint + ")"));
}

bool OverLimit(std::uint64_t size) {
    const std::uint64_t limit = CurrentLimit().bytes;
    return limit != 0 && size > limit;
}

/// Bytes to inflate or keep, from a stream or from memory, in chunks.
class ByteSource {
public:
    ByteSource(std::FILE* file, std::string displayName) : file_(file), name_(std::move(displayName)) {}
    ByteSource(const std::string& bytes, std::string displayName) : memory_(&bytes), name_(std::move(displayName)) {}

    /// Up to size bytes into buffer; 0 at the end. Throws ReadError when the read fails.
    std::size_t Read(char* buffer, std::size_t size) {
        if (memory_) {
            const std::size_t n = std::min(size, memory_->size() - offset_);
            std::memcpy(buffer, memory_->data() + offset_, n);
            offset_ += n;
            return n;
        }
        const std::size_t n = std::fread(buffer, 1, size, file_);
        if (n < size && std::ferror(file_)) {
            throw ReadError(name_, std::string("cannot read: ") + std::strerror(errno));
        }
        return n;
    }
    const std::string& Name() const { return name_; }

private:
    std::FILE* file_ = nullptr;
    const std::string* memory_ = nullptr;
    std::size_t offset_ = 0;
    std::string name_;
};

/// Collects the text in blocks of 64 MiB, above glibc's largest mmap threshold, so that every
/// block is a mapping of its own, returned to the system when freed: joining them at the end
/// needs the text once plus one block, not twice the text as a doubling string's last copy does.
class TextBuilder {
public:
    static constexpr std::size_t kBlock = std::size_t{64} << 20;

    void Append(const char* data, std::size_t size) {
        while (size > 0) {
            if (blocks_.empty() || blocks_.back().size() == kBlock) {
                blocks_.emplace_back();
                // Later blocks are known to fill; the first grows with the text.
                if (blocks_.size() > 1) blocks_.back().reserve(kBlock);
            }
            std::string& block = blocks_.back();
            const std::size_t n = std::min(size, kBlock - block.size());
            block.append(data, n);
            data += n;
            size -= n;
        }
    }
    std::string Finish() {
        if (blocks_.empty()) return {};
        if (blocks_.size() == 1) return std::move(blocks_.front());
        std::size_t total = 0;
        for (const auto& block : blocks_) total += block.size();
        std::string text;
        text.reserve(total);
        for (auto& block : blocks_) {
            text += block;
            std::string().swap(block);
        }
        return text;
    }

private:
    std::vector<std::string> blocks_;
};

constexpr std::size_t kChunk = 1 << 16;

bool HasGzipMagic(const char* data, std::size_t size) {
    return size >= 2 && static_cast<unsigned char>(data[0]) == 0x1f && static_cast<unsigned char>(data[1]) == 0x8b;
}

/// A regular file of known size is read straight into its final place: one allocation, no
/// copy through a chunk buffer. Pages are touched once; on these machines a fresh page costs
/// more than copying it. A file that grew since its size was taken is read on to its end.
std::string ReadKnownSize(ByteSource& source, const char* head, std::size_t size, std::uint64_t fileSize) {
    std::string text;
    text.resize(std::max<std::size_t>(static_cast<std::size_t>(fileSize), size));
    std::memcpy(text.data(), head, size);
    std::size_t filled = size;
    while (filled < text.size()) {
        const std::size_t n = source.Read(text.data() + filled, text.size() - filled);
        if (n == 0) break;
        filled += n;
    }
    text.resize(filled);
    if (filled < fileSize) return text;  // it shrank meanwhile: what was there is the text
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        const std::size_t n = source.Read(buffer.get(), kChunk);
        if (n == 0) break;
        if (OverLimit(text.size() + n)) RaiseTooLarge(source.Name(), "larger than");
        text.append(buffer.get(), n);
    }
    return text;
}

/// The plain bytes of source after the first `size` already read into `head`.
std::string ReadPlain(ByteSource& source, const char* head, std::size_t size, std::uint64_t sizeHint) {
    if (OverLimit(sizeHint)) RaiseTooLarge(source.Name(), "larger than");
    if (sizeHint > 0) return ReadKnownSize(source, head, size, sizeHint);
    TextBuilder text;
    std::uint64_t total = size;
    text.Append(head, size);
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        const std::size_t n = source.Read(buffer.get(), kChunk);
        if (n == 0) break;
        total += n;
        if (OverLimit(total)) RaiseTooLarge(source.Name(), "larger than");
        text.Append(buffer.get(), n);
    }
    return text.Finish();
}

/// Inflates the gzip stream of source, whose first `size` bytes are already in `head`.
/// Concatenated gzip members (as `cat a.gz b.gz` makes) form one text.
std::string Inflate(ByteSource& source, const char* head, std::size_t size) {
    const std::string& name = source.Name();
    z_stream stream{};
    // 16 + MAX_WBITS: a gzip wrapper, not raw zlib.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw ReadError(name, "cannot start gzip decompression");
    struct StreamEnd {
        z_stream* stream;
        ~StreamEnd() { inflateEnd(stream); }
    } end{&stream};

    std::unique_ptr<char[]> in(new char[kChunk]);
    std::unique_ptr<char[]> out(new char[4 * kChunk]);
    std::memcpy(in.get(), head, size);
    stream.next_in = reinterpret_cast<Bytef*>(in.get());
    stream.avail_in = static_cast<uInt>(size);
    bool inputEnded = false;
    TextBuilder text;
    std::uint64_t total = 0;
    auto refill = [&] {
        if (stream.avail_in > 0 || inputEnded) return;
        const std::size_t n = source.Read(in.get(), kChunk);
        inputEnded = n == 0;
        stream.next_in = reinterpret_cast<Bytef*>(in.get());
        stream.avail_in = static_cast<uInt>(n);
    };
    for (;;) {
        refill();
        stream.next_out = reinterpret_cast<Bytef*>(out.get());
        stream.avail_out = static_cast<uInt>(4 * kChunk);
        const int status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = 4 * kChunk - stream.avail_out;
        total += produced;
        if (OverLimit(total)) RaiseTooLarge(name, "expands past");
        text.Append(out.get(), produced);
        if (status == Z_STREAM_END) {
            refill();
            if (stream.avail_in > 0 && *stream.next_in == 0x1f) {
                inflateReset(&stream);
                continue;
            }
            break;  // bytes after the last member that start no other one are ignored, as gzip does
        }
        if (status == Z_BUF_ERROR || (status == Z_OK && produced == 0)) {
            if (inputEnded && stream.avail_in == 0) {
                throw ReadError(name, "truncated gzip data: the compressed stream ends early");
            }
            if (status == Z_BUF_ERROR && stream.avail_in > 0) {
                throw ReadError(name, "corrupt gzip data");
            }
            continue;
        }
        if (status != Z_OK) {
            throw ReadError(name,
                            "corrupt gzip data" + (stream.msg ? " (" + std::string(stream.msg) + ")" : std::string()));
        }
    }
    return text.Finish();
}

/// gzip data whole in memory: libdeflate where it takes the data, zlib's stream otherwise, so
/// that damaged data is always described by the one inflater.
std::string InflateWhole(const std::string& packed, const std::string& name) {
    std::string text;
    switch (InflateGzipInMemory(packed.data(), packed.size(), CurrentLimit().bytes, text)) {
        case GzipInflation::Inflated: return text;
        case GzipInflation::TooLarge: RaiseTooLarge(name, "expands past");
        case GzipInflation::Refused: break;
    }
    std::string().swap(text);
    ByteSource source(packed, name);
    return Inflate(source, packed.data(), 0);
}

InputBytes ReadSource(ByteSource& source, std::uint64_t sizeHint) {
    char head[2];
    std::size_t size = 0;
    while (size < sizeof head) {
        const std::size_t n = source.Read(head + size, sizeof head - size);
        if (n == 0) break;
        size += n;
    }
    if (HasGzipMagic(head, size)) {
        // A regular file within the limit is read whole first: its text is then inflated in one go.
        if (sizeHint > 0 && !OverLimit(sizeHint))
            return {InflateWhole(ReadKnownSize(source, head, size, sizeHint), source.Name()), true};
        return {Inflate(source, head, size), true};
    }
    return {ReadPlain(source, head, size, sizeHint), false};
}

std::uint64_t RegularFileSize(std::FILE* f) {
    struct stat info {};
    if (::fstat(::fileno(f), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        return static_cast<std::uint64_t>(info.st_size);
    }
    return 0;
}

std::string FormatHex(unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 15];
}

}  // namespace

void SetInputSizeLimit(std::uint64_t bytes, const std::string& hint) {
    CurrentLimit().bytes = bytes;
    CurrentLimit().hint = hint;
}

std::uint64_t GetInputSizeLimit() { return CurrentLimit().bytes; }

InputBytes InflateIfCompressed(std::string bytes, const std::string& displayName) {
    if (!HasGzipMagic(bytes.data(), bytes.size())) {
        if (OverLimit(bytes.size())) RaiseTooLarge(displayName, "larger than");
        return {std::move(bytes), false};
    }
    return {InflateWhole(bytes, displayName), true};
}

InputBytes ReadInputBytes(const std::string& path) {
    if (path == "-") {
        ByteSource source(stdin, kStandardInputName);
        return ReadSource(source, RegularFileSize(stdin));
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw ReadError(path, std::string("cannot open: ") + std::strerror(errno));
    ByteSource source(file.get(), path);
    return ReadSource(source, RegularFileSize(file.get()));
}

void CheckStructureText(std::string_view text, const std::string& displayName) {
    std::size_t firstVisible = text.find_first_not_of(" \t\r\n\f\v");
    if (text.empty()) throw ReadError(displayName, "the file is empty");
    if (firstVisible == std::string::npos) throw ReadError(displayName, "the file holds only white space");
    const std::size_t probe = std::min<std::size_t>(text.size(), 1u << 16);
    std::size_t controls = 0;
    std::size_t firstControl = std::string::npos;
    for (std::size_t i = 0; i < probe; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0) {
            throw ReadError(displayName, "binary data, not a structure file (byte " + FormatHex(c) + " at offset " +
                                             std::to_string(i) + ")");
        }
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') {
            if (firstControl == std::string::npos) firstControl = i;
            ++controls;
        }
    }
    // A few stray control characters occur in real files; binary data is full of them.
    if (controls * 100 > probe) {
        throw ReadError(displayName, "binary data, not a structure file (byte " +
                                         FormatHex(static_cast<unsigned char>(text[firstControl])) + " at offset " +
                                         std::to_string(firstControl) + ")");
    }
}

}  // namespace HostIO
