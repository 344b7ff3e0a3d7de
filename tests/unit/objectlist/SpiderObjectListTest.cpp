#include "engine/SpiderObjectList.h"

#include <gtest/gtest.h>

using engine::TSpiderObject;
using engine::TSpiderObjectList;
using Outcome = engine::TSpiderObjectList::TAddOutcome;

namespace {

TSpiderObject Object(const std::string& Url, const std::string& Local, int Distance) {
    TSpiderObject object;
    EXPECT_TRUE(object.Address.SetFullURL(Url)) << Url;
    object.LocalFileName = Local;
    object.Distance = Distance;
    return object;
}

std::vector<std::string> KeysInOrder(const TSpiderObjectList& List) {
    std::vector<std::string> keys;
    List.ForEach([&](TSpiderObject& object) {
        keys.push_back(object.LocalFileName);
        return true;
    });
    return keys;
}

} // namespace

TEST(SpiderObjectList, KeepsKeyOrderIgnoringCaseAndNumbersInsertions) {
    TSpiderObjectList list;
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/b", "/d/s.test/b", 1)), Outcome::Inserted);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/a", "/d/s.test/a", 1)), Outcome::Inserted);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/A", "/d/s.test/A", 1)), Outcome::Known);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/_", "/d/s.test/_", 1)), Outcome::Inserted);
    EXPECT_EQ(list.AddIfNotPresent(Object("mailto:x@s.test", "", 1)), Outcome::Inserted);
    EXPECT_EQ(list.AddIfNotPresent(Object("mailto:X@S.test", "", 1)), Outcome::Known);
    EXPECT_EQ(list.Count(), 4u);
    // Letters fold to upper case, so "_" (0x5F) sorts after them; the mailto
    // object's key is its address text, which sorts after "/".
    EXPECT_EQ(KeysInOrder(list), (std::vector<std::string>{"/d/s.test/a", "/d/s.test/b", "/d/s.test/_", ""}));
    EXPECT_EQ(list.FindBySequenceNumber(1)->LocalFileName, "/d/s.test/b");
    EXPECT_EQ(list.FindBySequenceNumber(2)->Address.GetUrlPath(), "/a");
    EXPECT_EQ(list.FindBySequenceNumber(5), nullptr);
    EXPECT_EQ(list.FindBySequenceNumber(0), nullptr);
}

TEST(SpiderObjectList, FirstUndispatchedAndFirstUnparsedPageFollowKeyOrder) {
    TSpiderObjectList list;
    for (const char* name : {"c", "a", "b"})
        list.AddIfNotPresent(Object(std::string("http://s.test/") + name, std::string("/d/") + name, 0));
    EXPECT_EQ(list.FirstUndispatched()->LocalFileName, "/d/a");
    list.SetDispatched(*list.FirstUndispatched(), true);
    EXPECT_EQ(list.FirstUndispatched()->LocalFileName, "/d/b");
    EXPECT_EQ(list.FirstUnparsedPage(), nullptr);
    list.SetIsPage(*list.FindBySequenceNumber(1));  // "c"
    list.SetIsPage(*list.FindBySequenceNumber(3));  // "b"
    EXPECT_EQ(list.FirstUnparsedPage()->LocalFileName, "/d/b");
    list.SetLinksParsed(*list.FirstUnparsedPage());
    EXPECT_EQ(list.FirstUnparsedPage()->LocalFileName, "/d/c");
    list.SetDispatched(*list.FindBySequenceNumber(1), true);
    list.SetDispatched(*list.FindBySequenceNumber(3), true);
    EXPECT_FALSE(list.HasUndispatched());
    EXPECT_EQ(list.FirstUndispatched(), nullptr);
}

TEST(SpiderObjectList, SmallerDistanceRequeuesAndTakesTheNewReferrer) {
    TSpiderObjectList list;
    list.AddIfNotPresent(Object("http://s.test/p.htm", "/d/p.htm", 3));
    TSpiderObject& known = *list.FindBySequenceNumber(1);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/p.htm", "/d/p.htm", 3)), Outcome::Known);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/p.htm", "/d/p.htm", 2)), Outcome::Known)
        << "not yet dispatched: nothing to hand out again";
    EXPECT_EQ(known.Distance, 2);
    list.SetDispatched(known, true);
    auto closer = Object("http://s.test/p.htm", "/d/p.htm", 1);
    closer.Referrer = std::make_shared<web::TURL>(Object("http://s.test/ref.htm", "", 0).Address);
    EXPECT_EQ(list.AddIfNotPresent(closer), Outcome::Requeued);
    EXPECT_EQ(known.Distance, 1);
    EXPECT_EQ(known.Referrer->GetUrlPath(), "/ref.htm");
    EXPECT_FALSE(known.Dispatched);
    EXPECT_EQ(list.FirstUndispatched(), &known);
}

TEST(SpiderObjectList, AnotherHostRequeuesADispatchedObjectOnce) {
    TSpiderObjectList list;
    list.AddIfNotPresent(Object("http://s.test/x", "/d/x", 1));
    TSpiderObject& known = *list.FindBySequenceNumber(1);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://other.test/x", "/d/x", 1)), Outcome::Known)
        << "an undispatched object keeps its host";
    EXPECT_TRUE(known.AlternateHost.empty());
    list.SetDispatched(known, true);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://S.TEST/x", "/d/x", 1)), Outcome::Known) << "same host, other case";
    EXPECT_EQ(list.AddIfNotPresent(Object("http://other.test/x", "/d/x", 1)), Outcome::Requeued);
    EXPECT_EQ(known.AlternateHost, "other.test");
    list.SetDispatched(known, true);
    EXPECT_EQ(list.AddIfNotPresent(Object("http://third.test/x", "/d/x", 1)), Outcome::Known);
    EXPECT_EQ(known.AlternateHost, "other.test");
}

TEST(SpiderObjectList, ChangedLocalFileNameKeepsTheObjectFindable) {
    TSpiderObjectList list;
    list.AddIfNotPresent(Object("http://s.test/a.php", "/d/a.php", 1));
    list.FindBySequenceNumber(1)->LocalFileName = "/d/a.php.html";  // an extension was added on saving
    EXPECT_EQ(list.AddIfNotPresent(Object("http://s.test/a.php", "/d/a.php", 1)), Outcome::Known);
    EXPECT_EQ(list.Count(), 1u);
}

TEST(SpiderObjectList, AddressesWithoutALocalNameStayApart) {
    TSpiderObjectList list;
    EXPECT_EQ(list.AddIfNotPresent(Object("gopher://s.test/a", "", 1)), Outcome::Inserted);
    EXPECT_EQ(list.AddIfNotPresent(Object("gopher://s.test/b", "", 1)), Outcome::Inserted);
    EXPECT_EQ(list.AddIfNotPresent(Object("gopher://s.test/b", "", 1)), Outcome::Known);
    EXPECT_EQ(list.Count(), 2u);
}
