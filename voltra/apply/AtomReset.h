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

/// The end state of SetSource("Missing") then SetValue(0.0) with the charge template and then
/// with the radius template, written directly: the combined text's intermediate value
/// ("Missing + " and the old radius Source) is overwritten within the same reset, so it is
/// skipped. New properties are created in the same order as the four calls would create them.
/// The records are made room for at once: one allocation per atom instead of one per two.
inline void ResetAtomProperties(HostModel::Object& atom, const ResetIds& ids) {
    HostModel::PropertyStore& properties = atom.Properties();
    std::uint32_t added = 0;
    for (HostModel::PropertyNameId name :
         {ids.chargeSource, ids.combinedSource, ids.chargeValue, ids.radiusSource, ids.radiusValue}) {
        if (!properties.Has(name)) ++added;
    }
    properties.Reserve(static_cast<std::uint32_t>(properties.Size()) + added);
    properties.SetTextId(ids.chargeSource, ids.missing, kSourcePropertyFlags);
    properties.SetTextId(ids.combinedSource, ids.missingPair, kCombinedSourcePropertyFlags);
    properties.SetFloat(ids.chargeValue, 0.0f, kValuePropertyFlags);
    properties.SetTextId(ids.radiusSource, ids.missing, kSourcePropertyFlags);
    properties.SetFloat(ids.radiusValue, 0.0f, kValuePropertyFlags);
}

}  // namespace Voltra
