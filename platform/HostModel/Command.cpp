#include "HostModel/Command.h"

#include <typeinfo>

namespace HostModel {

Command::~Command() = default;

bool Command::CanMerge(const Command& /*other*/) const { return false; }

bool Command::DisplayWaitCursor() const { return true; }

bool Command::Execute(ChemDoc* doc) {
    errorMessage_.clear();
    return Do(doc);
}

CStringT Command::GetErrorMessage() const { return errorMessage_; }

CStringT Command::GetErrorString() const {
    if (errorMessage_.empty()) return {};
    return CStringT(GetName()) + ": " + errorMessage_;
}

CStringT Command::GetResultString() const { return {}; }

Command::UpdateHint Command::GetUpdateHint() const { return UpdateEverything; }

bool Command::HasCheckpoint() const { return false; }

bool Command::IsPrivate() const { return false; }

bool Command::IsSuitable(const ChemDoc* doc) const { return doc != nullptr; }

bool Command::IsUndoable() const { return true; }

bool Command::Merge(const Command& /*other*/) { return false; }

void Command::SetErrorMessage(const CStringT& message) { errorMessage_ = message; }

Command::HowBadly Command::WantsCheckpoint() const { return CheckpointIfCheap; }

bool Command::IsEqual(const Command& other) const { return IsSameKind(other); }

bool Command::IsSameKind(const Command& other) const { return typeid(*this) == typeid(other); }

const char* Command::GetCommand() const { return GetName(); }

}  // namespace HostModel
