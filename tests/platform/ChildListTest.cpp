// An object's list of children: ownership, order through removals, reserved room.
#include "HostModel/ChildList.h"
#include "HostModel/Object.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace HostModel;

// Writes its label to a log when destroyed, to see who the list destroys and in what order.
class LoggedObject : public Object {
public:
    LoggedObject(std::string label, std::vector<std::string>& log) : Object(std::move(label)), log_(log) {}
    ~LoggedObject() override { log_.push_back(GetLabel()); }

private:
    std::vector<std::string>& log_;
};

std::vector<std::string> Labels(const ChildList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.size(); ++i) out.push_back(list[i]->GetLabel());
    return out;
}

using L = std::vector<std::string>;

TEST(ChildList, DestroysItsChildrenFirstToLast) {
    std::vector<std::string> log;
    {
        ChildList list;
        for (const char* label : {"a", "b", "c", "d"}) list.push_back(std::make_unique<LoggedObject>(label, log));
        EXPECT_TRUE(log.empty());
    }
    EXPECT_EQ(log, (L{"a", "b", "c", "d"}));
}

TEST(ChildList, ReleaseHandsBackOneChildAndKeepsTheOthersInOrder) {
    std::vector<std::string> log;
    ChildList list;
    for (const char* label : {"a", "b", "c", "d", "e"}) list.push_back(std::make_unique<LoggedObject>(label, log));
    std::unique_ptr<Object> c = list.release(list.find(list[2]));
    EXPECT_EQ(c->GetLabel(), "c");
    EXPECT_EQ(Labels(list), (L{"a", "b", "d", "e"}));
    EXPECT_TRUE(log.empty());  // released, not destroyed
    c.reset();
    EXPECT_EQ(log, (L{"c"}));
    list.release(0);                // the first; the returned pointer destroys it at once
    list.release(list.size() - 1);  // the last
    EXPECT_EQ(Labels(list), (L{"b", "d"}));
    EXPECT_EQ(log, (L{"c", "a", "e"}));
}

TEST(ChildList, GrowsThroughReservedRoomAndBeyond) {
    std::vector<std::string> log;
    ChildList list;
    list.reserve(2);
    EXPECT_EQ(list.capacity(), 2u);
    L expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back(std::to_string(i));
        Object& added = list.push_back(std::make_unique<LoggedObject>(expected.back(), log));
        ASSERT_EQ(&added, list[list.size() - 1]);
        ASSERT_GE(list.capacity(), list.size());
    }
    EXPECT_EQ(Labels(list), expected);
    const std::size_t capacity = list.capacity();
    list.reserve(3);  // smaller than held: kept
    EXPECT_EQ(list.capacity(), capacity);
    EXPECT_THROW(list.reserve(std::size_t{UINT32_MAX} + 1), std::length_error);
    EXPECT_EQ(Labels(list), expected);
}

}  // namespace
