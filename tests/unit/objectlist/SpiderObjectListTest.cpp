#include "engine/SpiderObjectList.h"

#include <gtest/gtest.h>

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
