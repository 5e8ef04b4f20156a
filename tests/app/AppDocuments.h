// Small documents for the app's unit tests, with Voltra values set the way the commands leave them.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"

#include <memory>
#include <string>

namespace AppTest {

inline HostModel::Atom& AddAtom(HostModel::Object& parent, const std::string& label, int atomicNumber,
                                HostModel::Vec3 position = {}) {
    HostModel::Atom& atom = parent.Add(std::make_unique<HostModel::Atom>(label, atomicNumber));
    atom.SetPosition(position);
    return atom;
}

/// A residue of class R as the reader makes them: labelled name + number + insertion code, with
/// the chain's label for the input's chain id.
template <class R>
R& AddResidue(HostModel::Object& chain, const std::string& type, int number, const std::string& insertionCode = {}) {
    R& residue = chain.Add(std::make_unique<R>(type + std::to_string(number) + insertionCode, number, type));
    residue.SetInputIdentity(number, insertionCode.empty() ? '\0' : insertionCode[0], chain.GetLabel());
    return residue;
}

/// The per-atom properties an assignment leaves: values (flags 6), Sources (flags 0) and the
/// combined Source (flags 2).
inline void Assign(HostModel::Atom& atom, float charge, const std::string& chargeSource, float radius,
                   const std::string& radiusSource) {
    atom.SetProperty("Voltra Charge", charge, 6);
    atom.SetProperty("Voltra Radius", radius, 6);
    atom.SetProperty("Voltra Charge Source", chargeSource, 0);
    atom.SetProperty("Voltra Radius Source", radiusSource, 0);
    atom.SetProperty("Voltra Charge + Radius Source", chargeSource + " + " + radiusSource, 2);
}

inline HostModel::Molecule& AddMolecule(HostModel::ChemDoc& doc, const std::string& label) {
    return doc.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>(label));
}

}  // namespace AppTest
