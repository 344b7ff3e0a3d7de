#include "jobs/IniFile.h"
#include "jobs/PasswordMgr.h"
#include "support/TempDir.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

// A stored password goes to its own host only, whatever the case of its name.
TEST(PasswordStore, FindMatchesWholeHostsWithoutRegardToCase) {
    TPasswordManager store;
    Fill(store, {{"example.test", "alice", "pw1"}});
    TSitePassword found;
    EXPECT_TRUE(store.FindPassword("EXAMPLE.TEST", found));
    for (const char* host : {"www.example.test", "example.test:80", "example.test.evil.test"})
        EXPECT_FALSE(store.FindPassword(host, found)) << host;
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
    // Entry 1 is no base64, 2 has no user, 3 no host, 6 lies beyond the count.
    testsupport::TTraceLogCapture capture;
    TPasswordManager store;
    ASSERT_TRUE(LoadPasswords(store, HARVEXIS_SOURCE_DIR "/tests/data/unit/passwords/bad-entries.ini"));
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
