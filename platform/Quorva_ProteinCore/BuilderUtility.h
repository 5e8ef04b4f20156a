// Structural questions about polymers that the host's builder answers.
#pragma once

#include "HostApi.h"

namespace HostModel {
class SubUnit;
}

namespace Quorva_ProteinCore {

class HOST_API BuilderUtility {
public:
    /// True for an amino acid that no other amino acid precedes through a peptide bond (its
    /// backbone N bonded to another amino acid's backbone C). Chain breaks start a new
    /// terminus; a head-to-tail cyclic peptide has none. False for anything but an amino acid.
    static bool IsNTerminus(const HostModel::SubUnit* subUnit);
};

}  // namespace Quorva_ProteinCore
