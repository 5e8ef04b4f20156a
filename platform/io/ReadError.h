// The error of a structure file that cannot be read: where (file, line, column) and what.
#pragma once

#include "HostApi.h"

#include <stdexcept>
#include <string>

namespace HostIO {

/// what() reads "<file>:<line>:<column>: <detail>", leaving out the column, or line and column,
/// where they do not apply ("1abc.pdb:1042: ...", "x.cif:7:12: ...", "missing.pdb: ...").
class HOST_API ReadError : public std::runtime_error {
public:
    /// line and column are 1-based; 0 when unknown.
    ReadError(const std::string& file, int line, int column, const std::string& detail);
    ReadError(const std::string& file, int line, const std::string& detail) : ReadError(file, line, 0, detail) {}
    ReadError(const std::string& file, const std::string& detail) : ReadError(file, 0, 0, detail) {}

    const std::string& GetFile() const noexcept { return file_; }
    int GetLine() const noexcept { return line_; }
    int GetColumn() const noexcept { return column_; }
    const std::string& GetDetail() const noexcept { return detail_; }

private:
    std::string file_;
    std::string detail_;
    int line_;
    int column_;
};

/// A library's message as the detail of ours: the first letter in lower case, unless it starts
/// an acronym ("Unexpected end" -> "unexpected end", "PDB ..." stays).
std::string LowerFirst(std::string text);

}  // namespace HostIO
