// Residues: finding an atom by its name.
#include "HostModel/Residue.h"

#include "HostModel/Atom.h"

namespace HostModel {

Atom* Residue::FindAtom(std::string_view name) const {
    for (std::size_t i = 0; i < GetNumChildren(); ++i) {
        Object* child = GetChild(i);
        if (child->IsA(Atom::classType) && child->GetLabel() == name) return static_cast<Atom*>(child);
    }
    return nullptr;
}

}  // namespace HostModel
