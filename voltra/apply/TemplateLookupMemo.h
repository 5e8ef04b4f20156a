// Remembers a template's answers during one application pass, so that a million atoms cost a
// lookup per residue shape instead of one per atom.
#pragma once

#include "templates/Template.h"

#include "HostModel/PropertyStore.h"

#include <deque>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace HostModel {
class Atom;
class Object;
}  // namespace HostModel

namespace Voltra {

/// Answers as Template::Lookup does. A residue-keyed template's answer for an atom depends on
/// its residue's key name, its own name and whether it is a hydrogen, so every residue of one
/// key name whose atoms carry the same names in the same order (a shape) is looked up once; an
/// element-keyed template's answer depends on the element alone. Atoms outside residues are
/// looked up each time. The template must not change while the memo is in use. Memos of one
/// template may be used on several threads at once (one memo each) once its lookup index is built
/// (Template::BuildLookupIndex).
class TemplateLookupMemo {
public:
    struct Answer {
        const std::string* source;  // as Lookup returns it; lives as long as the memo
        HostModel::PropertyTextId sourceId;  // the pooled id of *source
        float value;                // 0.0 when the source is "Missing", as Lookup leaves it
        bool missing;               // the source is "Missing"
    };

    explicit TemplateLookupMemo(const Template& t) : template_(t) {}
    TemplateLookupMemo(const TemplateLookupMemo&) = delete;
    TemplateLookupMemo& operator=(const TemplateLookupMemo&) = delete;

    Answer Find(const HostModel::Atom& atom);

private:
    Answer LookUp(const HostModel::Atom& atom);
    void EnterResidue(const HostModel::Object& residue);

    const Template& template_;
    // The distinct Source texts answered (stable addresses) with their pooled ids.
    std::deque<std::pair<std::string, HostModel::PropertyTextId>> sources_;
    std::vector<Answer> byElement_;    // element-keyed: by atomic number; source null until known
    std::unordered_map<std::string, std::vector<Answer>> byShape_;

    // The residue of the atoms in hand: its atom children, their answers and where the walk is.
    const HostModel::Object* residue_ = nullptr;
    std::vector<const HostModel::Atom*> residueAtoms_;
    const std::vector<Answer>* residueAnswers_ = nullptr;
    std::size_t next_ = 0;
    std::string shapeKey_;
};

}  // namespace Voltra
