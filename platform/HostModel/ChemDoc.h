// A document: the tree of molecules, its chemistry revision, and its force-field typing.
#pragma once

#include "HostModel/Object.h"
#include "HostModel/PreparationReport.h"
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

    /// How the hydrogen command chooses protonation states (pH, pKa source).
    const ProtonationSettings& GetProtonationSettings() const { return protonation_; }
    void SetProtonationSettings(const ProtonationSettings& settings) { protonation_ = settings; }

    /// What reading and preparing the structure did (names mapped, states, atoms built).
    PreparationReport& GetPreparationReport() { return preparation_; }
    const PreparationReport& GetPreparationReport() const { return preparation_; }

private:
    std::unique_ptr<TreeRoot> root_;
    std::uint64_t chemistryRevision_ = 0;
    CStringT forcefieldName_;
    ProtonationSettings protonation_;
    PreparationReport preparation_;
};

}  // namespace HostModel
