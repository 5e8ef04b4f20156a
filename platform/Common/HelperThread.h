// Threads kept for the second half of short two-thread steps (RunInTwoHalves and the like).
// A thread made for each step is placed by the system as a new task, by the load its cores
// carried lately: on a two-core machine half of them started on the core of the thread that made
// them, which was busy with the first half, and the halves of a step ran one after the other.
// A kept thread that sleeps between steps is woken onto an idle core.
#pragma once

#include "HostApi.h"

namespace Common {

struct KeptHelper;

/// Runs run(context) on a kept helper thread, one made when none is free; the helper returns
/// to the others once Wait (or the destructor) has seen it finish. run must not throw: a
/// failure is the caller's to carry back. Throws std::system_error when no helper is free and
/// no thread can be made, as std::thread does.
class HOST_API HelperCall {
public:
    HelperCall(void (*run)(void*), void* context);
    ~HelperCall();
    HelperCall(const HelperCall&) = delete;
    HelperCall& operator=(const HelperCall&) = delete;

    /// Returns once run has returned; what it wrote is then visible to this thread.
    void Wait();

private:
    KeptHelper* helper_;
};

/// Makes a helper now, asleep until a call wakes it, unless one is kept already: a program that
/// starts one before its first two-thread step has that step's second half woken onto an idle
/// core too. Does nothing when no thread can be made.
HOST_API void KeepAHelperReady() noexcept;

}  // namespace Common
