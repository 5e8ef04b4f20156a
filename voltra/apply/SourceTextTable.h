// The Source texts one assignment can write, interned before its atoms are walked: walks on
// several threads then only read the pool, and a text's id does not depend on which thread met
// it first.
#pragma once

#include "HostModel/PropertyStore.h"

#include <vector>

namespace Voltra {

class Template;

class SourceTextTable {
public:
    /// Interns "Missing", each template's Source name, "HST" for element-keyed templates (what
    /// a lookup may answer), and every "<charge> + <radius>" pair of them, where a template
    /// writes the charge Source when its Source property is the charge template's.
    explicit SourceTextTable(const std::vector<const Template*>& templates);

    /// The id of "<charge> + <radius>". A pair not foreseen (texts another writer left) is
    /// interned on the spot, under the pool's lock.
    HostModel::PropertyTextId Combined(HostModel::PropertyTextId charge, HostModel::PropertyTextId radius) const;

private:
    struct Pair {
        HostModel::PropertyTextId charge;
        HostModel::PropertyTextId radius;
        HostModel::PropertyTextId combined;
    };
    std::vector<Pair> pairs_;  // a dozen at most: searched in order
};

}  // namespace Voltra
