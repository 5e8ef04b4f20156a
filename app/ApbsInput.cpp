#include "ApbsInput.h"

#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/PropertyStore.h"

#include <algorithm>
#include <boost/format.hpp>
#include <filesystem>
#include <stdexcept>

namespace VoltraApp {
namespace {

// psize's constants.
constexpr double kCoarseFactor = 1.7;
constexpr double kFineAddition = 20.0;  // Å
constexpr double kSpacing = 0.5;        // Å
constexpr double kBytesPerPoint = 200.0;
constexpr double kMemoryCeiling = 400.0;  // MB
constexpr double kMinimumExtent = 0.1;    // Å; a single atom still gets a grid

int PointsFor(double length) {
    const int spaced = static_cast<int>(length / kSpacing + 0.5);
    const int points = 32 * static_cast<int>((spaced - 1) / 32.0 + 0.5) + 1;
    return std::max(points, 33);
}

double MegabytesFor(const std::array<int, 3>& points) {
    return kBytesPerPoint * points[0] * points[1] * points[2] / 1024.0 / 1024.0;
}

std::string Triple(const std::array<double, 3>& v) {
    return (boost::format("%.4f %.4f %.4f") % v[0] % v[1] % v[2]).str();
}

// The settings both calculations share; they differ in solvent dielectric and ions only.
std::string ElecBlock(const std::string& name, const std::string& comment, const ApbsGrid& grid,
                      double solventDielectric, bool ions) {
    std::string text = "elec name " + name + "  # " + comment + "\n";
    text += "    mg-auto\n";
    text += (boost::format("    dime %d %d %d\n") % grid.points[0] % grid.points[1] % grid.points[2]).str();
    text += "    cglen " + Triple(grid.coarse) + "\n";
    text += "    fglen " + Triple(grid.fine) + "\n";
    text +=
        "    cgcent mol 1\n"
        "    fgcent mol 1\n"
        "    mol 1\n"
        "    lpbe\n"
        "    bcfl sdh\n";
    if (ions) {
        text +=
            "    ion charge 1 conc 0.150 radius 2.0\n"
            "    ion charge -1 conc 0.150 radius 2.0\n";
    }
    text += "    pdie 2.0000\n";
    text += (boost::format("    sdie %.4f\n") % solventDielectric).str();
    text +=
        "    srfm smol\n"
        "    chgm spl2\n"
        "    sdens 10.00\n"
        "    srad 1.40\n"
        "    swin 0.30\n"
        "    temp 298.15\n"
        "    calcenergy total\n"
        "    calcforce no\n"
        "end\n";
    return text;
}

}  // namespace

ApbsGrid SizeApbsGrid(const std::array<double, 3>& low, const std::array<double, 3>& high) {
    ApbsGrid grid;
    for (int k = 0; k < 3; ++k) {
        grid.extent[k] = std::max(high[k] - low[k], kMinimumExtent);
        grid.coarse[k] = grid.extent[k] * kCoarseFactor;
        grid.fine[k] = std::min(grid.extent[k] + kFineAddition, grid.coarse[k]);
        grid.points[k] = PointsFor(grid.fine[k]);
    }
    // Too large for memory: psize takes 32 points off the largest side until the grid fits.
    while (MegabytesFor(grid.points) >= kMemoryCeiling) {
        auto largest = std::max_element(grid.points.begin(), grid.points.end());
        if (*largest <= 33) break;
        *largest = 32 * ((*largest - 1) / 32 - 1) + 1;
    }
    return grid;
}

ApbsGrid SizeApbsGrid(const HostModel::ChemDoc& doc) {
    using namespace HostModel;
    std::array<double, 3> low{1e300, 1e300, 1e300};
    std::array<double, 3> high{-1e300, -1e300, -1e300};
    bool any = false;
    if (doc.GetTreeRoot()) {
        const PropertyNameId radiusName = PropertyNames::Intern(Voltra::kRadiusPropertyName);
        DescendentIterator atoms(doc.GetTreeRoot(), Atom::classType);
        while (Object* object = atoms.GetNext()) {
            const auto& atom = static_cast<const Atom&>(*object);
            float radius = 0.0f;
            atom.Properties().GetFloat(radiusName, radius);
            const Vec3& p = atom.GetPosition();
            const double centre[3] = {p.x, p.y, p.z};
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], centre[k] - radius);
                high[k] = std::max(high[k], centre[k] + radius);
            }
            any = true;
        }
    }
    if (!any) throw std::invalid_argument("the structure has no atoms to put on a grid");
    return SizeApbsGrid(low, high);
}

std::string ApbsInputText(const std::string& pqrName, const ApbsGrid& grid) {
    std::string text = "# APBS input written by voltra: solvation energy of " + pqrName + "\n";
    text += "read\n    mol pqr " + pqrName + "\nend\n";
    text += ElecBlock("solvated", "water with 0.15 M of monovalent ions", grid, 78.54, true);
    text += ElecBlock("reference", "the solute's dielectric throughout, no ions", grid, 2.0, false);
    text += "print elecEnergy solvated - reference end\n";
    text += "quit\n";
    return text;
}

std::string PqrNameForApbs(const std::string& pqrPath, const std::string& apbsInputPath) {
    namespace fs = std::filesystem;
    const fs::path pqr = fs::absolute(pqrPath).lexically_normal();
    const fs::path apbs = fs::absolute(apbsInputPath).lexically_normal();
    const std::string name = pqr.parent_path() == apbs.parent_path() ? pqr.filename().string() : pqr.string();
    if (name.find_first_of(" \t\r\n") != std::string::npos) {
        throw std::invalid_argument("APBS cannot read a PQR path with white space: '" + name + "'");
    }
    return name;
}

}  // namespace VoltraApp
