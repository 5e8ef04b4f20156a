// Names of the properties the module keeps on host objects, and the Source texts it writes.
#pragma once

#include <string_view>

namespace Voltra {

// Per atom.
inline constexpr const char* kChargePropertyName = "Voltra Charge";                          // float, flags 6
inline constexpr const char* kRadiusPropertyName = "Voltra Radius";                          // float, flags 6
inline constexpr const char* kChargeSourcePropertyName = "Voltra Charge Source";             // text, flags 0
inline constexpr const char* kRadiusSourcePropertyName = "Voltra Radius Source";             // text, flags 0
inline constexpr const char* kCombinedSourcePropertyName = "Voltra Charge + Radius Source";  // text, flags 2
// Per molecule.
inline constexpr const char* kChargeTemplatePropertyName = "Voltra Charge Template";  // text, flags 2
inline constexpr const char* kRadiusTemplatePropertyName = "Voltra Radius Template";  // text, flags 2

inline constexpr unsigned kValuePropertyFlags = 6;
inline constexpr unsigned kSourcePropertyFlags = 0;
inline constexpr unsigned kCombinedSourcePropertyFlags = 2;
inline constexpr unsigned kTemplatePropertyFlags = 2;

// Source values.
inline constexpr const char* kSourceMissing = "Missing";
inline constexpr const char* kSourceHost = "HST";
inline constexpr const char* kSourceForceField = "ForceField";
inline constexpr const char* kSourceZero = "Zero";
/// What a value's Source text says of the value: given (by a template or another source), left
/// "Missing" by an assignment (no template had the atom), or absent (no assignment reached it).
enum class ValueProvenance { Given, Missing, Absent };
inline ValueProvenance ProvenanceOf(std::string_view source) {
    if (source.empty()) return ValueProvenance::Absent;
    return source == kSourceMissing ? ValueProvenance::Missing : ValueProvenance::Given;
}

// Charge template record of a molecule whose charges came from the force field.
inline constexpr const char* kForceFieldTemplateRecord = "Automatic";

}  // namespace Voltra
