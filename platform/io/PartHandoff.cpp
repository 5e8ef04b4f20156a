#include "io/PartHandoff.h"

#include <utility>

namespace HostIO {

bool PartHandoff::Push(gemmi::Chain& part, std::size_t atoms) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || atomsQueued_ == 0 || atomsQueued_ + atoms <= atomsInFlight_; });
    if (stopped_) return false;
    full_.push_back(Queued{std::move(part), atoms});
    atomsQueued_ += atoms;
    part.residues.clear();
    part.name.clear();
    if (!converted_.empty()) {
        part = std::move(converted_.front());
        converted_.pop_front();
    }
    changed_.notify_all();
    return true;
}

void PartHandoff::Close(std::exception_ptr error) {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    error_ = std::move(error);
    changed_.notify_all();
}

bool PartHandoff::Pop(gemmi::Chain& part, std::size_t& atoms) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || !full_.empty(); });
    if (full_.empty()) {
        if (error_) std::rethrow_exception(error_);
        return false;
    }
    part = std::move(full_.front().part);
    atoms = full_.front().atoms;
    full_.pop_front();
    return true;
}

void PartHandoff::Return(gemmi::Chain&& part, std::size_t atoms) {
    std::lock_guard<std::mutex> lock(mutex_);
    atomsQueued_ -= atoms;
    converted_.push_back(std::move(part));
    changed_.notify_all();
}

void PartHandoff::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
}

}  // namespace HostIO
