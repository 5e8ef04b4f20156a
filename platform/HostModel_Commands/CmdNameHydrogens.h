// Renames the hydrogens of the visible molecules to the PDB v3 names the templates use, from
// the conventions of PDB v2 (1HB2, 2HB), CHARMM (HN, HT1-HT3, HB1/HB2), Amber and PDB2PQR
// (H5'1/H5'2, H5T, H3T) and older nucleic files (H5*1, HO'2). Hydrogens no convention explains
// are kept as they are and listed in the document's PreparationReport.
#pragma once

#include "HostApi.h"
#include "HostModel/Command.h"

namespace HostModel_Commands {

class HOST_API CmdNameHydrogens : public HostModel::Command {
public:
    CmdNameHydrogens() = default;

    HostModel::Command* Copy() const override;
    const char* GetName() const override;

protected:
    bool Do(HostModel::ChemDoc* doc) override;
};

}  // namespace HostModel_Commands
