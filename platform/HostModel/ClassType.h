// Run-time class identity of document objects; a class knows its base, so tests respect inheritance.
#pragma once

#include "HostApi.h"

#include <cstdint>

namespace HostModel {

/// A set of classes, one bit each, for telling cheaply that a subtree holds none of a class.
using ClassKinds = std::uint16_t;
constexpr ClassKinds kAllClassKinds = 0xFFFF;

struct ClassInfo {
    const char* name;
    const ClassInfo* base;  // null for the root class Object
    ClassKinds bit = 0;     // this class's own bit, distinct per class; 0: none given, so it may be any
};

/// Identifies a class of the document tree; compare with IsA, not ==, to include subclasses.
using ClassType = const ClassInfo*;

/// True when type is base or derives from it. Inline: every step of a tree walk asks it.
inline bool IsKindOf(ClassType type, ClassType base) {
    for (ClassType t = type; t; t = t->base) {
        if (t == base) return true;
    }
    return false;
}

/// The bits of type and all its bases: an object of type is an instance of each of them. A class
/// without a bit of its own in its line makes this every bit, which never rules anything out.
HOST_API ClassKinds KindsOf(ClassType type);

/// The bit an object of type or a subclass must have in its KindsOf; every bit when type has none.
inline ClassKinds KindBitOf(ClassType type) { return type && type->bit ? type->bit : kAllClassKinds; }

}  // namespace HostModel
