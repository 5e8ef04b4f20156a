// Appending padded fields to a text, as printf's "%-Ns", "%Ns" and "%N.Df" write them, without
// printf's per-call cost: fixed-column writers emit millions of such fields.
#pragma once

#include "HostApi.h"

#include <cstddef>
#include <string>

namespace Common {

/// text, then blanks up to width ("%-<width>s"); a longer text is written whole.
HOST_API void AppendLeft(std::string& out, const std::string& text, std::size_t width);
/// Blanks up to width, then text ("%<width>s"); a longer text is written whole.
HOST_API void AppendRight(std::string& out, const std::string& text, std::size_t width);
/// Fixed point with decimals digits, right-aligned in width ("%<width>.<decimals>f"): correctly
/// rounded, so the bytes are printf's; "inf" and "nan" as printf writes them.
HOST_API void AppendFixed(std::string& out, double value, int width, int decimals);

/// The most characters WriteFixed writes for a width up to 64: the longest double in fixed
/// notation has 309 integer digits, a sign, a point and the decimals (at most 16 here).
constexpr std::size_t kFixedFieldRoom = 330;

/// AppendFixed into raw memory with room for max(width, kFixedFieldRoom) characters; returns the
/// end of what was written. For writers that put a whole record together before appending it.
HOST_API char* WriteFixed(char* out, double value, int width, int decimals);
/// An unsigned integer right-aligned in width ("%<width>zu") into raw memory with room for
/// max(width, 20) characters; returns the end.
HOST_API char* WriteUnsignedRight(char* out, std::size_t value, int width);

}  // namespace Common
