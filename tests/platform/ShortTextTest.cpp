#include "Common/ShortText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Every size through each way of copying (bytes, two words of four, of eight, a call): the bytes
// given, nothing before the start or past the end.
TEST(WriteShortText, CopiesExactlyTheTextForEverySize) {
    const std::string source = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (std::size_t size = 0; size <= 40; ++size) {
        const std::string text = source.substr(size % 7, size);
        std::string room(64, '#');
        char* end = Common::WriteShortText(room.data() + 8, text);
        ASSERT_EQ(end, room.data() + 8 + size);
        EXPECT_EQ(room.substr(8, size), text) << "size " << size;
        EXPECT_EQ(room.substr(0, 8), std::string(8, '#')) << "wrote before the start, size " << size;
        EXPECT_TRUE(std::all_of(room.begin() + 8 + static_cast<std::ptrdiff_t>(size), room.end(),
                                [](char c) { return c == '#'; }))
            << "wrote past the end, size " << size;
    }
}

}  // namespace
