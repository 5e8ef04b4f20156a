// What the assignment tests compare: every property of a document, after the passes in turn or
// after one walk, on corpus structures prepared as amber prepares them.
#pragma once

#include "chem/ChemTestSupport.h"

#include "apply/TemplateApplicator.h"
#include "commands/TemplateSetCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace AssignmentTest {

using Pass = Voltra::TemplateApplicator::Pass;

// Every property of every object below the root, one line each, in tree and property order;
// texts with their pool ids when withTextIds.
inline std::vector<std::string> PropertyLines(const HostModel::Object& root, bool withTextIds = false) {
    std::vector<std::string> lines;
    HostModel::DescendentIterator it(&root, HostModel::Object::classType);
    while (const HostModel::Object* object = it.GetNext()) {
        for (const HostModel::PropertyView& p : object->GetProperties()) {
            HostModel::PropertyTextId id = 0;
            const bool text =
                withTextIds && object->Properties().GetTextId(*HostModel::PropertyNames::Find(p.name), id);
            lines.push_back(object->GetLabel() + " " + p.name + " " + std::to_string(static_cast<int>(p.kind)) + " " +
                            std::to_string(p.flags) + " " + std::to_string(p.number) + " " + p.text +
                            (text ? " #" + std::to_string(id) : ""));
        }
    }
    return lines;
}

struct SetCase {
    const char* name;
    std::vector<std::pair<const char*, bool>> files;  // file, charge
};

inline std::vector<Pass> PassesOf(const SetCase& set) {
    std::vector<Pass> passes;
    for (const auto& [file, charge] : set.files) passes.push_back({ChemTest::ShippedTemplate(file), charge});
    return passes;
}

// The structures read one after the other into the document (a molecule each), with hydrogens.
inline void ReadPrepared(HostModel::ChemDoc& doc, const std::vector<const char*>& structures) {
    for (const char* structure : structures) HostIO::ReadStructure(doc, ChemTest::CorpusPath(structure));
    ASSERT_TRUE(Voltra::AddAndNameHydrogens(1, &doc));
}

// The reset, then each pass in turn, as the commands did before one walk did them all.
inline void ApplyInTurn(HostModel::ChemDoc& doc, const std::vector<Pass>& passes) {
    Voltra::ResetTemplateProperties(&doc);
    Voltra::TemplateApplicator applicator(&doc);
    for (const Pass& pass : passes) {
        if (pass.charge) applicator.ApplyChargeTemplate(pass.values);
        else applicator.ApplyRadiusTemplate(pass.values);
    }
}

inline void ApplyInOneWalk(HostModel::ChemDoc& doc, const std::vector<Pass>& passes) {
    Voltra::TemplateApplicator applicator(&doc);
    applicator.ResetAndApply(passes);
}

}  // namespace AssignmentTest
