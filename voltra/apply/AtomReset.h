// The reset of one atom's assignment: charge and radius 0.0, both Sources "Missing", written
// by interned id because it runs on every atom of a document.
#pragma once

#include "templates/PropertyVocabulary.h"

#include "HostModel/Object.h"
#include "HostModel/PropertyStore.h"

#include <cstdint>

namespace Voltra {

/// Property names and texts of the reset, interned.
struct ResetIds {
    HostModel::PropertyNameId chargeValue;
    HostModel::PropertyNameId chargeSource;
    HostModel::PropertyNameId radiusValue;
    HostModel::PropertyNameId radiusSource;
    HostModel::PropertyNameId combinedSource;
    HostModel::PropertyTextId missing;      // "Missing"
    HostModel::PropertyTextId missingPair;  // "Missing + Missing"
};

/// The ids of the shared templates' names and of the two texts; interns what is new.
ResetIds TakeResetIds();

/// An atom's five assignment properties.
struct AtomAssignment {
    float charge;
    HostModel::PropertyTextId chargeSource;
    float radius;
    HostModel::PropertyTextId radiusSource;
    HostModel::PropertyTextId combinedSource;
};

/// The reset's values: 0.0 and "Missing" for both kinds.
inline AtomAssignment ResetAssignment(const ResetIds& ids) {
    return AtomAssignment{0.0f, ids.missing, 0.0f, ids.missing, ids.missingPair};
}

/// Writes the five properties as the reset writes them (see ResetAtomProperties), with these
/// values: properties that are new are created in the reset's order, so an atom given its final
/// values at once holds its records as one reset, then writes in place, would leave them.
inline void WriteAtomAssignment(HostModel::Object& atom, const ResetIds& ids, const AtomAssignment& values) {
    using HostModel::PropertySetting;
    atom.Properties().SetAll(
        {PropertySetting::TextId(ids.chargeSource, values.chargeSource, kSourcePropertyFlags),
         PropertySetting::TextId(ids.combinedSource, values.combinedSource, kCombinedSourcePropertyFlags),
         PropertySetting::Float(ids.chargeValue, values.charge, kValuePropertyFlags),
         PropertySetting::TextId(ids.radiusSource, values.radiusSource, kSourcePropertyFlags),
         PropertySetting::Float(ids.radiusValue, values.radius, kValuePropertyFlags)});
}

/// The end state of SetSource("Missing") then SetValue(0.0) with the charge template and then
/// with the radius template, written directly: the combined text's intermediate value
/// ("Missing + " and the old radius Source) is overwritten within the same reset, so it is
/// skipped. New properties are created in the same order as the four calls would create them.
inline void ResetAtomProperties(HostModel::Object& atom, const ResetIds& ids) {
    WriteAtomAssignment(atom, ids, ResetAssignment(ids));
}

}  // namespace Voltra
