// The structure file formats the reader understands, their names, and how a file's format is told.
#pragma once

#include "HostApi.h"

#include <optional>
#include <string>
#include <string_view>

namespace HostIO {

enum class StructureFormat { Detect, Pdb, Mmcif, Pqr };

/// "PDB", "mmCIF", "PQR"; "detect" for Detect.
HOST_API const char* StructureFormatName(StructureFormat format);

/// The format a user names: "pdb" or "ent", "cif" or "mmcif", "pqr", ignoring case; empty otherwise.
HOST_API std::optional<StructureFormat> ParseStructureFormat(std::string_view name);

/// The name an input gives its outputs and, without an entry id, its molecule: the file name
/// without its folder, then without ".gz" and one structure extension (those ParseStructureFormat
/// knows, any case): "1abc.cif.gz" -> "1abc". Other extensions stay ("run.1", "x.txt"), so that
/// distinct inputs keep distinct names; a name that is only an extension stays whole. "stdin"
/// for standard input ("-" or kStandardInputName).
HOST_API std::string StructureFileStem(std::string_view fileName);

/// Tells the format of a file's (uncompressed) text. A text starting with a "data_" block is
/// mmCIF whatever its name. Otherwise the extension decides (".pdb", ".ent", ".cif", ".mmcif",
/// ".pqr", each optionally followed by ".gz"); without one of those, the first ATOM or HETATM
/// record does: PDB writes occupancy and B-factor with two decimals or ends the record with
/// an element symbol, PQR ends it with charge and radius written with more decimals. A REMARK
/// that mentions PQR also marks PQR.
HOST_API StructureFormat DetectStructureFormat(std::string_view text, std::string_view fileName);

}  // namespace HostIO
