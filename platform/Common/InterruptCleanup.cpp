#include "Common/InterruptCleanup.h"

#include <atomic>
#include <cstring>

#include <stdio.h>
#include <unistd.h>

namespace Common {
namespace {

// A fixed table of atomics: a signal handler can neither lock nor allocate.
struct Slot {
    std::atomic<bool> claimed{false};
    std::atomic<const char*> path{nullptr};  // set last, cleared first: a slot acts only with a path
    std::atomic<const char*> target{nullptr};
    std::atomic<int> action{0};
};

static_assert(std::atomic<const char*>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free,
              "the cleanup table is read from a signal handler");

constexpr int kSlotCount = 64;
Slot slots[kSlotCount];
// Once cleanup has begun, released names are never freed: the handler may still read them, and
// the process ends right after it.
std::atomic<bool> cleanupStarted{false};

std::unique_ptr<char[]> CopyOf(const std::string& text) {
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

}  // namespace

InterruptGuard::InterruptGuard(const std::string& path, Action action, const std::string& target) {
    for (int i = 0; i < kSlotCount; ++i) {
        bool expected = false;
        if (slots[i].claimed.compare_exchange_strong(expected, true)) {
            slot_ = i;
            break;
        }
    }
    if (slot_ < 0) return;
    path_ = CopyOf(path);
    if (!target.empty()) target_ = CopyOf(target);
    Slot& slot = slots[slot_];
    slot.target.store(target_.get());
    slot.action.store(static_cast<int>(action));
    slot.path.store(path_.get());
}

InterruptGuard::InterruptGuard(InterruptGuard&& other) noexcept
    : slot_(other.slot_), path_(std::move(other.path_)), target_(std::move(other.target_)) {
    other.slot_ = -1;
}

InterruptGuard& InterruptGuard::operator=(InterruptGuard&& other) noexcept {
    if (this != &other) {
        Release();
        slot_ = other.slot_;
        path_ = std::move(other.path_);
        target_ = std::move(other.target_);
        other.slot_ = -1;
    }
    return *this;
}

void InterruptGuard::SetAction(Action action) {
    if (slot_ >= 0) slots[slot_].action.store(static_cast<int>(action));
}

void InterruptGuard::Release() noexcept {
    if (slot_ < 0) return;
    Slot& slot = slots[slot_];
    slot.path.store(nullptr);
    slot.target.store(nullptr);
    if (cleanupStarted.load()) {
        (void)path_.release();
        (void)target_.release();
    }
    path_.reset();
    target_.reset();
    slot.claimed.store(false);
    slot_ = -1;
}

void RunInterruptCleanup() noexcept {
    cleanupStarted.store(true);
    for (Slot& slot : slots) {
        const char* path = slot.path.load();
        if (!path) continue;
        const char* target = slot.target.load();
        if (slot.action.load() == static_cast<int>(InterruptGuard::Action::MoveBack)) {
            if (!target) continue;
            ::rename(path, target);
        }
        ::unlink(path);
    }
}

}  // namespace Common
