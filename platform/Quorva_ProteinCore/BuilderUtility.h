// Structural questions about polymers that the host's builder answers.
#pragma once

#include "HostApi.h"

namespace HostModel {
class SubUnit;
}

namespace Quorva_ProteinCore {

class HOST_API BuilderUtility {
public:
    /// True for an amino acid that nothing precedes through an amide bond: its backbone N is
    /// not bonded to the carbonyl "C" of another residue (the previous amino acid, or an acyl
    /// cap such as ACE). Chain breaks start a new terminus; a head-to-tail cyclic peptide and a
    /// capped chain have none. False for anything but an amino acid.
    static bool IsNTerminus(const HostModel::SubUnit* subUnit);
};

}  // namespace Quorva_ProteinCore
