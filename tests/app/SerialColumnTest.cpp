#include "SerialColumn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace {

// Counting on in text must give printf's "%5zu" of each serial, through every carry: into a new
// digit, past the five columns, up to the largest serial there is.
TEST(SerialColumn, CountsAsPrintfWritesEachSerial) {
    const std::size_t largest = std::numeric_limits<std::size_t>::max();
    for (const std::size_t last : {std::size_t{0}, std::size_t{7}, std::size_t{95}, std::size_t{9990},
                                   std::size_t{99990}, std::size_t{999990}, std::size_t{9999990},
                                   std::size_t{99999990}, std::size_t{999999990}, std::size_t{1234567},
                                   largest - 12}) {
        VoltraApp::SerialColumn serials(last);
        for (std::size_t serial = last + 1; serial != 0 && serial <= last + 12; ++serial) {
            char written[40];
            std::fill(std::begin(written), std::end(written), '#');
            char* end = serials.WriteNext(written);
            char printed[40];
            std::snprintf(printed, sizeof printed, "%5zu", serial);
            ASSERT_EQ(std::string(written, static_cast<std::size_t>(end - written)), printed) << "after " << last;
            ASSERT_TRUE(std::all_of(end, std::end(written), [](char c) { return c == '#'; }))
                << "wrote past its end at " << serial;
        }
    }
}

// Every serial of a long run, as a large structure's blocks number them.
TEST(SerialColumn, LongRunsStayInStep) {
    VoltraApp::SerialColumn serials(98000);
    for (std::size_t serial = 98001; serial <= 1002000; ++serial) {
        char written[40];
        char* end = serials.WriteNext(written);
        std::string expected = std::to_string(serial);
        if (expected.size() < 5) expected.insert(0, 5 - expected.size(), ' ');
        ASSERT_EQ(std::string(written, static_cast<std::size_t>(end - written)), expected);
    }
}

}  // namespace
