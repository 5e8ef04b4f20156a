// The visible molecules of a document, in tree order, for the host's own commands.
#pragma once

#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"

#include <vector>

namespace HostModel_Commands {

inline std::vector<HostModel::Molecule*> VisibleMoleculeList(const HostModel::ChemDoc& doc) {
    std::vector<HostModel::Molecule*> molecules;
    if (!doc.GetTreeRoot()) return molecules;
    // Molecules do not nest; the walk stops at each one.
    HostModel::DescendentIterator it(doc.GetTreeRoot(), HostModel::Molecule::classType, true);
    while (HostModel::Object* object = it.GetNext())
        if (object->IsVisible()) molecules.push_back(static_cast<HostModel::Molecule*>(object));
    return molecules;
}

}  // namespace HostModel_Commands
