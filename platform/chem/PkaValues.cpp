#include "chem/PkaValues.h"

#include "chem/PackedName.h"

namespace HostChem {

std::optional<TitratableGroup> SideChainGroup(const std::string& residueType) {
    // Asked of every amino acid of a structure: one integer switch instead of seven compares.
    switch (PackName(residueType)) {
        case PackName("ASP"): return TitratableGroup::Asp;
        case PackName("GLU"): return TitratableGroup::Glu;
        case PackName("HIS"): return TitratableGroup::His;
        case PackName("CYS"): return TitratableGroup::Cys;
        case PackName("TYR"): return TitratableGroup::Tyr;
        case PackName("LYS"): return TitratableGroup::Lys;
        case PackName("ARG"): return TitratableGroup::Arg;
        default: return std::nullopt;
    }
}

double ModelPka(TitratableGroup group) {
    switch (group) {
        case TitratableGroup::Asp: return 3.8;
        case TitratableGroup::Glu: return 4.5;
        case TitratableGroup::His: return 6.5;
        case TitratableGroup::Cys: return 9.0;
        case TitratableGroup::Tyr: return 10.0;
        case TitratableGroup::Lys: return 10.5;
        case TitratableGroup::Arg: return 12.5;
        case TitratableGroup::NTerminus: return 8.0;
        case TitratableGroup::CTerminus: return 3.2;
    }
    return 7.0;
}

double PkaTable::Get(const HostModel::Residue* residue, TitratableGroup group) const {
    const auto found = values_.find({residue, group});
    return found != values_.end() ? found->second : ModelPka(group);
}

}  // namespace HostChem
