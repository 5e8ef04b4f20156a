// Sub-units of a chain: residues with a type name, and the amino acids and nucleotides among them.
#pragma once

#include "HostModel/ClassMacros.h"
#include "HostModel/Object.h"

namespace HostModel {

class HOST_API SubUnit : public Object {
public:
    HOST_DECLARE_CLASS()
    explicit SubUnit(CStringT label = {}, int id = 0) : Object(std::move(label), id) {}
};

/// A residue: its id is the sequence number, its label name plus number (plus insertion code).
class HOST_API Residue : public SubUnit {
public:
    HOST_DECLARE_CLASS()
    Residue(CStringT label = {}, int id = 0, CStringT typeName = {})
        : SubUnit(std::move(label), id), typeName_(std::move(typeName)) {}

    /// The residue name as chemistry knows it ("ALA", "HIE", "DA", "HOH"); may be empty.
    const CStringT& GetResidueType() const { return typeName_; }
    void SetResidueType(const CStringT& typeName) { typeName_ = typeName; }

private:
    CStringT typeName_;
};

class HOST_API AminoAcid : public Residue {
public:
    HOST_DECLARE_CLASS()
    using Residue::Residue;
};

class HOST_API Nucleotide : public Residue {
public:
    HOST_DECLARE_CLASS()
    using Residue::Residue;
};

}  // namespace HostModel
