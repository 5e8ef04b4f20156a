// One line of a template: an atom (or element) name, optional residue, number and chain, a value.
#pragma once

#include <string>

namespace Voltra {

class TemplateEntry {
public:
    TemplateEntry() = default;
    TemplateEntry(std::string atomName, float value, std::string residueName = {}, std::string residueNumber = {},
                  std::string chain = {})
        : atomName(std::move(atomName)),
          value(value),
          residueName(std::move(residueName)),
          residueNumber(std::move(residueNumber)),
          chain(std::move(chain)) {}

    const std::string& GetAtomName() const { return atomName; }
    float GetValue() const { return value; }
    void SetValue(float newValue) { value = newValue; }
    const std::string& GetResidueName() const { return residueName; }
    const std::string& GetResidueNumber() const { return residueNumber; }
    const std::string& GetChain() const { return chain; }
    /// An entry without an atom name stands for "no entry".
    bool IsEmpty() const { return atomName.empty(); }

    std::string atomName;       // atom name, or element symbol in element-keyed templates
    float value = 0.0f;         // e for charges, Å for radii; as the file gives it
    std::string residueName;    // empty in a generic entry
    std::string residueNumber;  // text, never parsed
    std::string chain;
};

bool operator==(const TemplateEntry& a, const TemplateEntry& b);

}  // namespace Voltra
