// The interned names and texts of an atom's reset.
#include "apply/AtomReset.h"

#include "templates/PropertyIds.h"
#include "templates/Template.h"

#include <string>

namespace Voltra {

ResetIds TakeResetIds() {
    const Template& charges = SharedChargeTemplate();
    const Template& radii = SharedRadiusTemplate();
    return ResetIds{PropertyId(charges.GetValuePropertyName()),
                    PropertyId(charges.GetSourcePropertyName()),
                    PropertyId(radii.GetValuePropertyName()),
                    PropertyId(radii.GetSourcePropertyName()),
                    PropertyId(kCombinedSourcePropertyName),
                    HostModel::PropertyTexts::Intern(kSourceMissing),
                    HostModel::PropertyTexts::Intern(std::string(kSourceMissing) + " + " + kSourceMissing)};
}

}  // namespace Voltra
