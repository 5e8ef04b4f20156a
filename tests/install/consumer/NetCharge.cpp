// Reads a structure, gives it Voltra's default charges and sizes through the installed module,
// and prints each molecule's net charge: the smallest real use of the package.
//   net_charge STRUCTURE
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/PropertyStore.h"
#include "Persistence/Persistence.h"
#include "apply/Validity.h"
#include "commands/CmdApplyDefaultTemplates.h"
#include "io/StructureReader.h"
#include "templates/PropertyVocabulary.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: net_charge STRUCTURE\n");
        return 2;
    }
    try {
        Persistence::Initialize(Common::Path(Common::ToWString(VOLTRA_PERSISTENCE_ROOT)));
        HostModel::ChemDoc doc;
        const HostIO::ReadResult read = HostIO::ReadStructure(doc, argv[1]);
        Voltra::CmdApplyDefaultTemplates assign;
        if (!assign.IsSuitable(&doc) || !doc.Execute(assign)) {
            std::fprintf(stderr, "net_charge: %s: %s\n", assign.GetName(), assign.GetErrorMessage().c_str());
            return 4;
        }
        const HostModel::PropertyNameId charge = HostModel::PropertyNames::Intern(Voltra::kChargePropertyName);
        double net = 0.0;  // e
        std::size_t atoms = 0;
        HostModel::DescendentIterator each(read.molecule, HostModel::Atom::classType);
        while (HostModel::Object* atom = each.GetNext()) {
            float value = 0.0f;
            if (atom->Properties().GetFloat(charge, value)) net += value;
            ++atoms;
        }
        std::printf("%s: %zu atoms, net charge %.2f e, valid for Voltra: %s\n", read.molecule->GetLabel().c_str(),
                    atoms, net, Voltra::MoleculeIsValidForVoltra(read.molecule) ? "yes" : "no");
        return 0;
    } catch (const std::exception& e) {  // HostIO::ReadError, Common::Exception
        std::fprintf(stderr, "net_charge: %s\n", e.what());
    }
    return 1;
}
