// Passes finished parts of a model from the thread that reads the text to the thread that builds
// the tree, in the order they were read, so that the two run side by side on a large file. Parts
// in flight are bounded by their atoms, so that a reader faster than the builder waits instead
// of running ahead through the file. Taken parts come back to the reader, which may reuse their
// storage.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>

namespace HostIO {

template <class Part>
class PartHandoff {
public:
    explicit PartHandoff(std::size_t atomsInFlight) : atomsInFlight_(atomsInFlight) {}

    // The reader's side.

    /// Queues part, leaving it as a default Part or a part the builder has handed back. Waits
    /// while the parts queued and being built hold more atoms than the bound (a single larger
    /// part still passes). Returns false, leaving part as it was, once the builder has stopped.
    bool Push(Part& part, std::size_t atoms) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock,
                      [&] { return stopped_ || atomsQueued_ == 0 || atomsQueued_ + atoms <= atomsInFlight_; });
        if (stopped_) return false;
        full_.push_back(Queued{std::move(part), atoms});
        queuedParts_ = full_.size();
        atomsQueued_ += atoms;
        part = Part();
        if (!returned_.empty()) {
            part = std::move(returned_.front());
            returned_.pop_front();
        }
        changed_.notify_all();
        return true;
    }

    /// Whether no part waits for the builder now (it may be busy with one): a hint (it may
    /// change at once) for a reader that can hand over work.
    bool NothingQueued() const { return queuedParts_ == 0; }

    /// No more parts; error, when set, is rethrown to the builder after the parts before it.
    void Close(std::exception_ptr error = nullptr) {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        error_ = std::move(error);
        changed_.notify_all();
    }

    // The builder's side.

    /// The next part, in reading order, and its atoms. Returns false once the reader has closed
    /// and every part is taken; rethrows the reader's error at that point.
    bool Pop(Part& part, std::size_t& atoms) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !full_.empty(); });
        if (full_.empty()) {
            if (error_) std::rethrow_exception(error_);
            return false;
        }
        part = std::move(full_.front().part);
        atoms = full_.front().atoms;
        full_.pop_front();
        queuedParts_ = full_.size();
        return true;
    }

    /// Hands a built part back to the reader and releases its atoms from the bound.
    void Return(Part&& part, std::size_t atoms) {
        std::lock_guard<std::mutex> lock(mutex_);
        atomsQueued_ -= atoms;
        returned_.push_back(std::move(part));
        changed_.notify_all();
    }

    /// The builder gives up (it failed): a waiting reader returns from Push with false.
    void Stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

private:
    struct Queued {
        Part part;
        std::size_t atoms = 0;
    };

    const std::size_t atomsInFlight_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Queued> full_;
    std::deque<Part> returned_;
    std::size_t atomsQueued_ = 0;
    bool closed_ = false;
    bool stopped_ = false;
    std::atomic<std::size_t> queuedParts_{0};
    std::exception_ptr error_;
};

}  // namespace HostIO
