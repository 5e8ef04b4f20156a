// Passes finished parts of a model (gemmi::Chain) from the thread that reads the text to the
// thread that builds the tree, in the order they were read, so that the two run side by side on
// a large file. Parts in flight are bounded by their atoms: a reader faster than the builder
// waits instead of holding a second copy of the structure. Converted parts come back to the
// reader, whose atom storage it reuses.
#pragma once

#include <gemmi/model.hpp>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>

namespace HostIO {

class PartHandoff {
public:
    explicit PartHandoff(std::size_t atomsInFlight) : atomsInFlight_(atomsInFlight) {}

    // The reader's side.

    /// Queues part, leaving it empty or holding a converted part whose storage the reader may
    /// reuse. Waits while the parts queued hold more atoms than the bound (a single larger part
    /// still passes). Returns false, leaving part as it was, once the builder has stopped.
    bool Push(gemmi::Chain& part, std::size_t atoms);
    /// No more parts; error, when set, is rethrown to the builder after the parts before it.
    void Close(std::exception_ptr error = nullptr);

    // The builder's side.

    /// The next part, in reading order, and its atoms. Returns false once the reader has closed
    /// and every part is taken; rethrows the reader's error at that point.
    bool Pop(gemmi::Chain& part, std::size_t& atoms);
    /// Hands a converted part back to the reader and releases its atoms from the bound.
    void Return(gemmi::Chain&& part, std::size_t atoms);
    /// The builder gives up (it failed): a waiting reader returns from Push with false.
    void Stop();

private:
    struct Queued {
        gemmi::Chain part{""};
        std::size_t atoms = 0;
    };

    const std::size_t atomsInFlight_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Queued> full_;
    std::deque<gemmi::Chain> converted_;
    std::size_t atomsQueued_ = 0;
    bool closed_ = false;
    bool stopped_ = false;
    std::exception_ptr error_;
};

}  // namespace HostIO
