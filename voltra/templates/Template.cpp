// Template naming, entry storage, atom keys and the first-match lookup with its fall-backs.
#include "templates/Template.h"

#include "templates/PropertyVocabulary.h"
#include "templates/TemplateIndex.h"

#include "Common/Text.h"
#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/Residue.h"

namespace Voltra {
namespace {

struct NamingRule {
    const char* substring;  // searched case-sensitively anywhere in the name
    const char* sourceName;
    int elementKeyed;
};

// The first rule whose substring occurs in the name decides; the order matters
// ("default.siz" and "default.crg" both precede "amb").
constexpr NamingRule kNamingRules[] = {
    {"bondi.siz", "Bondi", 1},           {"default.siz", "Default", 1}, {"parseres", "Parse", 0},
    {"default.crg", "DefaultCharge", 0}, {"amb", "Amber", 0},
};
constexpr const char* kUnknownSourceName = "Unknown";

constexpr const char* kChargeFileHeader = "atom__resnumbc_charge_";
constexpr const char* kRadiusFileHeader = "atom__resnumbc_radius_";

// Residue names written by the host for residues it could not type; the template key then
// uses the residue's label instead.
bool IsUntypedResidueName(const std::string& typeName) {
    return typeName.empty() || Common::CompareNoCase(typeName, "unk") == 0;
}

// A label such as "LIG12" for residue 12 gives "LIG": cut at the residue number (searched from
// the second character on, so a label starting with digits keeps them), then at most three
// characters, the width of a residue name.
std::string ResidueNameFromLabel(const std::string& label, const std::string& residueNumber) {
    std::string name = label;
    const std::size_t cut = name.find(residueNumber, 1);
    if (cut != std::string::npos) name.erase(cut);
    if (name.size() > 3) name.erase(3);
    return name;
}

// Only these two spellings mark the host's water chain; its residues are keyed without a chain.
bool IsWaterChainLabel(const std::string& label) { return label == "Water" || label == "water"; }

}  // namespace

Template::Template(const std::string& name) : fileName(name), sourceName(kUnknownSourceName) {
    for (const NamingRule& rule : kNamingRules) {
        if (name.find(rule.substring) != std::string::npos) {
            sourceName = rule.sourceName;
            elementKeyed = rule.elementKeyed;
            break;
        }
    }
    // The default charge file is told apart from the default radius file only to keep it
    // residue-keyed; both record the same source value.
    if (sourceName == "DefaultCharge") sourceName = "Default";
}

Template::~Template() = default;

void Template::AddEntry(const TemplateEntry& entry) {
    entries.push_back(entry);
    index_.reset();
}

void Template::BuildLookupIndex() const {
    if (!index_ || !index_->Covers(entries)) index_ = std::make_unique<TemplateIndex>(entries);
}

std::string Template::Lookup(const HostModel::Atom& atom, float& value) const {
    BuildLookupIndex();

    const TemplateEntry key = BuildMatchKey(*this, atom);
    std::size_t hit = index_->FindFirst(key.atomName, key.residueName);
    if (hit == TemplateIndex::npos) {
        if (elementKeyed) {
            value = atom.GetRadius();
            return kSourceHost;
        }
        // A residue-specific key failed: fall back to the generic entry of the atom name. A key
        // without residue part has already been looked up as generic.
        if (!key.residueName.empty()) hit = index_->FindFirst(key.atomName, std::string());
    }
    if (hit == TemplateIndex::npos) return kSourceMissing;
    value = entries[hit].value;
    return sourceName;
}

void Template::AppendHeaderText(const std::string& text) { headerText += text; }

std::string Template::ComposeHeader() const { return headerText + GetFileHeader(); }

const char* ChargeTemplate::GetValuePropertyName() const { return kChargePropertyName; }
const char* ChargeTemplate::GetTemplatePropertyName() const { return kChargeTemplatePropertyName; }
const char* ChargeTemplate::GetSourcePropertyName() const { return kChargeSourcePropertyName; }
const char* ChargeTemplate::GetFileHeader() const { return kChargeFileHeader; }

const char* RadiusTemplate::GetValuePropertyName() const { return kRadiusPropertyName; }
const char* RadiusTemplate::GetTemplatePropertyName() const { return kRadiusTemplatePropertyName; }
const char* RadiusTemplate::GetSourcePropertyName() const { return kRadiusSourcePropertyName; }
const char* RadiusTemplate::GetFileHeader() const { return kRadiusFileHeader; }

std::string AtomKeyName(const HostModel::Atom& atom) {
    const std::string& name = atom.GetLabel();
    // Hydrogen names of four characters are keyed with the trailing digit in front (HD21 as
    // 1HD2), the older PDB spelling the residue-keyed templates use.
    if (name.size() == 4 && atom.GetAtomicNumber() == 1) return name.substr(3, 1) + name.substr(0, 3);
    return name;
}

TemplateEntry BuildResidueKey(const HostModel::Object* parent) {
    TemplateEntry key;
    if (parent == nullptr || !parent->IsA(HostModel::Residue::classType)) return key;
    const auto& residue = static_cast<const HostModel::Residue&>(*parent);

    key.residueNumber = std::to_string(residue.GetID());
    key.residueName = residue.GetResidueType();
    if (IsUntypedResidueName(key.residueName)) {
        key.residueName = ResidueNameFromLabel(residue.GetLabel(), key.residueNumber);
    }
    const HostModel::Object* chain = residue.GetParent();
    if (chain != nullptr && chain->IsA(HostModel::Chain::classType) && !IsWaterChainLabel(chain->GetLabel())) {
        key.chain = chain->GetLabel();
    }
    return key;
}

TemplateEntry BuildLookupKey(const Template& t, const HostModel::Atom& atom, bool withResidue) {
    if (t.IsElementKeyed()) {
        TemplateEntry key;
        key.atomName = atom.GetElementSymbol();
        return key;
    }
    TemplateEntry key = withResidue ? BuildResidueKey(atom.GetParent()) : TemplateEntry();
    key.atomName = AtomKeyName(atom);
    return key;
}

TemplateEntry BuildMatchKey(const Template& t, const HostModel::Atom& atom) {
    TemplateEntry key = BuildLookupKey(t, atom, true);
    const HostModel::Object* parent = atom.GetParent();
    if (key.residueName.empty() || parent == nullptr || !parent->IsA(HostModel::Residue::classType)) return key;
    const auto& residue = static_cast<const HostModel::Residue&>(*parent);
    if (residue.GetChainEnd() != HostModel::Residue::ChainEnd::None) key.residueName = residue.GetTemplateResidueType();
    return key;
}

std::string MatchResidueName(const HostModel::Object* parent) {
    if (parent == nullptr || !parent->IsA(HostModel::Residue::classType)) return std::string();
    const auto& residue = static_cast<const HostModel::Residue&>(*parent);
    std::string name = residue.GetResidueType();
    if (IsUntypedResidueName(name)) name = ResidueNameFromLabel(residue.GetLabel(), std::to_string(residue.GetID()));
    if (!name.empty() && residue.GetChainEnd() != HostModel::Residue::ChainEnd::None)
        name = residue.GetTemplateResidueType();
    return name;
}

Template& SharedChargeTemplate() {
    static ChargeTemplate shared{std::string()};
    return shared;
}

Template& SharedRadiusTemplate() {
    static RadiusTemplate shared{std::string()};
    return shared;
}

}  // namespace Voltra
