// What the preparation of a structure did to it before assignment: residue names mapped from
// other conventions, protonation states read or chosen, heavy atoms completed, hydrogens added
// and renamed. Collected on the document by the reader and the host's commands; the program
// decides what to print.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace HostModel {

struct PreparationReport {
    /// Residue names taken as another convention's spelling, "from -> to" (e.g. "RG -> G",
    /// "O1P -> OP1") with how often.
    std::map<std::string, std::size_t> namesMapped;
    /// Variant names (HID, HIE, HIP, CYX, CYM, ASH, GLH, LYN, ...) decided from the hydrogens
    /// the input carries, with how often.
    std::map<std::string, std::size_t> statesFromHydrogens;
    /// Variant or standard names chosen by the protonation step at the document's pH.
    std::map<std::string, std::size_t> statesChosen;
    /// pH and the pKa source the protonation step used; empty source when it did not run.
    double ph = 7.0;
    std::string pkaSource;

    /// Heavy atoms built into incomplete standard residues, per residue type name.
    std::map<std::string, std::size_t> atomsCompleted;
    /// Residues that stayed incomplete, one line each ("LYS21 chain A: no CA to build from").
    std::vector<std::string> residuesLeftIncomplete;

    /// Hydrogens added, per residue type name.
    std::map<std::string, std::size_t> hydrogensAdded;
    /// Hydrogens whose placement failed and that were dropped, one line each.
    std::vector<std::string> hydrogensNotPlaced;
    /// Hydrogens renamed to the templates' names, "from -> to" with how often.
    std::map<std::string, std::size_t> hydrogensRenamed;
    /// Hydrogens of the input that no naming convention explains, kept as they are, one line each.
    std::vector<std::string> unknownHydrogens;

    /// Other things worth telling the user, one line each, lower case.
    std::vector<std::string> warnings;
};

/// How the host's hydrogen command chooses protonation states.
struct ProtonationSettings {
    enum class PkaSource { Model, Propka };
    double ph = 7.0;
    /// Model: fixed model pKa values per group; Propka: values from PROPKA 3, run as a program.
    PkaSource pkaSource = PkaSource::Model;
    /// The PROPKA program to run for PkaSource::Propka.
    std::string propkaProgram = "propka3";
};

}  // namespace HostModel
