// Chains of a molecule: plain chains (waters, ligands), amino-acid and nucleic-acid chains.
#pragma once

#include "HostModel/ClassMacros.h"
#include "HostModel/Object.h"

namespace HostModel {

class HOST_API Chain : public Object {
public:
    HOST_DECLARE_CLASS()
    explicit Chain(CStringT label = {}, int id = 0) : Object(std::move(label), id) {}
};

class HOST_API AminoAcidChain : public Chain {
public:
    HOST_DECLARE_CLASS()
    using Chain::Chain;
};

class HOST_API NucleicAcidChain : public Chain {
public:
    HOST_DECLARE_CLASS()
    using Chain::Chain;
};

}  // namespace HostModel
