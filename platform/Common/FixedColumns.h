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

}  // namespace Common
