// Loading, hydrogen step and application shared by the template-file commands.
#include "commands/TemplateSetCommand.h"

#include "apply/TemplateApplicator.h"
#include "templates/Template.h"
#include "templates/TemplateFileIO.h"

#include "Common/Exception.h"
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Command.h"
#include "HostModel_Commands/CmdHydrogens.h"
#include "HostModel_Commands/CmdNameHydrogens.h"

#include <string>
#include <vector>

namespace Voltra {

bool AddAndNameHydrogens(int selector, HostModel::ChemDoc* doc) {
    HostModel::Atom::HydrogenSet hydrogenSet;
    switch (selector) {
        case 1: hydrogenSet = HostModel::Atom::AllHydrogens; break;
        case 2: hydrogenSet = HostModel::Atom::ElectrostaticHydrogens; break;
        default: return false;
    }
    if (doc == nullptr) return false;
    // The results are not looked at: templates are applied to whatever hydrogens there are.
    HostModel_Commands::CmdHydrogens addHydrogens(HostModel_Commands::CmdHydrogens::AddHydrogens, hydrogenSet);
    doc->Execute(addHydrogens);
    HostModel_Commands::CmdNameHydrogens nameHydrogens;
    doc->Execute(nameHydrogens);
    return true;
}

bool RunTemplateSet(HostModel::Command& command, HostModel::ChemDoc* doc, const TemplateSet& set) {
    // Without a document nothing can be assigned; do not report success.
    if (doc == nullptr) return false;

    TemplatePtr templates[3];
    try {
        for (std::size_t i = 0; i < set.stepCount; ++i) LoadTemplate(set.steps[i].fileName, templates[i]);
    } catch (Common::Exception& e) {
        command.SetErrorMessage(Common::ToSString(std::wstring(e.GetMessageText())));
        return false;
    }

    if (set.hydrogenSelector != 0) AddAndNameHydrogens(set.hydrogenSelector, doc);
    {
        std::vector<TemplateApplicator::Pass> passes;
        for (std::size_t i = 0; i < set.stepCount; ++i)
            passes.push_back({templates[i], set.steps[i].kind == TemplateKind::Charge});
        TemplateApplicator applicator(doc);
        applicator.ResetAndApply(passes);
    }
    return true;
}

}  // namespace Voltra
