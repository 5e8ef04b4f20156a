// Apply Forcefield Parameters: charges from the document's force-field typing, radii from a
// radius file chosen by the force field's name.
#pragma once

#include "host/VoltraApi.h"

#include "HostModel/Command.h"

#include <string>

namespace Voltra {

class VOLTRA_API CmdApplyForcefieldTemplates : public HostModel::Command {
public:
    CmdApplyForcefieldTemplates();
    ~CmdApplyForcefieldTemplates() override;

    UpdateHint GetUpdateHint() const override;
    /// A document with atoms, typed with force-field charges.
    bool IsSuitable(const HostModel::ChemDoc* doc) const override;
    HowBadly WantsCheckpoint() const override;
    HostModel::Command* Copy() const override;
    const char* GetName() const override;

protected:
    /// False with "Please apply a forcefield before using this command." on an untyped
    /// document, or with the loader's message when the radius file does not load.
    bool Do(HostModel::ChemDoc* doc) override;
};

/// The radius file for a force-field base name; names are compared with their letter case.
std::string SelectRadiusFileForForcefield(const std::string& forcefieldBaseName);

/// Copies each atom's force-field charge of the visible molecules into "Voltra Charge" (Source
/// "ForceField"), records "Automatic" as their charge template, and starts chemistry tracking.
void ApplyForcefieldCharges(HostModel::ChemDoc* doc);

}  // namespace Voltra
