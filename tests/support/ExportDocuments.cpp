#include "support/ExportDocuments.h"

#include "HostModel/Chain.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"

#include <memory>

namespace VoltraTest {

using namespace HostModel;

Atom& AddAtom(Object& parent, const std::string& label, int atomicNumber, std::optional<float> charge,
              std::optional<float> radius) {
    Atom& atom = parent.Add(std::make_unique<Atom>(label, atomicNumber));
    if (charge) atom.SetProperty("Voltra Charge", *charge, 6);
    if (radius) atom.SetProperty("Voltra Radius", *radius, 6);
    return atom;
}

Molecule& AddMolecule(ChemDoc& doc, const std::string& label, bool withTemplate) {
    Molecule& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>(label));
    if (withTemplate) {
        molecule.SetProperty("Voltra Charge Template", std::string("default.crg"), 2);
        molecule.SetProperty("Voltra Radius Template", std::string("default.siz"), 2);
    }
    return molecule;
}

void BuildColumnRulesDocument(ChemDoc& doc) {
    Molecule& molecule = AddMolecule(doc, "Golden");

    Chain& a = molecule.Add(std::make_unique<AminoAcidChain>("A"));
    Residue& ala = a.Add(std::make_unique<AminoAcid>("ALA5", 5, "ALA"));
    AddAtom(ala, "N", 7, -0.4f, 1.65f);
    AddAtom(ala, "CA", 6, -0.25f, 1.87f);
    AddAtom(ala, "HB1", 1, std::nullopt, 1.1f);
    AddAtom(ala, "OCT1", 8, -0.8f, 1.4f);
    AddAtom(ala, "oct1", 8, -0.8f, 1.4f);
    AddAtom(ala, "OCT2", 8, -0.8f, 1.4f);
    Residue& ser = a.Add(std::make_unique<AminoAcid>("SER6", 6, "SER"));
    ser.SetVisible(false);
    AddAtom(ser, "OG", 8, -0.65f, 1.52f);
    Residue& asn = a.Add(std::make_unique<AminoAcid>("ASN1234", 1234, "ASN"));
    AddAtom(asn, "HD21", 1, 0.4193f, 1.0f);
    AddAtom(asn, "CD12", 6, 0.5f, 1.87f);
    AddAtom(asn, "ABCDEFGH", 6, 0.1f, 1.7f);
    Residue& gly = a.Add(std::make_unique<AminoAcid>("GLY12345", 12345, "GLY"));
    AddAtom(gly, "CA", 6, 1234.5678f, 12345.678f);
    AddAtom(a, "ZN", 30, 2.0f, 1.39f);

    Chain& ab = molecule.Add(std::make_unique<Chain>("AB"));
    AddAtom(ab.Add(std::make_unique<Residue>("LIG12", 12, "UNK")), "C1", 6, 0.1f, 1.7f);
    AddAtom(ab.Add(std::make_unique<Residue>("ABCDE", 7, "")), "C2", 6, -12.5f, 1.7f);
    AddAtom(ab.Add(std::make_unique<Residue>("LONGNAME", 3, "LONGRES")), "C3", 6, 0.0f, 1.7f);

    Residue& hoh301 =
        molecule.Add(std::make_unique<Chain>("Water")).Add(std::make_unique<Residue>("HOH301", 301, "HOH"));
    AddAtom(hoh301, "O", 8, -0.834f, 1.52f);
    AddAtom(hoh301, "H1", 1, 0.417f, 1.1f);
    AddAtom(molecule.Add(std::make_unique<Chain>("water")).Add(std::make_unique<Residue>("HOH302", 302, "HOH")), "O", 8,
            -0.834f, 1.52f);
    AddAtom(molecule.Add(std::make_unique<Chain>("WATER")).Add(std::make_unique<Residue>("HOH303", 303, "HOH")), "O", 8,
            -0.834f, 1.52f);
    AddAtom(molecule.Add(std::make_unique<Chain>("")).Add(std::make_unique<Residue>("", 9, "")), "X1", 6, 0.25f, 1.5f);

    AddAtom(molecule, "FE", 26, 2.0f, 1.8f);
    AddAtom(molecule, "Q1", 6, 0.5f);
}

}  // namespace VoltraTest
