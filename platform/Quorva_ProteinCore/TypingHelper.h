// The host's force-field typing as other modules see it.
#pragma once

#include "HostApi.h"
#include "HostModel/Object.h"

namespace HostModel {
class Atom;
class ChemDoc;
}  // namespace HostModel

namespace Quorva_ProteinCore {

class HOST_API TypingHelper {
public:
    /// A document is typed when it carries a force-field name and it has atoms; with
    /// requireCharges, every atom must also carry a force-field partial charge.
    static bool IsTyped(const HostModel::ChemDoc& doc, bool requireCharges);
    /// The force-field name the document was typed with ("AMBER", "PARSE", ...); empty if untyped.
    static HostModel::CStringT GetForcefieldBaseName(const HostModel::ChemDoc& doc);
    /// The atom's force-field partial charge in e; 0 when it has none.
    static float GetAtomCharge(const HostModel::Atom& atom);
};

}  // namespace Quorva_ProteinCore
