#include "Common/HelperThread.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace Common {

struct KeptHelper {
    std::mutex mutex;
    std::condition_variable given, finished;
    void (*run)(void*) = nullptr;  // the call in hand; null while idle
    void* context = nullptr;

    // Helpers live as long as the process: a thread asleep here when it ends is simply gone.
    [[noreturn]] void Serve() noexcept {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            given.wait(lock, [this] { return run != nullptr; });
            void (*const call)(void*) = run;
            void* const argument = context;
            lock.unlock();
            call(argument);
            lock.lock();
            run = nullptr;
            finished.notify_all();
        }
    }
};

namespace {

class HelperPool {
public:
    KeptHelper* Take();
    void KeepOneReady() noexcept;
    void Give(KeptHelper* helper) {
        std::lock_guard<std::mutex> lock(mutex_);
        idle_.push_back(helper);
    }

private:
    std::mutex mutex_;
    std::vector<KeptHelper*> idle_;
    bool made_ = false;  // a helper has been made
};

// Never destroyed: helpers may still sleep on it while static objects are torn down.
HelperPool& Pool() {
    static HelperPool* const pool = new HelperPool();
    return *pool;
}

}  // namespace

KeptHelper* HelperPool::Take() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!idle_.empty()) {
            KeptHelper* helper = idle_.back();
            idle_.pop_back();
            return helper;
        }
    }
    auto* helper = new KeptHelper();
    try {
        std::thread(&KeptHelper::Serve, helper).detach();
    } catch (...) {
        delete helper;
        throw;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    made_ = true;
    return helper;
}

void HelperPool::KeepOneReady() noexcept {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (made_) return;
    }
    try {
        Give(Take());
    } catch (...) {
        // No thread to be had now: the first call tries again.
    }
}

HelperCall::HelperCall(void (*run)(void*), void* context) : helper_(Pool().Take()) {
    {
        std::lock_guard<std::mutex> lock(helper_->mutex);
        helper_->run = run;
        helper_->context = context;
    }
    helper_->given.notify_one();
}

HelperCall::~HelperCall() { Wait(); }

void KeepAHelperReady() noexcept { Pool().KeepOneReady(); }

void HelperCall::Wait() {
    if (!helper_) return;
    {
        std::unique_lock<std::mutex> lock(helper_->mutex);
        helper_->finished.wait(lock, [this] { return helper_->run == nullptr; });
    }
    Pool().Give(helper_);
    helper_ = nullptr;
}

}  // namespace Common
