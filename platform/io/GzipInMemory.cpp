#include "io/GzipInMemory.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace HostIO {
namespace {

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// A gzip trailer ends with the size of its member's data modulo 2^32: for the usual single
// member, the exact size of the text, so that it is allocated (and its pages touched) once.
std::uint64_t LastMemberSize(const char* data, std::size_t size) {
    if (size < 4) return 0;
    const auto* end = reinterpret_cast<const unsigned char*>(data + size - 4);
    return std::uint64_t{end[0]} | std::uint64_t{end[1]} << 8 | std::uint64_t{end[2]} << 16 |
           std::uint64_t{end[3]} << 24;
}

constexpr std::uint64_t kSmallest = 1 << 16;

}  // namespace

GzipInflation InflateGzipInMemory(const char* data, std::size_t size, std::uint64_t limit, std::string& text) {
    std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(libdeflate_alloc_decompressor());
    if (!decompressor) throw std::bad_alloc();
    // Room for one byte past the limit tells a text at the limit from one beyond it.
    const std::uint64_t cap = limit == 0 ? UINT64_MAX : limit + 1;
    text.resize(static_cast<std::size_t>(std::min(cap, std::max(LastMemberSize(data, size), kSmallest))));
    std::size_t produced = 0;
    std::size_t consumed = 0;
    while (consumed < size) {
        std::size_t memberIn = 0;
        std::size_t memberOut = 0;
        const libdeflate_result result =
            libdeflate_gzip_decompress_ex(decompressor.get(), data + consumed, size - consumed, text.data() + produced,
                                          text.size() - produced, &memberIn, &memberOut);
        if (result == LIBDEFLATE_INSUFFICIENT_SPACE) {
            // The member is inflated again from its start into a larger text.
            if (text.size() >= cap) return GzipInflation::TooLarge;
            text.resize(static_cast<std::size_t>(std::min<std::uint64_t>(cap, 2 * std::uint64_t{text.size()})));
            continue;
        }
        if (result != LIBDEFLATE_SUCCESS) return GzipInflation::Refused;
        produced += memberOut;
        consumed += memberIn;
        // As gzip does: another member follows only where its first magic byte does.
        // A full text grows when the next member asks for room.
        if (consumed >= size || static_cast<unsigned char>(data[consumed]) != 0x1f) break;
    }
    if (limit != 0 && produced > limit) return GzipInflation::TooLarge;
    text.resize(produced);
    return GzipInflation::Inflated;
}

}  // namespace HostIO
