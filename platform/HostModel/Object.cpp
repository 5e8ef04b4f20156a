#include "HostModel/Object.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/TreeRoot.h"

#include <stdexcept>
#include <vector>

namespace HostModel {
namespace {
bool SubtreeHoldsAtoms(const Object& object) {
    if (object.IsA(Atom::classType)) return true;
    if (!object.MayHoldDescendentOf(Atom::classType)) return false;
    DescendentIterator atoms(&object, Atom::classType);
    return atoms.GetNext() != nullptr;
}
}  // namespace

ClassKinds KindsOf(ClassType type) {
    ClassKinds kinds = 0;
    for (ClassType t = type; t; t = t->base) {
        if (!t->bit) return kAllClassKinds;
        kinds |= t->bit;
    }
    return kinds;
}

Object::Object(CStringT label, int id) : label_(std::move(label)), id_(id) {}

Object::~Object() = default;

void Object::SetLabel(const CStringT& label, bool /*notify*/) { label_ = label; }

Object& Object::AddChild(std::unique_ptr<Object> child) {
    Object& added = Adopt(std::move(child));
    if (GetDocument() && SubtreeHoldsAtoms(added)) NoteChemistryChange();
    return added;
}

Object& Object::AddChildUnnoted(std::unique_ptr<Object> child) { return Adopt(std::move(child)); }

Object& Object::Adopt(std::unique_ptr<Object> child) {
    if (!child) throw std::invalid_argument("AddChild: null child");
    if (child->parent_) throw std::invalid_argument("AddChild: object '" + child->label_ + "' already has a parent");
    // The child must not own this object: the tree would become a cycle that owns itself.
    for (const Object* o = this; o; o = o->parent_) {
        if (o == child.get()) {
            throw std::invalid_argument("AddChild: object '" + child->label_ + "' cannot be added below itself ('" +
                                        label_ + "')");
        }
    }
    child->parent_ = this;
    // An ancestor that has every bit already passes them on to its own ancestors.
    const auto kinds = static_cast<ClassKinds>(KindsOf(child->GetClassType()) | child->subtreeKinds_);
    for (Object* o = this; o && (o->subtreeKinds_ & kinds) != kinds; o = o->parent_) o->subtreeKinds_ |= kinds;
    return children_.push_back(std::move(child));
}

std::unique_ptr<Object> Object::RemoveChild(Object& child) {
    const std::size_t index = children_.find(&child);
    if (index == children_.size()) {
        throw std::invalid_argument("RemoveChild: '" + child.label_ + "' is not a child of '" + label_ + "'");
    }
    const bool chemistry = SubtreeHoldsAtoms(child);
    std::unique_ptr<Object> detached = children_.release(index);
    // Break bonds that cross the cut, so no atom keeps a pointer into the detached part.
    auto breakBonds = [&detached](Atom& atom) {
        const auto& bonds = atom.GetBonds();
        for (Atom* partner : std::vector<Atom*>(bonds.begin(), bonds.end())) {
            if (!partner->IsInSubtreeOf(*detached)) Atom::Unbond(atom, *partner);
        }
    };
    if (auto* atom = dynamic_cast<Atom*>(detached.get())) breakBonds(*atom);
    DescendentIterator atoms(detached.get(), Atom::classType);
    while (Object* a = atoms.GetNext()) breakBonds(static_cast<Atom&>(*a));
    if (chemistry) NoteChemistryChange();
    detached->parent_ = nullptr;
    return detached;
}

std::size_t Object::GetNumDescendents(ClassType type) const {
    std::size_t count = 0;
    DescendentIterator it(this, type);
    while (it.GetNext()) ++count;
    return count;
}

TreeRoot* Object::GetTreeRoot() const {
    const Object* top = this;
    while (top->parent_) top = top->parent_;
    return top->IsA(TreeRoot::classType) ? const_cast<TreeRoot*>(static_cast<const TreeRoot*>(top)) : nullptr;
}

ChemDoc* Object::GetDocument() const {
    TreeRoot* root = GetTreeRoot();
    return root ? root->GetDocument() : nullptr;
}

void Object::NoteChemistryChange() const {
    if (ChemDoc* doc = GetDocument()) doc->NoteChemistryChange();
}

bool Object::HasProperty(const CStringT& name) const {
    const auto id = PropertyNames::Find(name);
    return id && properties_.Has(*id);
}

bool Object::GetProperty(const CStringT& name, float& value) const {
    const auto id = PropertyNames::Find(name);
    return id && properties_.GetFloat(*id, value);
}

CStringT Object::GetPropertyAsString(const CStringT& name) const {
    const auto id = PropertyNames::Find(name);
    return id ? properties_.GetAsString(*id) : CStringT();
}

void Object::SetProperty(const CStringT& name, const CStringT& text, unsigned flags) {
    properties_.SetText(PropertyNames::Intern(name), text, flags);
}

void Object::SetProperty(const CStringT& name, float value, unsigned flags) {
    properties_.SetFloat(PropertyNames::Intern(name), value, flags);
}

bool Object::RemoveProperty(const CStringT& name) {
    const auto id = PropertyNames::Find(name);
    return id && properties_.Remove(*id);
}

unsigned Object::GetPropertyFlags(const CStringT& name) const {
    const auto id = PropertyNames::Find(name);
    if (!id) return 0;
    return properties_.GetFlags(*id).value_or(0);
}

}  // namespace HostModel
