// Repairs to the file system that must happen even when the program is killed by a signal:
// temporary files to remove, and backup links to move back over the files they saved.
#pragma once

#include "HostApi.h"

#include <memory>
#include <string>

namespace Common {

/// Registers one repair for as long as it lives (or until Release): remove `path`, or rename
/// `path` back over `target`. RunInterruptCleanup performs the repairs of every live guard.
/// The table holds 64 guards; beyond that a guard registers nothing, so cleanup of that file is
/// not guaranteed (this program never has more than a few outputs pending).
class HOST_API InterruptGuard {
public:
    enum class Action : int { Remove, MoveBack };

    InterruptGuard() = default;  // guards nothing
    InterruptGuard(const std::string& path, Action action, const std::string& target = {});
    ~InterruptGuard() { Release(); }
    InterruptGuard(InterruptGuard&& other) noexcept;
    InterruptGuard& operator=(InterruptGuard&& other) noexcept;
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    /// MoveBack needs the target given at construction.
    void SetAction(Action action);
    /// The repair is no longer needed (the file was renamed into place or removed).
    void Release() noexcept;

private:
    int slot_ = -1;
    std::unique_ptr<char[]> path_;
    std::unique_ptr<char[]> target_;
};

/// Performs every registered repair: unlink for Remove; for MoveBack, rename and then unlink
/// the path (rename does nothing when both names are links to one file, as before the target
/// was replaced). Async-signal-safe (lock-free atomics, unlink, rename): meant for the handler
/// of SIGINT, SIGTERM and SIGHUP that the program installs, run on the thread that writes files.
HOST_API void RunInterruptCleanup() noexcept;

}  // namespace Common
