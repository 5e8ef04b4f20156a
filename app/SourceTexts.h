// Reads the Voltra Source properties of many atoms by their pooled text ids: telling "Missing"
// from a given source by comparing texts cost a text look-up and a string comparison per atom.
#pragma once

#include "templates/PropertyVocabulary.h"

#include "HostModel/PropertyStore.h"

#include <string>

namespace VoltraApp {

class SourceTexts {
public:
    /// Interns the texts it compares against, so construct it before reading on many threads.
    SourceTexts()
        : missing_(HostModel::PropertyTexts::Intern(Voltra::kSourceMissing)),
          empty_(HostModel::PropertyTexts::Intern(std::string())) {}

    /// What Voltra::ProvenanceOf(Voltra::SourceTextOf(properties, name, ...)) says, without the text.
    Voltra::ValueProvenance ProvenanceOf(const HostModel::PropertyStore& properties,
                                         HostModel::PropertyNameId name) const {
        HostModel::PropertyTextId text = 0;
        if (properties.GetTextId(name, text)) return ProvenanceOfText(text);
        // A Source written as a number reads as its rendering, which is never empty nor "Missing".
        return properties.Has(name) ? Voltra::ValueProvenance::Given : Voltra::ValueProvenance::Absent;
    }

    Voltra::ValueProvenance ProvenanceOfText(HostModel::PropertyTextId text) const {
        if (text == missing_) return Voltra::ValueProvenance::Missing;
        return text == empty_ ? Voltra::ValueProvenance::Absent : Voltra::ValueProvenance::Given;
    }

private:
    HostModel::PropertyTextId missing_;
    HostModel::PropertyTextId empty_;
};

}  // namespace VoltraApp
