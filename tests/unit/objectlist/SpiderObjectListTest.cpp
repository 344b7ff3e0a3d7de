#include "engine/SpiderObjectList.h"

#include "base/AsciiText.h"

#include <gtest/gtest.h>

#include <algorithm>

using engine::TSpiderObject;
using engine::TSpiderObjectList;
using Outcome = engine::TSpiderObjectList::TAddOutcome;

namespace {

TSpiderObject Object(const std::string& Url, const std::string& Local) {
    TSpiderObject object;
    web::TURL address;
    EXPECT_TRUE(address.SetFullURL(Url)) << Url;
    object.Address = web::TPackedURL(address);
    object.LocalFileName = Local;
    object.Distance = 1;
    return object;
}

} // namespace

TEST(SpiderObjectList, KnowsObjectsByLocalNameIgnoringCaseAndHandsThemOutInKeyOrder) {
    TSpiderObjectList list;
    const struct { const char *Url, *Local; Outcome Expected; } rows[] = {
        {"http://s.test/b", "/d/s.test/b", Outcome::Inserted}, {"http://s.test/a", "/d/s.test/a", Outcome::Inserted},
        {"http://s.test/A", "/d/s.test/A", Outcome::Known}, {"http://s.test/_", "/d/s.test/_", Outcome::Inserted},
        {"mailto:x@s.test", "", Outcome::Inserted}, {"mailto:X@S.test", "", Outcome::Known},
        {"gopher://s.test/b", "", Outcome::Inserted},
    };
    for (const auto& row : rows) EXPECT_EQ(list.AddIfNotPresent(Object(row.Url, row.Local)), row.Expected) << row.Url;
    EXPECT_EQ(list.FindBySequenceNumber(2)->Address.Unpack().GetUrlPath(), "/a");
    EXPECT_EQ(list.FindBySequenceNumber(6), nullptr);
    // Letters fold to upper case, so "_" (0x5F) sorts after them.
    for (const char* expected : {"/d/s.test/a", "/d/s.test/b", "/d/s.test/_"}) {
        TSpiderObject* next = list.FirstUndispatched();
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->LocalFileName, expected);
        list.SetDispatched(*next, true);
    }
}

// The path really written may differ from the one the address mapped to; the
// object stays filed, and found, under the first.
TEST(SpiderObjectList, KeepsTheKeyOfAnObjectWhoseLocalNameChanged) {
    TSpiderObjectList list;
    list.AddIfNotPresent(Object("http://s.test/b", "/d/s.test/b"));
    list.SetLocalFileName(*list.FindBySequenceNumber(1), "/d/s.test/b.html");
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/B", "/d/s.test/B")), Outcome::Known);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/a", "/d/s.test/a")), Outcome::Inserted);
    std::vector<std::string> order;
    list.ForEach([&](TSpiderObject& Object) { return order.push_back(Object.LocalFileName), true; });
    EXPECT_EQ(order, (std::vector<std::string>{"/d/s.test/a", "/d/s.test/b.html"}));
}

// Keys on either side of the first one, keys that are its start or start with
// it, and keys alike for their first dozen bytes all come out in key order.
TEST(SpiderObjectList, HandsOutAndVisitsInKeyOrderWhereverKeysDiffer) {
    const std::vector<std::string> keys = {
        "/d/s.test/m/page.html", "/d/s.test/m/page.htm",  "/d/s.test/m/page.html~", "/d/s.test/a/long-name-2.html",
        "/d/s.test/A/long-name-1.html", "/d/s.test/z/x", "/d/s.test/M/page.HTML2", "/d/s.test/_", "/", "/d/s.test/m/",
        "/d/s.test/m/page.hTml1"};
    TSpiderObjectList list;
    for (const auto& key : keys) EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/", key)), Outcome::Inserted) << key;
    list.AddIfNotPresent(Object("mailto:a@s.test", ""));
    auto expected = keys;
    expected.push_back("");
    std::sort(expected.begin(), expected.end(), [](const std::string& A, const std::string& B) {
        return A.empty() != B.empty() ? B.empty() : base::UpperAscii(A) < base::UpperAscii(B);
    });
    std::vector<std::string> visited, handedOut;
    list.ForEach([&](TSpiderObject& Object) { return visited.push_back(Object.LocalFileName), true; });
    EXPECT_EQ(visited, expected);
    while (TSpiderObject* next = list.FirstUndispatched()) {
        handedOut.push_back(next->LocalFileName);
        list.SetDispatched(*next, true);
    }
    EXPECT_EQ(handedOut, expected);
}

// Flags change after the object has been queued; the queues still answer right.
TEST(SpiderObjectList, QueuesAnObjectAgainAfterItWasHandedOutOrParsed) {
    TSpiderObjectList list;
    for (const char* name : {"/d/c", "/d/a", "/d/b"}) list.AddIfNotPresent(Object("http://s.test/", name));
    while (TSpiderObject* next = list.FirstUndispatched()) {
        list.SetIsPage(*next);
        list.SetDispatched(*next, true);
    }
    EXPECT_FALSE(list.HasUndispatched());
    TSpiderObject closer = Object("http://s.test/", "/d/b");
    closer.Distance = 0;
    EXPECT_EQ(list.AddIfNotPresent(std::move(closer)), Outcome::Requeued);
    ASSERT_TRUE(list.HasUndispatched());
    EXPECT_EQ(list.FirstUndispatched()->LocalFileName, "/d/b");
    list.SetDispatched(*list.FirstUndispatched(), true);
    EXPECT_EQ(list.FirstUndispatched(), nullptr);
    list.SetLinksParsed(*list.FirstUnparsedPage());
    EXPECT_EQ(list.FirstUnparsedPage()->LocalFileName, "/d/b");
}
