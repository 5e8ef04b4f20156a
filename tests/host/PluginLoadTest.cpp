// Loads the built plug-in as the host does and checks that its message table lives exactly as
// long as the library stays loaded. Deliberately not linked with the module's objects.
#include "Common/StringTable.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace {

constexpr unsigned kDefaultChargeAndSizeId = 0xD10004;
constexpr unsigned kFirstId = 0xD10000;
constexpr unsigned kMessageCount = 14;

unsigned CountResolvedIds() {
    unsigned count = 0;
    for (unsigned id = kFirstId; id < kFirstId + kMessageCount; ++id) {
        if (Common::StringLoader::Instance().HasString(id)) ++count;
    }
    return count;
}

TEST(PluginLoad, MessageTableLivesWhileLoaded) {
    const Common::StringLoader& loader = Common::StringLoader::Instance();
    ASSERT_FALSE(loader.HasString(kDefaultChargeAndSizeId)) << "the table is registered before loading";

    void* handle = dlopen(VOLTRA_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << VOLTRA_PLUGIN_PATH << ": " << dlerror();
    EXPECT_EQ(loader.GetString(kDefaultChargeAndSizeId), L"Voltra Default Charge and Size");
    EXPECT_EQ(CountResolvedIds(), kMessageCount);

    ASSERT_EQ(dlclose(handle), 0) << dlerror();
    EXPECT_FALSE(loader.HasString(kDefaultChargeAndSizeId));
    EXPECT_EQ(loader.GetString(kDefaultChargeAndSizeId), L"");
    EXPECT_EQ(CountResolvedIds(), 0u);
}

TEST(PluginLoad, ReloadingRegistersTheTableAgain) {
    for (int round = 0; round < 2; ++round) {
        void* handle = dlopen(VOLTRA_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        EXPECT_EQ(Common::StringLoader::Instance().GetString(kDefaultChargeAndSizeId),
                  L"Voltra Default Charge and Size");
        ASSERT_EQ(dlclose(handle), 0) << dlerror();
        EXPECT_EQ(CountResolvedIds(), 0u) << "round " << round;
    }
}

}  // namespace
