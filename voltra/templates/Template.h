// Charge and radius templates: named tables of per-atom values with the module's lookup rule.
#pragma once

#include "templates/TemplateEntry.h"

#include "HostModel/Object.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>
#include <vector>

namespace HostModel {
class Atom;
}

namespace Voltra {

class TemplateIndex;

class Template {
public:
    /// name: the file name; it decides sourceName and elementKeyed.
    explicit Template(const std::string& name);
    virtual ~Template();
    Template(const Template&) = delete;
    Template& operator=(const Template&) = delete;

    virtual const char* GetValuePropertyName() const = 0;
    virtual const char* GetTemplatePropertyName() const = 0;
    virtual const char* GetSourcePropertyName() const = 0;
    virtual const char* GetFileHeader() const = 0;

    void AddEntry(const TemplateEntry& entry);
    /// The Source of the atom's value ("Missing" when none); stores the value on a hit.
    std::string Lookup(const HostModel::Atom& atom, float& value) const;
    /// Builds the index Lookup otherwise builds on first use, so that lookups on several
    /// threads at once only read it; entries must not be added while they run.
    void BuildLookupIndex() const;
    void AppendHeaderText(const std::string& text);
    /// headerText followed by the column header.
    std::string ComposeHeader() const;

    // Per-atom writers (property names from the accessors above).
    void SetValue(HostModel::Object& atom, float value) const;
    /// Writes the Source and refreshes "Voltra Charge + Radius Source".
    void SetSource(HostModel::Object& atom, const std::string& source) const;
    bool IsSourceMissing(const HostModel::Object& atom) const;

    const std::vector<TemplateEntry>& GetEntries() const { return entries; }
    const std::string& GetHeaderText() const { return headerText; }
    const std::string& GetFileName() const { return fileName; }
    const std::string& GetSourceName() const { return sourceName; }
    int IsElementKeyed() const { return elementKeyed; }

protected:
    std::vector<TemplateEntry> entries;
    std::string headerText;
    std::string fileName;
    std::string sourceName;
    int elementKeyed = 0;

private:
    mutable std::unique_ptr<TemplateIndex> index_;  // built on first lookup
};

class ChargeTemplate : public Template {
public:
    explicit ChargeTemplate(const std::string& name) : Template(name) {}
    const char* GetValuePropertyName() const override;
    const char* GetTemplatePropertyName() const override;
    const char* GetSourcePropertyName() const override;
    const char* GetFileHeader() const override;
};

class RadiusTemplate : public Template {
public:
    explicit RadiusTemplate(const std::string& name) : Template(name) {}
    const char* GetValuePropertyName() const override;
    const char* GetTemplatePropertyName() const override;
    const char* GetSourcePropertyName() const override;
    const char* GetFileHeader() const override;
};

using TemplatePtr = boost::shared_ptr<Template>;

/// The key of an atom under a template (see Lookup); its value is 0.
TemplateEntry BuildLookupKey(const Template& t, const HostModel::Atom& atom, bool withResidue);

/// The parts of BuildLookupKey for a template keyed by name, for callers that key many atoms of
/// one residue: the atom's name, and the residue fields (name, number, chain) that every child
/// of parent shares (all empty when parent is not a residue).
std::string AtomKeyName(const HostModel::Atom& atom);
TemplateEntry BuildResidueKey(const HostModel::Object* parent);

/// The key Lookup matches first: BuildLookupKey with the residue, where a charged chain end
/// (Residue::GetChainEnd) is keyed by its terminal set's name (NALA, CHIE). Exported templates
/// keep the plain type name, which is what the PQR beside them prints.
TemplateEntry BuildMatchKey(const Template& t, const HostModel::Atom& atom);

/// The residue name of BuildMatchKey for an atom of parent under a template keyed by name,
/// without the key's other fields: for callers that key a residue's atoms by their shape.
std::string MatchResidueName(const HostModel::Object* parent);

/// Empty templates (source "Unknown") used for their property names and writers.
Template& SharedChargeTemplate();
Template& SharedRadiusTemplate();

}  // namespace Voltra
