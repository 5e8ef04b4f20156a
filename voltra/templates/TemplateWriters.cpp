// The per-atom writers of Template: a value, its Source, and the combined Source of both kinds.
#include "templates/Template.h"

#include "templates/PropertyIds.h"
#include "templates/PropertyVocabulary.h"

#include <string>

namespace Voltra {

// These run several times per atom on documents of a million atoms, so they address the
// properties by interned id instead of by name; the effect is that of Object::SetProperty.

void Template::SetValue(HostModel::Object& atom, float value) const {
    atom.Properties().SetFloat(PropertyId(GetValuePropertyName()), value, kValuePropertyFlags);
}

void Template::SetSource(HostModel::Object& atom, const std::string& source) const {
    HostModel::PropertyStore& properties = atom.Properties();
    const HostModel::PropertyNameId written = PropertyId(GetSourcePropertyName());
    properties.SetText(written, source, kSourcePropertyFlags);

    // The combined text always reads the charge Source, then the radius Source, whichever kind
    // was written; the half just written is taken as given instead of being read back.
    static const HostModel::PropertyNameId chargeSource = PropertyId(kChargeSourcePropertyName);
    static const HostModel::PropertyNameId radiusSource = PropertyId(kRadiusSourcePropertyName);
    static const HostModel::PropertyNameId combinedSource = PropertyId(kCombinedSourcePropertyName);
    thread_local std::string combined;  // reused: "Missing + Missing" does not fit in place
    if (written == chargeSource) {
        combined = source;
    } else {
        combined = properties.GetAsString(chargeSource);
    }
    combined += " + ";
    if (written == radiusSource) {
        combined += source;
    } else {
        combined += properties.GetAsString(radiusSource);
    }
    properties.SetText(combinedSource, combined, kCombinedSourcePropertyFlags);
}

bool Template::IsSourceMissing(const HostModel::Object& atom) const {
    return atom.Properties().GetAsString(PropertyId(GetSourcePropertyName())) == kSourceMissing;
}

}  // namespace Voltra
