#include <gtest/gtest.h>

#include <vector>

#include "demo/object_list.h"

namespace {

int values[8] = {0, 1, 2, 3, 4, 5, 6, 7};
void* item(int i) { return &values[i]; }

std::vector<int> walk(ObjectList& list)
{
    std::vector<int> seen;
    for (void* p = list.first(); p; p = list.next())
        seen.push_back(*static_cast<int*>(p));
    return seen;
}

int deleted = 0;
void countDelete(void* p)
{
    ++deleted;
    delete static_cast<int*>(p);
}

}  // namespace

TEST(ObjectList, FindIsExactCaseSensitiveAndFirstWins)
{
    ObjectList list(false);
    list.append("ABCD", item(1));
    list.append("abcd", item(2));
    list.append(nullptr, item(3));
    list.append("abcd", item(4));
    EXPECT_EQ(item(2), list.find("abcd"));
    EXPECT_EQ(item(2), list.current());

    EXPECT_EQ(nullptr, list.find("ABC"));
    EXPECT_EQ(item(2), list.current());  // cursor stays on failure
    EXPECT_STREQ("abcd", list.currentTag());
}

TEST(ObjectList, InsertFirstAfterAndUnknown)
{
    ObjectList list(false);
    EXPECT_TRUE(list.insert(nullptr, "B", item(2)));  // into an empty list
    EXPECT_TRUE(list.insert(nullptr, "A", item(1)));  // becomes first
    EXPECT_TRUE(list.insert("B", "D", item(4)));      // after the last = append
    EXPECT_TRUE(list.insert("B", "C", item(3)));      // in the middle
    EXPECT_FALSE(list.insert("ZZZZ", "E", item(5)));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), walk(list));
    EXPECT_EQ(4, list.count());
    list.append("E", item(5));  // the last-node link followed the inserts
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), walk(list));
    // Backward links are right too.
    list.find("E");
    std::vector<int> back;
    for (void* p = list.current(); p; p = list.prev())
        back.push_back(*static_cast<int*>(p));
    EXPECT_EQ((std::vector<int>{5, 4, 3, 2, 1}), back);
}

TEST(ObjectList, RemoveRelinksEnds)
{
    ObjectList list(false);
    EXPECT_FALSE(list.remove(item(1)));
    list.append("A", item(1));
    list.append("B", item(2));
    EXPECT_TRUE(list.remove(item(2)));  // the last node
    list.append("C", item(3));          // links after the new last
    EXPECT_EQ((std::vector<int>{1, 3}), walk(list));
    EXPECT_FALSE(list.remove(item(7)));
    EXPECT_EQ(2, list.count());
    EXPECT_TRUE(list.remove(item(1)));
    EXPECT_TRUE(list.remove(item(3)));
    EXPECT_EQ(0, list.count());
    EXPECT_EQ(nullptr, list.first());
    // Empty again: the new node is the first; appending tells the new count.
    EXPECT_EQ((std::vector<int>{1, 2}), (std::vector<int>{list.append("D", item(4)), list.add(item(5))}));
    EXPECT_EQ((std::vector<int>{4, 5}), walk(list));
}

TEST(ObjectList, WalkRemovingEveryOtherItemVisitsEachOnce)
{
    ObjectList list(false);
    for (int i = 0; i < 7; ++i)
        list.add(item(i));
    std::vector<int> visited;
    int n = 0;
    for (void* p = list.first(); p;) {
        void* following = list.next();
        visited.push_back(*static_cast<int*>(p));
        if (n++ % 2 == 0)
            list.remove(p);
        p = following;
    }
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), visited);
    EXPECT_EQ((std::vector<int>{1, 3, 5}), walk(list));
}

TEST(ObjectList, RemovalWithContinuationFromTheSamePlace)
{
    // next, remove(current), prev: the walk's own next yields the follower,
    // also when the removed node was the first.
    for (int removeAt : {0, 2}) {
        ObjectList list(false);
        for (int i = 0; i < 4; ++i)
            list.add(item(i));
        std::vector<int> visited;
        for (void* p = list.first(); p; p = list.next()) {
            visited.push_back(*static_cast<int*>(p));
            if (*static_cast<int*>(p) == removeAt) {
                list.next();
                list.remove(p);
                list.prev();
            }
        }
        EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), visited) << "removing " << removeAt;
        EXPECT_EQ(3, list.count());
    }
}

TEST(ObjectList, RemovingTheCursorNodeMovesTheCursorOn)
{
    ObjectList list(false);
    list.add(item(1));
    list.add(item(2));
    list.first();
    list.remove(item(1));
    EXPECT_EQ(item(2), list.current());
}

TEST(ObjectList, PrevFromTheFirstNodeReturnsNoneThenNextGivesTheFirstAgain)
{
    ObjectList list(false);
    list.add(item(1));
    list.add(item(2));
    list.first();
    EXPECT_EQ(nullptr, list.prev());
    EXPECT_EQ(item(1), list.next());
    ObjectList empty(false);
    EXPECT_EQ(nullptr, empty.next());
    EXPECT_EQ(nullptr, empty.prev());
}

TEST(ObjectList, OwningListsDisposeAndBorrowingListsDoNot)
{
    deleted = 0;
    {
        ObjectList owning(true);
        owning.deleter = &countDelete;
        owning.add(new int(1));
        owning.insert(nullptr, "x", new int(2));
        int* third = new int(3);
        owning.append("y", third);
        owning.remove(third);
        EXPECT_EQ(1, deleted);
    }
    EXPECT_EQ(3, deleted);
    int kept = 5;
    {
        ObjectList borrowing(false);
        borrowing.add(&kept);
        borrowing.remove(&kept);
        borrowing.add(&kept);
    }
    EXPECT_EQ(5, kept);
}

TEST(ObjectList, CopyIsBorrowingWithTheSameTagsAndClearsTheSourceCursor)
{
    deleted = 0;
    ObjectList source(true);
    source.deleter = &countDelete;
    source.append("A", new int(1));
    source.append(nullptr, new int(2));
    source.append("C", new int(3));
    {
        ObjectList copy(source);
        EXPECT_FALSE(copy.owning());
        EXPECT_EQ(nullptr, source.current());
        EXPECT_EQ((std::vector<int>{1, 2, 3}), walk(copy));
        EXPECT_EQ(source.find("C"), copy.find("C"));
        copy.first();
        EXPECT_STREQ("A", copy.currentTag());
        copy.next();
        EXPECT_EQ(nullptr, copy.currentTag());
    }
    EXPECT_EQ(0, deleted);
}
