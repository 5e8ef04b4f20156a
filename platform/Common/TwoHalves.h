// Splits a walk over many items between the calling thread and one more: walks over a million
// atoms or residues wait mostly on memory, which two cores fetch twice as fast. The work on each
// half must touch nothing the other half's work writes.
#pragma once

#include "Common/HelperThread.h"

#include <cstddef>
#include <exception>
#include <optional>
#include <system_error>

namespace Common {

/// Calls work(begin, end, part) for [0, half) on the calling thread (part 0) and [half, count) on
/// a kept helper thread (part 1, see HelperThread.h), or once for [0, count) (part 0) when count
/// is below worthASecondThread or no thread can be had; returns when both are done and rethrows what either threw, the first
/// half's first.
template <class Work>
void RunInTwoHalves(std::size_t count, std::size_t worthASecondThread, Work&& work) {
    std::size_t half = count >= worthASecondThread ? count / 2 : count;
    std::exception_ptr failures[2];
    auto secondHalf = [&] {
        try {
            work(half, count, 1);
        } catch (...) {
            failures[1] = std::current_exception();
        }
    };
    std::optional<HelperCall> second;
    if (half < count) {
        try {
            second.emplace([](void* call) { (*static_cast<decltype(secondHalf)*>(call))(); }, &secondHalf);
        } catch (const std::system_error&) {
            half = count;  // no second thread: all of it here
        }
    }
    try {
        work(std::size_t{0}, half, 0);
    } catch (...) {
        failures[0] = std::current_exception();
    }
    if (second) second->Wait();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
}

/// Calls work(0) on the calling thread and, when twoThreads, work(1) on a kept helper thread at
/// the same time: for work that the two share out as they go. work(0) alone must be able to do
/// all of it: it is the only call when twoThreads is false or no thread can be had. Returns when
/// both are done and rethrows what either threw, part 0's first.
template <class Work>
void RunOnTwoThreads(bool twoThreads, Work&& work) {
    RunInTwoHalves(2, twoThreads ? 2 : 3, [&](std::size_t, std::size_t, int part) { work(part); });
}

}  // namespace Common
