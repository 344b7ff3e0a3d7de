#include "web/LinkType.h"

#include <gtest/gtest.h>

using web::TWebLinkInfo;
using web::TWebLinkList;

namespace {
TWebLinkInfo LinkAt(std::int32_t ValueOffset, std::int32_t RefreshOffset,
                    const std::string& Value) {
    TWebLinkInfo link;
    link.ValueOffset = ValueOffset;
    link.RefreshOffset = RefreshOffset;
    link.Value = Value;
    return link;
}
} // namespace

TEST(LinkList, GetOutsideTheListGivesNoItem) {
    TWebLinkList list;
    EXPECT_EQ(list.Get(0), nullptr);
    list.Add(LinkAt(1, 0, "a"));
    list.Add(LinkAt(2, 0, "b"));
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Get(list.Count()), nullptr);
    ASSERT_NE(list.Get(1), nullptr);
    EXPECT_EQ(list.Get(1)->Value, "b");
}

TEST(LinkList, AddKeepsACopyThatTheCallerCannotChange) {
    TWebLinkList list;
    TWebLinkInfo info = LinkAt(5, 0, "x.htm");
    info.URL.SetFullURL("http://site.test/x.htm");
    list.Add(info);
    info.Value = "changed";
    info.URL.Clear();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Get(0)->Value, "x.htm");
    EXPECT_TRUE(list.Get(0)->URL.IsValid());
    EXPECT_EQ(list.Get(0)->URL.GetPlainURL(), "http://site.test/x.htm");
}

TEST(LinkList, SortsByValueOffsetPlusRefreshOffset) {
    TWebLinkList list;
    list.Add(LinkAt(110, 0, "c"));
    list.Add(LinkAt(100, 8, "refresh")); // effective position 108
    list.Add(LinkAt(105, 0, "a"));
    list.Add(LinkAt(3, 0, "first"));
    list.Sort();
    const char* expected[] = {"first", "a", "refresh", "c"};
    ASSERT_EQ(list.Count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(list.Get(i)->Value, expected[i]) << "position " << i;
}

TEST(LinkList, ClearEmptiesTheList) {
    TWebLinkList list;
    for (int i = 0; i < 3; ++i)
        list.Add(LinkAt(i, 0, "v"));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Get(0), nullptr);
}
