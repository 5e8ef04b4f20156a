// Template answers remembered per residue shape and per element.
#include "apply/TemplateLookupMemo.h"

#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/Residue.h"

#include <algorithm>

namespace Voltra {

TemplateLookupMemo::Answer TemplateLookupMemo::LookUp(const HostModel::Atom& atom) {
    float value = 0.0f;
    const std::string source = template_.Lookup(atom, value);
    auto known = std::find_if(sources_.begin(), sources_.end(), [&](const auto& text) { return text.first == source; });
    // A template answers with two or three texts, so the pool is asked a few times per memo.
    if (known == sources_.end())
        known = sources_.insert(sources_.end(), {source, HostModel::PropertyTexts::Intern(source)});
    return Answer{&known->first, known->second, value, source == kSourceMissing};
}

void TemplateLookupMemo::EnterResidue(const HostModel::Object& residue) {
    residue_ = &residue;
    next_ = 0;
    residueAtoms_.clear();
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        const HostModel::Object* child = residue.GetChild(i);
        if (child->IsA(HostModel::Atom::classType)) residueAtoms_.push_back(static_cast<const HostModel::Atom*>(child));
    }
    // The key: the residue's key name, then each atom's name (length first, so that no two
    // lists of names run together alike) and whether it is a hydrogen, which changes how a
    // four-character name is keyed.
    shapeKey_ = MatchResidueName(&residue);
    for (const HostModel::Atom* member : residueAtoms_) {
        const std::string& name = member->GetLabel();
        shapeKey_ += static_cast<char>(name.size() & 0xFF);
        shapeKey_ += name;
        shapeKey_ += member->GetAtomicNumber() == 1 ? 'H' : '-';
    }
    auto [entry, added] = byShape_.try_emplace(shapeKey_);
    if (added) {
        entry->second.reserve(residueAtoms_.size());
        for (const HostModel::Atom* member : residueAtoms_) entry->second.push_back(LookUp(*member));
    }
    residueAnswers_ = &entry->second;
}

TemplateLookupMemo::Answer TemplateLookupMemo::Find(const HostModel::Atom& atom) {
    if (template_.IsElementKeyed()) {
        const auto z = static_cast<std::size_t>(atom.GetAtomicNumber());
        if (z >= byElement_.size()) byElement_.resize(z + 1, Answer{nullptr, 0, 0.0f, false});
        if (byElement_[z].source == nullptr) byElement_[z] = LookUp(atom);
        return byElement_[z];
    }
    const HostModel::Object* parent = atom.GetParent();
    if (parent == nullptr || !parent->IsA(HostModel::Residue::classType)) return LookUp(atom);
    if (parent != residue_) EnterResidue(*parent);
    // Walks visit a residue's atoms in order; any other order is found by a search.
    std::size_t index = next_;
    if (index >= residueAtoms_.size() || residueAtoms_[index] != &atom) {
        index = static_cast<std::size_t>(std::find(residueAtoms_.begin(), residueAtoms_.end(), &atom) -
                                         residueAtoms_.begin());
        if (index == residueAtoms_.size()) return LookUp(atom);
    }
    next_ = index + 1;
    return (*residueAnswers_)[index];
}

}  // namespace Voltra
