// Splits a read-mostly walk over a structure's residues between the calling thread and one more:
// the steps that look at a million atoms wait mostly on memory, which two cores fetch twice as
// fast. The work on each half must touch nothing the other half's work writes.
#pragma once

#include <cstddef>
#include <exception>
#include <thread>

namespace HostChem {

/// Below this many residues the walk stays on the calling thread: starting a thread costs more
/// than a few thousand residues take.
constexpr std::size_t kResiduesWorthASecondThread = 2000;

/// Calls work(begin, end, part) for [0, half) on the calling thread (part 0) and [half, count) on
/// another (part 1), or once for [0, count) when count is small; returns when both are done and
/// rethrows what either threw, the first half's first.
template <class Work>
void RunInTwoHalves(std::size_t count, Work&& work) {
    const std::size_t half = count > kResiduesWorthASecondThread ? count / 2 : count;
    std::exception_ptr failures[2];
    std::thread second;
    if (half < count) {
        second = std::thread([&] {
            try {
                work(half, count, 1);
            } catch (...) {
                failures[1] = std::current_exception();
            }
        });
    }
    try {
        work(std::size_t{0}, half, 0);
    } catch (...) {
        failures[0] = std::current_exception();
    }
    if (second.joinable()) second.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
}

}  // namespace HostChem
