// What the host sees of the six commands: names, copies and the framework values it acts on.
#include "commands/CmdApplyAmberPlusDefaultTemplates.h"
#include "commands/CmdApplyDefaultTemplates.h"
#include "commands/CmdApplyForcefieldTemplates.h"
#include "commands/CmdApplyParseTemplates.h"
#include "commands/CmdInvalidateTemplates.h"
#include "commands/CmdZeroVoltraCharges.h"

#include <gtest/gtest.h>

#include <memory>
#include <typeinfo>
#include <vector>

namespace {

struct Shape {
    std::shared_ptr<HostModel::Command> command;
    const char* name;
    unsigned updateHint;
    int checkpoint;
    bool undoable;
};

std::vector<Shape> Shapes() {
    return {
        {std::make_shared<Voltra::CmdApplyDefaultTemplates>(), "Voltra Default Charge and Size", 0x7FFFFF, 2, true},
        {std::make_shared<Voltra::CmdApplyAmberPlusDefaultTemplates>(), "Amber + Default", 0x7FFFFF, 2, true},
        {std::make_shared<Voltra::CmdApplyParseTemplates>(), "Parse", 0x7FFFFF, 2, true},
        {std::make_shared<Voltra::CmdApplyForcefieldTemplates>(), "Apply Forcefield Parameters", 0x7FFFFF, 2, true},
        {std::make_shared<Voltra::CmdZeroVoltraCharges>(), "Zero Charges", 0x400, 0, true},
        {std::make_shared<Voltra::CmdInvalidateTemplates>(), "Invalidate Electrostatics Templates", 0x7FFFFF, 2, false},
    };
}

TEST(CommandShape, NamesComeFromTheMessageTableAndKeepTheirAddress) {
    for (const Shape& s : Shapes()) {
        const char* first = s.command->GetName();
        EXPECT_STREQ(first, s.name);
        EXPECT_EQ(s.command->GetName(), first) << s.name;
        // Another instance of the class shares the cached name.
        std::unique_ptr<HostModel::Command> copy(s.command->Copy());
        EXPECT_EQ(copy->GetName(), first) << s.name;
        EXPECT_STREQ(s.command->GetCommand(), s.name);
    }
}

TEST(CommandShape, FrameworkValues) {
    for (const Shape& s : Shapes()) {
        EXPECT_EQ(static_cast<unsigned>(s.command->GetUpdateHint()), s.updateHint) << s.name;
        EXPECT_EQ(static_cast<int>(s.command->WantsCheckpoint()), s.checkpoint) << s.name;
        EXPECT_EQ(s.command->IsUndoable(), s.undoable) << s.name;
    }
}

TEST(CommandShape, CopyIsAFreshInstanceOfTheSameClass) {
    for (const Shape& s : Shapes()) {
        s.command->SetErrorMessage("left from an earlier run");
        std::unique_ptr<HostModel::Command> copy(s.command->Copy());
        ASSERT_NE(copy.get(), s.command.get());
        EXPECT_EQ(typeid(*copy), typeid(*s.command)) << s.name;
        EXPECT_EQ(copy->GetErrorMessage(), "") << s.name << ": state carried over";
        EXPECT_TRUE(copy->IsEqual(*s.command)) << s.name;
    }
}

}  // namespace
