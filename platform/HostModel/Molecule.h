// A molecule: the unit of visibility and of the Voltra assignment records.
#pragma once

#include "HostModel/ClassMacros.h"
#include "HostModel/Object.h"

namespace HostModel {

class HOST_API Molecule : public Object {
public:
    HOST_DECLARE_CLASS()
    explicit Molecule(CStringT label = {}, int id = 0) : Object(std::move(label), id) {}
};

}  // namespace HostModel
