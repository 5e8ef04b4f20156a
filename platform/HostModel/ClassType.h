// Run-time class identity of document objects; a class knows its base, so tests respect inheritance.
#pragma once

#include "HostApi.h"

namespace HostModel {

struct ClassInfo {
    const char* name;
    const ClassInfo* base;  // null for the root class Object
};

/// Identifies a class of the document tree; compare with IsA, not ==, to include subclasses.
using ClassType = const ClassInfo*;

/// True when type is base or derives from it.
HOST_API bool IsKindOf(ClassType type, ClassType base);

}  // namespace HostModel
