// pKa values of the titratable groups of amino acids: the fixed model values, and a table of
// per-residue values that a predictor (PROPKA) may fill.
#pragma once

#include "HostApi.h"

#include <map>
#include <optional>
#include <string>

namespace HostModel {
class Residue;
}

namespace HostChem {

enum class TitratableGroup { Asp, Glu, His, Cys, Tyr, Lys, Arg, NTerminus, CTerminus };

/// The group a residue type name carries in its side chain (ASP, GLU, HIS, CYS, TYR, LYS, ARG),
/// or none.
HOST_API std::optional<TitratableGroup> SideChainGroup(const std::string& residueType);

/// PROPKA 3's model pKa of the group in water (the values it starts its prediction from):
/// ASP 3.8, GLU 4.5, HIS 6.5, CYS 9.0, TYR 10.0, LYS 10.5, ARG 12.5, N-terminus 8.0,
/// C-terminus 3.2.
HOST_API double ModelPka(TitratableGroup group);

/// Per-residue pKa values, where a predictor gave one; the model value stands in elsewhere.
class HOST_API PkaTable {
public:
    void Set(const HostModel::Residue* residue, TitratableGroup group, double pka) { values_[{residue, group}] = pka; }
    /// The predicted value, or the model value when there is none.
    double Get(const HostModel::Residue* residue, TitratableGroup group) const;
    std::size_t Size() const { return values_.size(); }

private:
    std::map<std::pair<const HostModel::Residue*, TitratableGroup>, double> values_;
};

}  // namespace HostChem
