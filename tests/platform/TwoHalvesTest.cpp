// Two-thread steps on kept helper threads: each item visited once, failures carried back, the
// helpers kept between steps and shared safely by callers on several threads.
#include "Common/HelperThread.h"
#include "Common/TwoHalves.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Common::RunInTwoHalves;

// Which part visited each item, and on which thread each part ran.
struct Visits {
    explicit Visits(std::size_t count) : part(count, -1) {}
    std::vector<int> part;
    std::thread::id threadOf[2];
    int calls[2] = {0, 0};
};

Visits Walk(std::size_t count, std::size_t worthASecondThread) {
    Visits visits(count);
    RunInTwoHalves(count, worthASecondThread, [&](std::size_t begin, std::size_t end, int part) {
        ++visits.calls[part];
        visits.threadOf[part] = std::this_thread::get_id();
        for (std::size_t i = begin; i < end; ++i) {
            EXPECT_EQ(visits.part[i], -1) << "item " << i << " visited twice";
            visits.part[i] = part;
        }
    });
    return visits;
}

TEST(TwoHalves, SplitsAtTheMiddleAndRunsTheSecondHalfElsewhere) {
    const Visits visits = Walk(1001, 10);
    for (std::size_t i = 0; i < 1001; ++i) ASSERT_EQ(visits.part[i], i < 500 ? 0 : 1) << i;
    EXPECT_EQ(visits.calls[0], 1);
    EXPECT_EQ(visits.calls[1], 1);
    EXPECT_EQ(visits.threadOf[0], std::this_thread::get_id());
    EXPECT_NE(visits.threadOf[1], std::this_thread::get_id());
}

TEST(TwoHalves, BelowTheThresholdAllOnTheCallingThread) {
    for (std::size_t count : {0u, 1u, 9u}) {
        const Visits visits = Walk(count, 10);
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(visits.part[i], 0);
        EXPECT_EQ(visits.calls[0], 1) << count;
        EXPECT_EQ(visits.calls[1], 0) << count;
    }
}

TEST(TwoHalves, KeepsOneHelperForStepsOneAfterAnother) {
    // Asking for one ready beforehand, however often, adds none beside it.
    for (int i = 0; i < 3; ++i) Common::KeepAHelperReady();
    std::set<std::thread::id> helpers;
    for (int step = 0; step < 20; ++step) helpers.insert(Walk(100, 2).threadOf[1]);
    EXPECT_EQ(helpers.size(), 1u) << "a thread made for each step";
}

TEST(TwoHalves, RethrowsTheFirstHalfsFailureFirstAndWaitsForTheSecond) {
    std::atomic<bool> secondDone{false};
    try {
        RunInTwoHalves(100, 2, [&](std::size_t, std::size_t, int part) {
            if (part == 1) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                secondDone = true;
                throw std::runtime_error("second");
            }
            throw std::logic_error("first");
        });
        FAIL() << "nothing thrown";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "first");
    }
    EXPECT_TRUE(secondDone) << "returned before the second half ended";
    try {
        RunInTwoHalves(100, 2, [](std::size_t, std::size_t, int part) {
            if (part == 1) throw std::runtime_error("second only");
        });
        FAIL() << "nothing thrown";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "second only");
    }
    // The helper that carried a failure serves the next step.
    const Visits after = Walk(100, 2);
    for (std::size_t i = 0; i < 100; ++i) ASSERT_NE(after.part[i], -1);
}

// Steps started at once from several threads, each with steps nested in its halves: every
// caller needs a helper of its own while the others are busy, and none may wait on another.
TEST(TwoHalves, CallersOnSeveralThreadsAndNestedStepsEachGetAHelper) {
    constexpr int kCallers = 4;
    constexpr std::size_t kItems = 2000;
    std::vector<std::vector<std::atomic<int>>> seen(kCallers);
    for (auto& items : seen) items = std::vector<std::atomic<int>>(kItems);
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&, c] {
            for (int round = 0; round < 25; ++round) {
                RunInTwoHalves(kItems, 2, [&](std::size_t begin, std::size_t end, int) {
                    RunInTwoHalves(end - begin, 2, [&](std::size_t b, std::size_t e, int) {
                        for (std::size_t i = begin + b; i < begin + e; ++i) ++seen[c][i];
                    });
                });
            }
        });
    }
    for (std::thread& caller : callers) caller.join();
    for (int c = 0; c < kCallers; ++c)
        for (std::size_t i = 0; i < kItems; ++i) ASSERT_EQ(seen[c][i].load(), 25) << "caller " << c << " item " << i;
}

// Work shared out as it goes: items taken one at a time by whichever part is free.
TEST(TwoHalves, TwoThreadsShareOutWorkAndOneAloneDoesAllOfIt) {
    for (const bool twoThreads : {true, false}) {
        std::atomic<std::size_t> next{0};
        std::vector<int> takenBy(5000, -1);
        std::set<int> parts;
        std::mutex partsMutex;
        Common::RunOnTwoThreads(twoThreads, [&](int part) {
            {
                std::lock_guard<std::mutex> lock(partsMutex);
                parts.insert(part);
            }
            for (std::size_t i = next++; i < takenBy.size(); i = next++) takenBy[i] = part;
        });
        for (std::size_t i = 0; i < takenBy.size(); ++i) ASSERT_NE(takenBy[i], -1) << i;
        const std::set<int> expected = twoThreads ? std::set<int>{0, 1} : std::set<int>{0};
        EXPECT_EQ(parts, expected);
    }
}

TEST(HelperCall, WaitSeesTheHelpersWritesAndTheDestructorWaits) {
    struct Job {
        std::vector<int> values;
        std::thread::id ranOn;
    } job;
    auto fill = [](void* context) {
        auto& j = *static_cast<Job*>(context);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        j.values.assign(1000, 7);
        j.ranOn = std::this_thread::get_id();
    };
    {
        Common::HelperCall call(fill, &job);
        call.Wait();
        EXPECT_EQ(job.values.size(), 1000u);
        EXPECT_NE(job.ranOn, std::this_thread::get_id());
        call.Wait();  // a second wait returns at once
    }
    job.values.clear();
    { Common::HelperCall call(fill, &job); }
    EXPECT_EQ(job.values.size(), 1000u) << "the destructor returned before the call ended";
}

}  // namespace
