// The persistence service's root path and its initialised state.
#include "Persistence/Persistence.h"

#include <gtest/gtest.h>

namespace {

TEST(Persistence, InitializeSetsAndShutdownForgetsTheRoot) {
    Persistence::Shutdown();
    EXPECT_FALSE(Persistence::IsInitialized());
    EXPECT_TRUE(Persistence::GetRootPath().IsEmpty());

    Persistence::Initialize(Common::Path(L"/opt/host/bin"));
    EXPECT_TRUE(Persistence::IsInitialized());
    EXPECT_EQ(Persistence::GetRootPath().AsString(), L"/opt/host/bin");

    Persistence::Initialize(Common::Path(L"/usr/local/bin"));
    EXPECT_EQ(Persistence::GetRootPath().AsString(), L"/usr/local/bin");

    Persistence::Shutdown();
    EXPECT_FALSE(Persistence::IsInitialized());
    EXPECT_TRUE(Persistence::GetRootPath().IsEmpty());
}

TEST(Persistence, EmptyRootStillCountsAsInitialised) {
    Persistence::Initialize(Common::Path());
    EXPECT_TRUE(Persistence::IsInitialized());
    EXPECT_TRUE(Persistence::GetRootPath().IsEmpty());
    Persistence::Shutdown();
}

TEST(Persistence, RootIsACopy) {
    Common::Path root(L"/opt/host/bin");
    Persistence::Initialize(root);
    root.Append(L"changed");
    EXPECT_EQ(Persistence::GetRootPath().AsString(), L"/opt/host/bin");
    Persistence::Shutdown();
}

}  // namespace
