// Reads an mmCIF file's text into gemmi's Structure without building gemmi's whole cif::Document:
// gemmi's own grammar runs with actions that keep every item but the coordinates, and the rows
// of the _atom_site table go into the structure as they are parsed. The structure is the one
// gemmi::make_structure makes from the full document, in every part the reader takes from it
// (models, chains, residues, atoms, entities and their types, the _entry.id item).
#pragma once

#include "HostApi.h"

#include <gemmi/model.hpp>

#include <string>

namespace HostIO {

/// The mmCIF text as a structure, entity types set (gemmi's guess where the file names none).
/// Streams the _atom_site table; a file that the streaming path does not read (a syntax or
/// content error, atoms given as single items) is read again through gemmi's document, so that
/// results and messages are always gemmi's. VOLTRA_MMCIF_STREAMING=0 reads every file through
/// the document. Throws ReadError naming name (and line, column).
HOST_API gemmi::Structure ReadMmcifStructure(const std::string& text, const std::string& name);

/// The streaming path alone, without the second attempt: throws ReadError for syntax errors
/// (the same message and place as gemmi's), and for content errors a ReadError without line.
HOST_API gemmi::Structure ReadMmcifStreaming(const std::string& text, const std::string& name);

/// gemmi's own path (the whole cif::Document, then make_structure), kept as the reference.
HOST_API gemmi::Structure ReadMmcifThroughDocument(const std::string& text, const std::string& name);

}  // namespace HostIO
