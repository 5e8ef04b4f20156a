// Reads a PQR file straight into the host tree: the records of one model (PqrParser.h) become
// residues and atoms, carrying the file's charges; the radii are handed back beside them.
// A chain is what runs under one chain id up to a TER or another chain id; a residue what runs
// under one number, insertion code (either case) and name. PQR has no alternative locations.
#pragma once

#include "io/HostTreeBuilder.h"
#include "io/PqrParser.h"
#include "io/StructureReader.h"

#include <string>
#include <vector>

namespace HostIO {

struct PqrModelRead {
    ModelRead model;
    std::vector<AtomRadius> radii;  // in atom order
    double totalCharge = 0;         // e, the sum of the atoms' charges
    PqrRemarks remarks;
};

/// Reads the model numbered modelNumber (0: the first) of the PQR text into a molecule labelled
/// label, each atom with its partial charge. Throws ReadError naming name, and the line for a
/// record that cannot be read.
PqrModelRead ReadPqrModel(const std::string& text, const std::string& name, int modelNumber, const std::string& label);

}  // namespace HostIO
