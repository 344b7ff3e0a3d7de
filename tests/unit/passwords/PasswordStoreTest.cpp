#include "jobs/Base64.h"
#include "jobs/IniFile.h"
#include "jobs/PasswordMgr.h"
#include "support/TempDir.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace jobs;
using testsupport::TTempDir;

namespace {

std::unique_ptr<TPasswordManager> StoreWith(std::initializer_list<TSitePassword> Entries) {
    auto store = std::make_unique<TPasswordManager>();
    for (const auto& entry : Entries) EXPECT_TRUE(store->SetPassword(entry)) << entry.Host;
    return store;
}

std::string Hosts(const TPasswordManager& Store) {
    std::string text;
    for (const auto& entry : Store.Entries()) text += entry.Host + ";";
    return text;
}

} // namespace

TEST(PasswordStore, SiteKeysAreTheLowerCaseHostAndPort) {
    struct Row {
        const char* Typed;
        const char* Key;
    } rows[] = {
        {"HTTP://Example.Test:8080/x/y", "example.test:8080"},
        {"  www.Site.test  ", "www.site.test"},
        {"ftp://files.test/pub/", "files.test"},
        {"host.test/path?q=1", "host.test"},
        {"https://h.test", "h.test"},
        {"http:///path", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(NormalizeSiteKey(row.Typed), row.Key) << row.Typed;
}

TEST(PasswordStore, FindMatchesWholeHostsWithoutRegardToCaseAndCopiesOut) {
    auto store = StoreWith({{"example.test", "alice", "pw1"}, {"www.other.test", "bob", "pw2"}});
    struct Row {
        const char* Host;
        bool Found;
        const char* User;
    } rows[] = {
        {"EXAMPLE.TEST", true, "alice"}, {"example.test", true, "alice"},
        {"other.test", false, ""},       {"www.example.test", false, ""},
        {"example.test:80", false, ""},  {"WWW.Other.Test", true, "bob"},
    };
    for (const auto& row : rows) {
        TSitePassword found;
        EXPECT_EQ(store->FindPassword(row.Host, found), row.Found) << row.Host;
        EXPECT_EQ(found.User, row.Found ? row.User : "") << row.Host;
    }
}

TEST(PasswordStore, HoldsAHundredSitesAndStillReplacesWhenFull) {
    TPasswordManager store;
    for (int i = 0; i < MaxSitePasswords; ++i)
        ASSERT_TRUE(store.SetPassword({"h" + std::to_string(i) + ".test", "u", "p"})) << i;
    EXPECT_FALSE(store.SetPassword({"new.test", "u", "p"}));
    EXPECT_TRUE(store.SetPassword({"H7.TEST", "u2", "p2"}));
    TSitePassword found;
    ASSERT_TRUE(store.FindPassword("h7.test", found));
    EXPECT_EQ(found.User, "u2");
    EXPECT_EQ(store.Count(), MaxSitePasswords);
}

TEST(PasswordStore, RemovingTheFirstOfThreeKeepsTheOrderAndTheFileShrinks) {
    TTempDir data;
    const std::string file = PasswordFileName(data.Path() + "/");
    auto store = StoreWith({{"a.test", "ua", "pa"}, {"b.test", "ub", "pb"}, {"c.test", "uc", "pc"}});
    ASSERT_TRUE(SavePasswords(*store, file));
    EXPECT_TRUE(store->RemovePassword("A.test"));
    EXPECT_FALSE(store->RemovePassword("a.test"));
    EXPECT_EQ(Hosts(*store), "b.test;c.test;");
    ASSERT_TRUE(SavePasswords(*store, file));
    const TIniText text = TIniFile(file).Load();
    EXPECT_EQ(text.ReadInteger("Security", "Count", -1), 2);
    EXPECT_EQ(text.ReadString("Security", "Host0", ""), "b.test");
    for (const char* key : {"Host2", "U2", "P2"})
        EXPECT_FALSE(text.ReadValue("Security", key).has_value()) << key;
}

TEST(PasswordStore, FileHoldsBase64ValuesWithModeSixHundred) {
    TTempDir data;
    const std::string file = PasswordFileName(data.Path() + "/");
    auto store = StoreWith({{"example.test:8080", "alice", "secret"}});
    ASSERT_TRUE(SavePasswords(*store, file));
    const TIniText text = TIniFile(file).Load();
    EXPECT_EQ(text.ReadString("Security", "U0", ""), "YWxpY2U=");
    EXPECT_EQ(text.ReadString("Security", "P0", ""), StrToBase64("secret"));
    EXPECT_EQ(testsupport::ReadFileText(file).find("secret"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    TPasswordManager loaded;
    ASSERT_TRUE(LoadPasswords(loaded, file));
    TSitePassword found;
    ASSERT_TRUE(loaded.FindPassword("Example.Test:8080", found));
    EXPECT_EQ(found.User, "alice");
    EXPECT_EQ(found.Password, "secret");
}

TEST(PasswordStore, LoadingSkipsIncompleteAndUndecodableEntries) {
    TTempDir data;
    const std::string file = data.File("up.ini");
    testsupport::WriteFileText(file,
                               "[Security]\r\nCount=6\r\n"
                               "Host0=good.test\r\nU0=dQ==\r\nP0=cA==\r\n"
                               "Host1=badlength.test\r\nU1=dQ=\r\nP1=cA==\r\n"  // skipped
                               "Host2=nouser.test\r\nP2=cA==\r\n"               // skipped
                               "Host3=\r\nU3=dQ==\r\nP3=cA==\r\n"               // skipped
                               "Host5=last.test\r\nU5=dg==\r\nP5=cQ==\r\n"
                               "Host6=beyondcount.test\r\nU6=dQ==\r\nP6=cA==\r\n");  // skipped
    testsupport::TTraceLogCapture capture;
    TPasswordManager store;
    ASSERT_TRUE(LoadPasswords(store, file));
    EXPECT_EQ(Hosts(store), "good.test;last.test;");
    EXPECT_EQ(capture.CountRows("\"Exception\",\"Invalid base64: dQ=\",\"SafeBase64ToStr\""), 1u)
        << capture.Text();
    EXPECT_EQ(capture.CountRows("Invalid base64: \""), 1u) << "the missing user name of entry 2";
    EXPECT_EQ(SafeBase64ToStr("abc"), "");
    EXPECT_EQ(SafeBase64ToStr("A==="), "");
    EXPECT_EQ(SafeBase64ToStr("dQ=="), "u");
}

TEST(PasswordStore, AHugeCountLoadsQuicklyAndOnlyAHundredSites) {
    TTempDir data;
    std::string text = "[Security]\nCount=2147483647\n";
    for (int i = 0; i < 120; ++i) {
        const auto n = std::to_string(i);
        text += "Host" + n + "=h" + n + ".test\nU" + n + "=dQ==\nP" + n + "=cA==\n";
    }
    testsupport::WriteFileText(data.File("up.ini"), text);
    TPasswordManager store;
    ASSERT_TRUE(LoadPasswords(store, data.File("up.ini")));
    EXPECT_EQ(store.Count(), MaxSitePasswords);
    TSitePassword found;
    EXPECT_TRUE(store.FindPassword("h99.test", found));
    EXPECT_FALSE(store.FindPassword("h100.test", found));
}

TEST(PasswordStore, AddActionFollowsTheEditorRules) {
    auto store = StoreWith({{"known.test", "u", "p"}});
    for (int i = 1; i < MaxSitePasswords - 1; ++i) store->SetPassword({"f" + std::to_string(i), "u", "p"});
    struct Row {
        const char* Site;
        const char* User;
        const char* Password;
        bool Replace;
        TAddPasswordResult Result;
    } rows[] = {
        {"  ", "u", "p", false, TAddPasswordResult::Incomplete},
        {"http://x.test/", " ", "p", false, TAddPasswordResult::Incomplete},
        {"x.test", "u", "\t", false, TAddPasswordResult::Incomplete},
        {"x\n.test", "u", "p", false, TAddPasswordResult::InvalidSite},
        {"HTTP://Known.Test/a", "u2", "p2", false, TAddPasswordResult::AlreadyKnown},
        {"known.test", "u3", "p3", true, TAddPasswordResult::Added},
        {"last.test", "u", "p", false, TAddPasswordResult::Added},  // the hundredth
        {"one-too-many.test", "u", "p", false, TAddPasswordResult::ListFull},
    };
    for (const auto& row : rows)
        EXPECT_EQ(AddSitePassword(*store, row.Site, row.User, row.Password, row.Replace), row.Result)
            << row.Site << " / " << row.User;
    TSitePassword found;
    ASSERT_TRUE(store->FindPassword("known.test", found));
    EXPECT_EQ(found.Password, "p3");
}

TEST(PasswordStore, ConcurrentFileUpdatesLoseNoSite) {
    TTempDir data;
    const std::string file = data.File("up.ini");
    constexpr int sitesEach = 20;
    auto addSites = [&](const std::string& prefix) {
        for (int i = 0; i < sitesEach; ++i)
            EXPECT_TRUE(UpdatePasswordFile(file, [&](TPasswordManager& store) {
                return AddSitePassword(store, prefix + std::to_string(i) + ".test", "u", "p",
                                       false) == TAddPasswordResult::Added;
            }));
    };
    std::thread first(addSites, "a"), second(addSites, "b");
    first.join();
    second.join();
    TPasswordManager store;
    ASSERT_TRUE(LoadPasswords(store, file));
    EXPECT_EQ(store.Count(), 2 * sitesEach);
}

TEST(PasswordStore, ReadersNeverSeeAHalfChangedEntry) {
    TPasswordManager store;
    store.SetPassword({"site.test", "user", std::string(64, 'a')});
    std::atomic<bool> done{false};  // tells the reader the writer has finished
    std::thread reader([&] {
        TSitePassword found;
        while (!done.load()) {
            ASSERT_TRUE(store.FindPassword("site.test", found));
            ASSERT_TRUE(found.Password == std::string(64, 'a') || found.Password == std::string(300, 'b'))
                << found.Password;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        store.SetPassword({"site.test", "user", i % 2 ? std::string(64, 'a') : std::string(300, 'b')});
        store.SetPassword({"other.test", "u", "p"});
        store.RemovePassword("other.test");
    }
    done = true;
    reader.join();
}
