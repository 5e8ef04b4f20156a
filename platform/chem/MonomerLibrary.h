// The CCP4 monomer library (Debian's refmac-dictionary) as gemmi chemical components, read on
// first use, with the repairs that the packaged files need. Internal to the platform: it hands
// out gemmi types, so only the platform's chemistry files include it.
#pragma once

#include <gemmi/chemcomp.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace HostChem {

/// The folder of the library: $VOLTRA_MONOMER_LIBRARY when set, else /usr/share/refmac/monomers.
std::string DefaultMonomerFolder();

class MonomerLibrary {
public:
    explicit MonomerLibrary(std::string folder = DefaultMonomerFolder());

    /// True when the folder exists (the package is installed).
    bool IsAvailable() const;
    const std::string& GetFolder() const { return folder_; }

    /// The component of that name (upper case, as the PDB spells it), or null when the library
    /// has no file for it. Throws std::runtime_error "<file>: <what>" when the file exists but
    /// cannot be read as a monomer. Safe to call from several threads.
    const gemmi::ChemComp* Find(const std::string& name);

    /// The file that holds a monomer: <folder>/<first letter, lower case>/<NAME>.cif, or
    /// <NAME>_<NAME>.cif for names that are reserved device names on some systems (CON, PRN).
    std::string FindFile(const std::string& name) const;

    /// Mends the defects of refmac-dictionary 5.41 in a file's text: stray characters before the
    /// first '#' or data_ line (h/HIS.cif starts with "f#"), and the bond type "sinlge" (t/TRP.cif).
    static std::string RepairText(std::string text);

private:
    std::string folder_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<gemmi::ChemComp>> cache_;  // null: no such monomer
};

/// The library the host's commands share, made on first use.
MonomerLibrary& SharedMonomerLibrary();

}  // namespace HostChem
