// The queue between the thread that reads PDB records and the one that builds the tree: order,
// the bound on atoms in flight, the reader's error after its parts, and a builder that stops.
#include "io/PartHandoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Stands for a part of a model: a name and some storage worth reusing.
struct TestPart {
    std::string name;
    std::vector<int> residues;
};

using Handoff = HostIO::PartHandoff<TestPart>;

TestPart Part(const std::string& name, std::size_t residues = 1) {
    return TestPart{name, std::vector<int>(residues, 1)};
}

// Takes every part left, in order, as the builder does: each is handed back once looked at.
template <typename Look>
int TakeTheRest(Handoff& handoff, Look look) {
    TestPart part;
    std::size_t atoms = 0;
    int taken = 0;
    while (handoff.Pop(part, atoms)) {
        look(part, atoms, taken++);
        handoff.Return(std::move(part), atoms);
        part = TestPart();
    }
    return taken;
}

TEST(PartHandoff, PartsArriveInOrderAndComeBackForReuse) {
    Handoff handoff(100);
    std::thread reader([&] {
        for (int i = 0; i < 1000; ++i) {
            TestPart part = Part(std::to_string(i), 3);
            ASSERT_TRUE(handoff.Push(part, 3));
            // Empty, or a part the builder has finished with.
            EXPECT_TRUE(part.name.empty() || std::stoi(part.name) < i) << part.name;
        }
        handoff.Close();
    });
    const int taken = TakeTheRest(handoff, [](const TestPart& part, std::size_t atoms, int index) {
        EXPECT_EQ(part.name, std::to_string(index));
        EXPECT_EQ(atoms, 3u);
        EXPECT_EQ(part.residues.size(), 3u);
    });
    reader.join();
    EXPECT_EQ(taken, 1000);
}

// The reader's hint for handing work over: true exactly while no part waits to be taken.
TEST(PartHandoff, NothingQueuedFollowsTheQueue) {
    Handoff handoff(100);
    EXPECT_TRUE(handoff.NothingQueued());
    TestPart part = Part("a");
    ASSERT_TRUE(handoff.Push(part, 1));
    part = Part("b");
    ASSERT_TRUE(handoff.Push(part, 1));
    EXPECT_FALSE(handoff.NothingQueued());
    std::size_t atoms = 0;
    ASSERT_TRUE(handoff.Pop(part, atoms));
    EXPECT_FALSE(handoff.NothingQueued());
    ASSERT_TRUE(handoff.Pop(part, atoms));
    EXPECT_TRUE(handoff.NothingQueued());  // taken, though not yet handed back
    handoff.Return(std::move(part), atoms);
    EXPECT_TRUE(handoff.NothingQueued());
}

TEST(PartHandoff, ReaderWaitsWhileTheBoundIsFull) {
    Handoff handoff(10);
    std::atomic<int> pushed{0};
    std::thread reader([&] {
        for (int i = 0; i < 3; ++i) {
            TestPart part = Part("p");
            handoff.Push(part, 6);
            ++pushed;
        }
        handoff.Close();
    });
    // The first part passes (nothing is in flight); the second would make 12 of 10.
    while (pushed.load() < 1) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(pushed.load(), 1);
    TestPart part;
    std::size_t atoms = 0;
    ASSERT_TRUE(handoff.Pop(part, atoms));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(pushed.load(), 1) << "taken but not converted still counts";
    handoff.Return(std::move(part), atoms);
    const int rest = TakeTheRest(handoff, [](const TestPart&, std::size_t, int) {});
    reader.join();
    EXPECT_EQ(rest, 2);
}

TEST(PartHandoff, ALargePartPassesAlone) {
    Handoff handoff(10);
    TestPart part = Part("big");
    EXPECT_TRUE(handoff.Push(part, 1000));
    handoff.Close();
    std::size_t atoms = 0;
    EXPECT_TRUE(handoff.Pop(part, atoms));
    EXPECT_EQ(atoms, 1000u);
    EXPECT_FALSE(handoff.Pop(part, atoms));
}

TEST(PartHandoff, ReadersErrorComesAfterItsParts) {
    Handoff handoff(100);
    for (const char* name : {"A", "B"}) {
        TestPart part = Part(name);
        ASSERT_TRUE(handoff.Push(part, 1));
    }
    handoff.Close(std::make_exception_ptr(std::runtime_error("line 7: bad")));
    TestPart part;
    std::size_t atoms = 0;
    ASSERT_TRUE(handoff.Pop(part, atoms));
    EXPECT_EQ(part.name, "A");
    ASSERT_TRUE(handoff.Pop(part, atoms));
    EXPECT_EQ(part.name, "B");
    EXPECT_THROW(handoff.Pop(part, atoms), std::runtime_error);
}

TEST(PartHandoff, StoppedBuilderReleasesAWaitingReader) {
    Handoff handoff(5);
    std::atomic<bool> refused{false};
    std::thread reader([&] {
        for (int i = 0; i < 100 && !refused; ++i) {
            TestPart part = Part("p");
            if (!handoff.Push(part, 5)) {
                EXPECT_EQ(part.name, "p") << "a refused part stays with the reader";
                refused = true;
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    handoff.Stop();
    reader.join();
    EXPECT_TRUE(refused.load());
}

}  // namespace
