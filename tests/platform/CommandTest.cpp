// The command framework: Execute runs Do after clearing the previous error; defaults.
#include "HostModel/ChemDoc.h"
#include "HostModel/Command.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace HostModel;

class ScriptedCommand : public Command {
public:
    explicit ScriptedCommand(bool result, std::string error = {}) : result_(result), error_(std::move(error)) {}
    Command* Copy() const override { return new ScriptedCommand(result_, error_); }
    const char* GetName() const override { return "Apply Scripted Templates"; }

    std::vector<std::string> errorsSeenInDo;
    std::vector<ChemDoc*> docsSeen;

protected:
    bool Do(ChemDoc* doc) override {
        errorsSeenInDo.push_back(GetErrorMessage());
        docsSeen.push_back(doc);
        if (!error_.empty()) SetErrorMessage(error_);
        return result_;
    }

private:
    bool result_;
    std::string error_;
};

class OtherCommand : public Command {
public:
    Command* Copy() const override { return new OtherCommand(); }
    const char* GetName() const override { return "Other"; }
    const char* GetCommand() const override { return "other"; }

protected:
    bool Do(ChemDoc*) override { return true; }
};

TEST(Command, ExecuteClearsThePreviousErrorBeforeDo) {
    ChemDoc doc;
    ScriptedCommand command(false, "Template file 'x.crg' could not be found.");
    command.SetErrorMessage("stale");
    EXPECT_FALSE(command.Execute(&doc));
    EXPECT_FALSE(doc.Execute(command));
    ASSERT_EQ(command.errorsSeenInDo.size(), 2u);
    EXPECT_EQ(command.errorsSeenInDo[0], "");
    EXPECT_EQ(command.errorsSeenInDo[1], "");  // the first run's error was cleared too
    EXPECT_EQ(command.docsSeen, (std::vector<ChemDoc*>{&doc, &doc}));
    EXPECT_EQ(command.GetErrorMessage(), "Template file 'x.crg' could not be found.");
    EXPECT_EQ(command.GetErrorString(), "Apply Scripted Templates: Template file 'x.crg' could not be found.");
}

TEST(Command, SuccessfulRunLeavesNoError) {
    ChemDoc doc;
    ScriptedCommand command(true);
    command.SetErrorMessage("old failure");
    EXPECT_TRUE(command.Execute(&doc));
    EXPECT_EQ(command.GetErrorMessage(), "");
    EXPECT_EQ(command.GetErrorString(), "");
}

TEST(Command, SuitsAnyDocumentButNoneAndScriptsUnderItsName) {
    ChemDoc doc;
    ScriptedCommand command(true);
    EXPECT_FALSE(command.IsSuitable(nullptr));
    EXPECT_TRUE(command.IsSuitable(&doc));
    EXPECT_STREQ(command.GetCommand(), "Apply Scripted Templates");
}

TEST(Command, CopiesAreOfTheSameKind) {
    ScriptedCommand command(true, "e");
    const std::unique_ptr<Command> copy(command.Copy());
    OtherCommand other;
    EXPECT_TRUE(copy->IsSameKind(command));
    EXPECT_TRUE(copy->IsEqual(command));
    EXPECT_FALSE(other.IsSameKind(command));
    EXPECT_FALSE(command.IsEqual(other));
    EXPECT_STREQ(copy->GetName(), command.GetName());
    EXPECT_STREQ(other.GetCommand(), "other");
}

}  // namespace
