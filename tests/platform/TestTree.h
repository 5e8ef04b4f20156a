// Small documents for the platform tests: peptides with backbone atoms and typed trees.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

#include <memory>
#include <string>
#include <vector>

namespace PlatformTest {

/// A residue of an amino-acid chain with its backbone atoms N, CA, C, O (N and C may be left out).
struct BackboneResidue {
    HostModel::AminoAcid* residue = nullptr;
    HostModel::Atom* n = nullptr;
    HostModel::Atom* ca = nullptr;
    HostModel::Atom* c = nullptr;
    HostModel::Atom* o = nullptr;
};

inline BackboneResidue AddBackboneResidue(HostModel::Object& chain, const std::string& type, int number,
                                          bool withN = true) {
    using namespace HostModel;
    BackboneResidue r;
    r.residue = &chain.Add(std::make_unique<AminoAcid>(type + " " + std::to_string(number), number, type));
    if (withN) r.n = &r.residue->Add(std::make_unique<Atom>("N", 7));
    r.ca = &r.residue->Add(std::make_unique<Atom>("CA", 6));
    r.c = &r.residue->Add(std::make_unique<Atom>("C", 6));
    r.o = &r.residue->Add(std::make_unique<Atom>("O", 8));
    if (r.n) Atom::Bond(*r.n, *r.ca);
    Atom::Bond(*r.ca, *r.c);
    Atom::Bond(*r.c, *r.o);
    return r;
}

/// Residues of types in order; consecutive residues joined by a peptide bond (C to next N).
inline std::vector<BackboneResidue> AddPeptide(HostModel::Object& chain, const std::vector<std::string>& types) {
    std::vector<BackboneResidue> residues;
    for (std::size_t i = 0; i < types.size(); ++i) {
        residues.push_back(AddBackboneResidue(chain, types[i], static_cast<int>(i + 1)));
        if (i > 0) HostModel::Atom::Bond(*residues[i - 1].c, *residues[i].n);
    }
    return residues;
}

/// Labels of a sequence of objects, for readable comparisons.
template <class Range>
std::vector<std::string> Labels(const Range& objects) {
    std::vector<std::string> out;
    for (const auto* object : objects) out.push_back(object ? object->GetLabel() : std::string("<null>"));
    return out;
}

}  // namespace PlatformTest
