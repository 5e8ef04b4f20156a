// The host's command framework: a command checks whether it suits a document and runs on it.
#pragma once

#include "HostApi.h"
#include "HostModel/Object.h"

namespace HostModel {

class ChemDoc;

class HOST_API Command {
public:
    /// What the views must refresh after the command; bits combine.
    enum UpdateHint : unsigned {
        UpdateNothing = 0,
        UpdateProperties = 0x400,
        UpdateEverything = 0x7FFFFF,
    };
    /// How much the command wants an undo checkpoint before it runs.
    enum HowBadly : int { CheckpointNever = 0, CheckpointIfCheap = 1, CheckpointAlways = 2 };

    Command() = default;
    virtual ~Command();

    virtual bool CanMerge(const Command& other) const;
    virtual bool DisplayWaitCursor() const;
    /// Runs Do on doc after clearing the previous error message; returns Do's result.
    virtual bool Execute(ChemDoc* doc);
    virtual CStringT GetErrorMessage() const;
    /// The error message prefixed with the command's name, for a log line; empty when none.
    virtual CStringT GetErrorString() const;
    virtual CStringT GetResultString() const;
    virtual UpdateHint GetUpdateHint() const;
    virtual bool HasCheckpoint() const;
    virtual bool IsPrivate() const;
    virtual bool IsSuitable(const ChemDoc* doc) const;
    virtual bool IsUndoable() const;
    virtual bool Merge(const Command& other);
    virtual void SetErrorMessage(const CStringT& message);
    virtual HowBadly WantsCheckpoint() const;
    /// Commands of the same class compare equal unless they override these.
    virtual bool IsEqual(const Command& other) const;
    virtual bool IsSameKind(const Command& other) const;
    /// A new heap instance; the caller owns it.
    virtual Command* Copy() const = 0;
    /// The scripting name; the display name by default.
    virtual const char* GetCommand() const;
    /// The display name; the pointer stays valid while the command's library is loaded.
    virtual const char* GetName() const = 0;

protected:
    virtual bool Do(ChemDoc* doc) = 0;

private:
    CStringT errorMessage_;
};

}  // namespace HostModel
