#include "jobs/Base64.h"
#include "jobs/IniFile.h"
#include "jobs/PasswordMgr.h"
#include "support/TempDir.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <thread>

using namespace jobs;
using testsupport::TTempDir;
using testsupport::WriteFileText;

namespace {

void Fill(TPasswordManager& Store, std::initializer_list<TSitePassword> Entries) {
    for (const auto& entry : Entries) EXPECT_TRUE(Store.SetPassword(entry)) << entry.Host;
}

std::string Hosts(const TPasswordManager& Store) {
    std::string text;
    for (const auto& entry : Store.Entries()) text += entry.Host + ";";
    return text;
}

} // namespace

TEST(Base64, EncodesAsStoredFilesExpectAndRefusesBadLengths) {
    struct Row { std::string In, Out; } rows[] = {
        {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"}, {"", "A==="}, {std::string("\0\xff", 2), "AP8="},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StrToBase64(row.In), row.Out) << row.Out;
        EXPECT_EQ(Base64ToStr(row.Out), row.In) << row.Out;
    }
    for (const char* text : {"", "YQ=", "abcde"}) EXPECT_FALSE(Base64ToStr(text).has_value()) << text;
    EXPECT_EQ(Base64ToStr("YQ!!"), Base64ToStr("YQ99")) << "foreign characters count as 61";
}

TEST(PasswordStore, SiteKeysAreTheLowerCaseHostAndPort) {
    struct Row { const char *Typed, *Key; } rows[] = {
        {"HTTP://Example.Test:8080/x/y", "example.test:8080"}, {"  www.Site.test  ", "www.site.test"},
        {"host.test/path?q=1", "host.test"}, {"https://h.test", "h.test"}, {"http:///path", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(NormalizeSiteKey(row.Typed), row.Key) << row.Typed;
}

TEST(PasswordStore, FindMatchesWholeHostsWithoutRegardToCase) {
    TPasswordManager store;
    Fill(store, {{"example.test", "alice", "pw1"}, {"www.other.test", "bob", "pw2"}});
    struct Row { const char* Host; const char* User; } rows[] = {
        {"EXAMPLE.TEST", "alice"}, {"other.test", ""}, {"www.example.test", ""},
        {"example.test:80", ""}, {"WWW.Other.Test", "bob"},
    };
    for (const auto& row : rows) {
        TSitePassword found;
        EXPECT_EQ(store.FindPassword(row.Host, found), *row.User != 0) << row.Host;
        EXPECT_EQ(found.User, row.User) << row.Host;
    }
}

TEST(PasswordStore, AddActionFollowsTheEditorRules) {
    TPasswordManager store;
    Fill(store, {{"known.test", "u", "p"}});
    for (int i = 1; i < MaxSitePasswords - 1; ++i) store.SetPassword({"f" + std::to_string(i), "u", "p"});
    using R = TAddPasswordResult;
    struct Row { const char *Site, *User, *Password; bool Replace; R Result; } rows[] = {
        {"  ", "u", "p", false, R::Incomplete},
        {"http://x.test/", " ", "p", false, R::Incomplete},
        {"x.test", "u", "\t", false, R::Incomplete},
        {"x\n.test", "u", "p", false, R::InvalidSite},
        {"HTTP://Known.Test/a", "u2", "p2", false, R::AlreadyKnown},
        {"known.test", "u3", "p3", true, R::Added},
        {"last.test", "u", "p", false, R::Added}, // the hundredth
        {"one-too-many.test", "u", "p", false, R::ListFull},
    };
    for (const auto& row : rows)
        EXPECT_EQ(AddSitePassword(store, row.Site, row.User, row.Password, row.Replace), row.Result)
            << row.Site << " / " << row.User;
    TSitePassword found;
    ASSERT_TRUE(store.FindPassword("known.test", found));
    EXPECT_EQ(found.Password, "p3");
}

// The file holds secrets: never readable by others, never in plain text, and
// removed entries must not linger in it.
TEST(PasswordStore, FileIsPrivateBase64AndShrinksWithTheList) {
    TTempDir data;
    const std::string file = PasswordFileName(data.Path() + "/");
    TPasswordManager store;
    Fill(store, {{"a.test", "ua", "pa"}, {"b.test:8080", "alice", "secret"}, {"c.test", "uc", "pc"}});
    ASSERT_TRUE(SavePasswords(store, file));
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(testsupport::ReadFileText(file).find("secret"), std::string::npos);
    EXPECT_EQ(TIniFile(file).Load().ReadString("Security", "U1", ""), "YWxpY2U=");

    EXPECT_TRUE(store.RemovePassword("A.test"));
    EXPECT_FALSE(store.RemovePassword("a.test"));
    ASSERT_TRUE(SavePasswords(store, file));
    const TIniText text = TIniFile(file).Load();
    EXPECT_EQ(text.ReadInteger("Security", "Count", -1), 2);
    for (const char* key : {"Host2", "U2", "P2"}) EXPECT_FALSE(text.ReadValue("Security", key)) << key;

    TPasswordManager loaded;
    ASSERT_TRUE(LoadPasswords(loaded, file));
    EXPECT_EQ(Hosts(loaded), "b.test:8080;c.test;");
    TSitePassword found;
    ASSERT_TRUE(loaded.FindPassword("B.Test:8080", found));
    EXPECT_EQ(found.Password, "secret");
}

TEST(PasswordStore, LoadingSkipsBadEntriesAndStopsAtAHundred) {
    TTempDir data;
    WriteFileText(data.File("bad.ini"), "[Security]\r\nCount=6\r\n"
                                        "Host0=good.test\r\nU0=dQ==\r\nP0=cA==\r\n"
                                        "Host1=badlength.test\r\nU1=dQ=\r\nP1=cA==\r\n"
                                        "Host2=nouser.test\r\nP2=cA==\r\n"
                                        "Host3=\r\nU3=dQ==\r\nP3=cA==\r\n"
                                        "Host5=last.test\r\nU5=dg==\r\nP5=cQ==\r\n"
                                        "Host6=beyondcount.test\r\nU6=dQ==\r\nP6=cA==\r\n");
    testsupport::TTraceLogCapture capture;
    TPasswordManager store;
    ASSERT_TRUE(LoadPasswords(store, data.File("bad.ini")));
    EXPECT_EQ(Hosts(store), "good.test;last.test;");
    EXPECT_EQ(capture.CountRows("\"Exception\",\"Invalid base64: dQ=\",\"SafeBase64ToStr\""), 1u);

    // A huge count must neither take long nor load more than a hundred sites.
    std::string text = "[Security]\nCount=2147483647\n";
    for (int i = 0; i < 120; ++i) {
        const auto n = std::to_string(i);
        text += "Host" + n + "=h" + n + ".test\nU" + n + "=dQ==\nP" + n + "=cA==\n";
    }
    WriteFileText(data.File("huge.ini"), text);
    TPasswordManager many;
    ASSERT_TRUE(LoadPasswords(many, data.File("huge.ini")));
    EXPECT_EQ(many.Count(), MaxSitePasswords);
}

TEST(PasswordStore, ConcurrentFileUpdatesLoseNoSite) {
    TTempDir data;
    const std::string file = data.File("up.ini");
    auto addSites = [&](const std::string& prefix) {
        for (int i = 0; i < 20; ++i)
            EXPECT_TRUE(UpdatePasswordFile(file, [&](TPasswordManager& store) {
                return AddSitePassword(store, prefix + std::to_string(i) + ".test", "u", "p", false) ==
                       TAddPasswordResult::Added;
            }));
    };
    std::thread first(addSites, "a"), second(addSites, "b");
    first.join();
    second.join();
    TPasswordManager store;
    ASSERT_TRUE(LoadPasswords(store, file));
    EXPECT_EQ(store.Count(), 40);
}

TEST(PasswordStore, ReadersNeverSeeAHalfChangedEntry) {
    TPasswordManager store;
    const std::string a(64, 'a'), b(300, 'b');
    store.SetPassword({"site.test", "user", a});
    std::atomic<bool> done{false}; // tells the reader the writer has finished
    std::thread reader([&] {
        TSitePassword found;
        while (!done.load()) {
            ASSERT_TRUE(store.FindPassword("site.test", found));
            ASSERT_TRUE(found.Password == a || found.Password == b) << found.Password;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        store.SetPassword({"site.test", "user", i % 2 ? a : b});
        store.SetPassword({"other.test", "u", "p"});
        store.RemovePassword("other.test");
    }
    done = true;
    reader.join();
}
