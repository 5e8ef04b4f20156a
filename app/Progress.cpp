#include "Progress.h"

#include <cstdio>
#include <unistd.h>

namespace VoltraApp {
namespace {
constexpr auto kQuietPeriod = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(250);
}  // namespace

Progress::Progress(bool enabled) : enabled_(enabled), start_(std::chrono::steady_clock::now()) {
    if (enabled_) thread_ = std::thread([this] { Run(); });
}

Progress::~Progress() { Finish(); }

bool Progress::ShouldShow(bool quiet) { return !quiet && isatty(STDERR_FILENO) == 1; }

void Progress::Stage(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    stage_ = name;
}

void Progress::Finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (done_) return;
        done_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (drawn_) std::fprintf(stderr, "\r\033[K");
}

void Progress::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, kQuietPeriod, [this] { return done_; })) return;
    while (!done_) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::fprintf(stderr, "\r\033[Kvoltra: %s... %.1f s", stage_.c_str(), seconds);
        std::fflush(stderr);
        drawn_ = true;
        wake_.wait_for(lock, kRedrawEvery, [this] { return done_; });
    }
}

}  // namespace VoltraApp
