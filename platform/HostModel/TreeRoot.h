// The root of a document's tree: molecules and other top-level nodes hang below it.
#pragma once

#include "HostModel/ClassMacros.h"
#include "HostModel/Object.h"

namespace HostModel {

class OrdCollection;

class HOST_API TreeRoot : public Object {
public:
    HOST_DECLARE_CLASS()
    explicit TreeRoot(ChemDoc* document) : Object("Root"), document_(document) {}

    ChemDoc* GetDocument() const { return document_; }

    /// True when the number of descendants of type lies in [minimum, maximum]. behaviour 0
    /// counts every descendant; 1 counts only those whose ancestors below the root are visible.
    bool CheckTypeExists(ClassType type, int minimum, int maximum, int behaviour) const;
    /// Appends every descendant of type in tree order; hidden ones too unless visibleOnly.
    void CollectDescendents(OrdCollection& out, ClassType type, bool visibleOnly) const;

private:
    ChemDoc* document_;
};

}  // namespace HostModel
