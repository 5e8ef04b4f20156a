// Sub-units of a chain: residues with a type name, and the amino acids and nucleotides among them.
#pragma once

#include "HostModel/ClassMacros.h"
#include "HostModel/Object.h"

#include <string_view>

namespace HostModel {

class Atom;

class HOST_API SubUnit : public Object {
public:
    HOST_DECLARE_CLASS()
    explicit SubUnit(CStringT label = {}, int id = 0) : Object(std::move(label), id) {}
};

/// A residue: its id is the sequence number, its label name plus number (plus insertion code),
/// shown to users; writers take the residue's identity from the fields below, not the label.
class HOST_API Residue : public SubUnit {
public:
    HOST_DECLARE_CLASS()
    Residue(CStringT label = {}, int id = 0, CStringT typeName = {})
        : SubUnit(std::move(label), id), typeName_(std::move(typeName)), sequenceNumber_(id) {}

    /// The residue name as chemistry knows it ("ALA", "HIE", "DA", "HOH"); may be empty.
    const CStringT& GetResidueType() const { return typeName_; }
    void SetResidueType(const CStringT& typeName) { typeName_ = typeName; }

    /// Which free end of its chain the residue is, as far as templates need to know: a charged
    /// N-terminal or C-terminal amino acid, set by the hydrogen step. Chemistry keeps the type name.
    enum class ChainEnd { None, NTerminal, CTerminal };
    ChainEnd GetChainEnd() const { return chainEnd_; }
    void SetChainEnd(ChainEnd end) { chainEnd_ = end; }

    /// The name templates key this residue by: the type name, prefixed as Amber names its
    /// terminal residue sets (NALA, CHIE) when the residue is a chain end.
    CStringT GetTemplateResidueType() const {
        if (chainEnd_ == ChainEnd::NTerminal) return "N" + typeName_;
        if (chainEnd_ == ChainEnd::CTerminal) return "C" + typeName_;
        return typeName_;
    }

    /// The residue's identity in the input file, set once by the reader: sequence number,
    /// insertion code ('\0' for none) and chain id as written (mmCIF auth_asym_id; waters keep
    /// theirs though they sit in the "Water" chain).
    void SetInputIdentity(int sequenceNumber, char insertionCode, CStringT chainId) {
        sequenceNumber_ = sequenceNumber;
        insertionCode_ = insertionCode == ' ' ? '\0' : insertionCode;
        inputChainId_ = std::move(chainId);
    }
    int GetSequenceNumber() const { return sequenceNumber_; }
    char GetInsertionCode() const { return insertionCode_; }
    const CStringT& GetInputChainId() const { return inputChainId_; }

    /// The residue's atom labelled name, exactly as written (case and blanks count); the first
    /// one when several share the name; null when none does.
    Atom* FindAtom(std::string_view name) const;

private:
    CStringT typeName_;
    CStringT inputChainId_;
    int sequenceNumber_ = 0;
    char insertionCode_ = '\0';
    ChainEnd chainEnd_ = ChainEnd::None;
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
