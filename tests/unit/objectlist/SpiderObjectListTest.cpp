#include "engine/SpiderObjectList.h"

#include <gtest/gtest.h>

using engine::TSpiderObject;
using engine::TSpiderObjectList;
using Outcome = engine::TSpiderObjectList::TAddOutcome;

namespace {

TSpiderObject Object(const std::string& Url, const std::string& Local, int Distance = 1) {
    TSpiderObject object;
    EXPECT_TRUE(object.Address.SetFullURL(Url)) << Url;
    object.LocalFileName = Local;
    object.Distance = Distance;
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
    EXPECT_EQ(list.FindBySequenceNumber(2)->Address.GetUrlPath(), "/a");
    EXPECT_EQ(list.FindBySequenceNumber(6), nullptr);
    // Letters fold to upper case, so "_" (0x5F) sorts after them.
    for (const char* expected : {"/d/s.test/a", "/d/s.test/b", "/d/s.test/_"}) {
        TSpiderObject* next = list.FirstUndispatched();
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->LocalFileName, expected);
        list.SetDispatched(*next, true);
    }
}

TEST(SpiderObjectList, SmallerDistanceRequeuesAndTakesTheNewReferrer) {
    TSpiderObjectList list;
    list.AddIfNotPresent(Object("http://s.test/p.htm", "/d/p.htm", 3));
    TSpiderObject& known = *list.FindBySequenceNumber(1);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/p.htm", "/d/p.htm", 2)), Outcome::Known)
        << "not yet dispatched: nothing to hand out again";
    EXPECT_EQ(known.Distance, 2);
    list.SetDispatched(known, true);
    auto closer = Object("http://s.test/p.htm", "/d/p.htm", 1);
    closer.Referrer = std::make_shared<web::TURL>(Object("http://s.test/ref.htm", "").Address);
    EXPECT_EQ(list.AddIfNotPresent(closer), Outcome::Requeued);
    EXPECT_EQ(known.Distance, 1);
    EXPECT_EQ(known.Referrer->GetUrlPath(), "/ref.htm");
    EXPECT_EQ(list.FirstUndispatched(), &known);
}
