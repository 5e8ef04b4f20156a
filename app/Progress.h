// Shows which stage a long run is in, on standard error when that is a terminal.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace VoltraApp {

/// Silent for runs shorter than a second; after that it redraws one status line
/// ("voltra: assigning charges... 2.4 s") until Finish clears it.
class Progress {
public:
    explicit Progress(bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Stage(const std::string& name);
    void Finish();

    /// Whether progress should be shown: standard error is a terminal and not --quiet.
    static bool ShouldShow(bool quiet);

private:
    void Run();

    bool enabled_;
    std::chrono::steady_clock::time_point start_;
    std::string stage_;
    bool done_ = false;
    bool drawn_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

}  // namespace VoltraApp
