#include "io/InputBytes.h"

#include "io/ReadError.h"

#include <sys/stat.h>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace HostIO {

const char* const kStandardInputName = "<stdin>";

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string ReadAll(std::FILE* f, const std::string& displayName) {
    std::string bytes;
    // A regular file's size is known: one allocation instead of a doubling string's copies.
    struct stat info {};
    if (::fstat(::fileno(f), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(info.st_size) + 1);
    }
    char buffer[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
        bytes.append(buffer, n);
        if (n < sizeof buffer) break;
    }
    if (std::ferror(f)) throw ReadError(displayName, std::string("cannot read: ") + std::strerror(errno));
    return bytes;
}

std::string FormatHex(unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 15];
}

}  // namespace

InputBytes InflateIfCompressed(std::string bytes, const std::string& displayName) {
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0x1f ||
        static_cast<unsigned char>(bytes[1]) != 0x8b) {
        return {std::move(bytes), false};
    }
    z_stream stream{};
    // 16 + MAX_WBITS: a gzip wrapper, not raw zlib.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw ReadError(displayName, "cannot start gzip decompression");
    std::string text;
    text.resize(bytes.size() * 4 + 4096);
    stream.next_in = reinterpret_cast<Bytef*>(bytes.data());
    std::size_t consumed = 0;
    std::size_t produced = 0;
    int status = Z_OK;
    for (;;) {
        if (produced == text.size()) text.resize(text.size() * 2);
        // zlib counts in uInt; feed it at most 1 GiB at a time.
        const std::size_t inChunk = std::min<std::size_t>(bytes.size() - consumed, 1u << 30);
        const std::size_t outChunk = std::min<std::size_t>(text.size() - produced, 1u << 30);
        stream.next_in = reinterpret_cast<Bytef*>(bytes.data() + consumed);
        stream.avail_in = static_cast<uInt>(inChunk);
        stream.next_out = reinterpret_cast<Bytef*>(text.data() + produced);
        stream.avail_out = static_cast<uInt>(outChunk);
        status = inflate(&stream, Z_NO_FLUSH);
        consumed += inChunk - stream.avail_in;
        produced += outChunk - stream.avail_out;
        if (status == Z_STREAM_END) {
            // Concatenated gzip members (as `cat a.gz b.gz` makes) form one stream.
            if (consumed < bytes.size() && static_cast<unsigned char>(bytes[consumed]) == 0x1f) {
                inflateReset(&stream);
                continue;
            }
            break;
        }
        if (status == Z_BUF_ERROR && consumed == bytes.size()) break;  // input ends mid-stream
        if (status != Z_OK && status != Z_BUF_ERROR) break;
    }
    const std::string zlibMessage = stream.msg ? stream.msg : "";
    inflateEnd(&stream);
    if (status != Z_STREAM_END) {
        if (status == Z_BUF_ERROR || status == Z_OK) {
            throw ReadError(displayName, "truncated gzip data: the compressed stream ends early");
        }
        throw ReadError(displayName,
                        "corrupt gzip data" + (zlibMessage.empty() ? std::string() : " (" + zlibMessage + ")"));
    }
    text.resize(produced);
    return {std::move(text), true};
}

InputBytes ReadInputBytes(const std::string& path) {
    if (path == "-") return InflateIfCompressed(ReadAll(stdin, kStandardInputName), kStandardInputName);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw ReadError(path, std::string("cannot open: ") + std::strerror(errno));
    return InflateIfCompressed(ReadAll(file.get(), path), path);
}

void CheckStructureText(const std::string& text, const std::string& displayName) {
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
