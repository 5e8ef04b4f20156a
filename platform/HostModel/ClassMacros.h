// Boilerplate of a document class's run-time identity; the records live in ClassTypes.cpp.
#pragma once

#include "HostModel/ClassType.h"

#define HOST_DECLARE_CLASS()                       \
    static const ::HostModel::ClassType classType; \
    ::HostModel::ClassType GetClassType() const override { return classType; }
