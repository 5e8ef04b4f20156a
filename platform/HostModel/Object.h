// The base of every node of a document tree: label, id, parent, children, visibility, properties.
#pragma once

#include "HostApi.h"
#include "HostModel/ChildList.h"
#include "HostModel/ClassType.h"
#include "HostModel/PropertyStore.h"

#include <memory>
#include <string>
#include <vector>

namespace HostModel {

/// The host's narrow string class (UTF-8).
using CStringT = std::string;

class ChemDoc;
class TreeRoot;

class HOST_API Object {
public:
    static const ClassType classType;

    explicit Object(CStringT label = {}, int id = 0);
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    virtual ClassType GetClassType() const { return classType; }
    bool IsA(ClassType type) const { return IsKindOf(GetClassType(), type); }

    const CStringT& GetLabel() const { return label_; }
    void SetLabel(const CStringT& label) { label_ = label; }
    /// notify is accepted for the host's interface; labels never count as chemistry.
    void SetLabel(const CStringT& label, bool notify);
    int GetID() const { return id_; }
    void SetID(int id) { id_ = id; }
    Object* GetParent() const { return parent_; }
    bool IsVisible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

    // Tree. Children are owned; adding a subtree that holds atoms is a chemistry change.
    std::size_t GetNumChildren() const { return children_.size(); }
    Object* GetChild(std::size_t index) const { return children_[index]; }
    Object& AddChild(std::unique_ptr<Object> child);
    /// AddChild without noting a chemistry change: for a step that adds atoms below many
    /// residues on two threads at once, where the document's revision may not be written from
    /// both; the step notes the change once itself (ChemDoc::NoteChemistryChange) when done.
    /// Throws as AddChild.
    Object& AddChildUnnoted(std::unique_ptr<Object> child);
    /// Makes room for count children: a reader that knows a residue's atoms gives its list one
    /// allocation of the right size instead of a growing one.
    void ReserveChildren(std::size_t count) { children_.reserve(count); }
    template <class T>
    T& Add(std::unique_ptr<T> child) {
        return static_cast<T&>(AddChild(std::unique_ptr<Object>(std::move(child))));
    }
    /// Detaches child and its subtree; bonds to atoms outside it are broken. Throws
    /// std::invalid_argument when child is not a child of this object.
    std::unique_ptr<Object> RemoveChild(Object& child);
    /// Number of descendants (not counting this object) of the class or its subclasses.
    std::size_t GetNumDescendents(ClassType type) const;
    /// False when no descendant is of the class or a subclass; true when one may be. Walks that
    /// look for molecules or chains skip the atoms below a residue by it.
    bool MayHoldDescendentOf(ClassType type) const { return (subtreeKinds_ & KindBitOf(type)) != 0; }
    TreeRoot* GetTreeRoot() const;
    ChemDoc* GetDocument() const;

    // Properties. An absent property reads as empty text; GetProperty leaves value untouched
    // and returns false when the property is absent or not a float.
    bool HasProperty(const CStringT& name) const;
    bool GetProperty(const CStringT& name, float& value) const;
    CStringT GetPropertyAsString(const CStringT& name) const;
    void SetProperty(const CStringT& name, const CStringT& text, unsigned flags);
    void SetProperty(const CStringT& name, float value, unsigned flags);
    bool RemoveProperty(const CStringT& name);
    /// Flags of a property; 0 when absent.
    unsigned GetPropertyFlags(const CStringT& name) const;
    std::vector<PropertyView> GetProperties() const { return properties_.List(); }
    PropertyStore& Properties() { return properties_; }
    const PropertyStore& Properties() const { return properties_; }

protected:
    /// Called on the document whenever the chemistry below it changes.
    void NoteChemistryChange() const;

private:
    friend class DescendentIterator;

    Object& Adopt(std::unique_ptr<Object> child);

    CStringT label_;
    Object* parent_ = nullptr;
    ChildList children_;
    PropertyStore properties_;
    int id_;
    bool visible_ = true;
    // KindsOf of every descendant, or'ed. Kept by AddChild; RemoveChild leaves the bits of what
    // it took away, so the set may hold more than the subtree, never less. Sits in the padding
    // after visible_: an atom is no larger for it.
    ClassKinds subtreeKinds_ = 0;
};

}  // namespace HostModel
