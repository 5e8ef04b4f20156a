// A document: the tree of molecules, its chemistry revision, and its force-field typing.
#pragma once

#include "HostModel/Object.h"
#include "HostModel/TreeRoot.h"

#include <cstdint>
#include <memory>

namespace HostModel {

class Command;

class HOST_API ChemDoc {
public:
    ChemDoc();
    ~ChemDoc();
    ChemDoc(const ChemDoc&) = delete;
    ChemDoc& operator=(const ChemDoc&) = delete;

    TreeRoot* GetTreeRoot() const { return root_.get(); }

    /// Runs a command on this document through the command's Execute; returns its result.
    bool Execute(Command& command);

    /// Moves on every change of chemistry: atoms added or removed, elements, bonds.
    std::uint64_t GetChemistryRevision() const { return chemistryRevision_; }
    void NoteChemistryChange() { ++chemistryRevision_; }

    /// Name of the force field the document was typed with; empty when untyped.
    const CStringT& GetForcefieldName() const { return forcefieldName_; }
    void SetForcefieldName(const CStringT& name) { forcefieldName_ = name; }

private:
    std::unique_ptr<TreeRoot> root_;
    std::uint64_t chemistryRevision_ = 0;
    CStringT forcefieldName_;
};

}  // namespace HostModel
