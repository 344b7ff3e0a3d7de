#include "HarvexisVersion.h"
#include "jobs/AppInfo.h"
#include "base/AppTraceLog.h"
#include "support/TempDir.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

using namespace jobs;
using testsupport::TTempDir;

TEST(AppInfo, VersionsEndingInZeroPairsAreShortened) {
    struct Row {
        const char* Version;
        const char* Shown;
    } rows[] = {
        {"4.1.0.53", "4.1.0.53"}, {"4.1.0.0", "4.1.0"}, {"5.0.0.0", "5.0"}, {"4.0.0.0", "4.0"},
        {"4.10.0.0", "4.10.0"},   {"10.0.0", "10.0"},   {"0.0", "0.0"},     {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(ShortenFileVersion(row.Version), row.Shown) << row.Version;
}

TEST(AppInfo, SystemNameComesFromOsRelease) {
    struct Row {
        const char* Text;
        const char* Name;
    } rows[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"NAME=Fedora\nVERSION=\"39 (Workstation Edition)\"\n", "Fedora 39 (Workstation Edition)"},
        {"NAME='Alpine Linux'\r\n", "Alpine Linux"},
        {"# PRETTY_NAME=\"Commented\"\nNAME=Arch\n", "Arch"},
        {"PRETTY_NAME=\"Say \\\"hi\\\"\"\n", "Say \"hi\""},
        {"ID=unknown\n", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(OSNameFromOSRelease(row.Text), row.Name) << row.Text;
}

TEST(AppInfo, DefaultAgentNameIsProductVersionAndSystem) {
    TTempDir folder;
    testsupport::WriteFileText(folder.File("os-release"), "PRETTY_NAME=\"Test OS 1\"\n");
    const TAppInfo info(folder.File("os-release"));
    EXPECT_EQ(info.ProductName(), "Harvexis");
    EXPECT_EQ(info.CompanyName(), "Tindlecraft");
    EXPECT_EQ(info.FileVersion(), HARVEXIS_VERSION);
    EXPECT_EQ(info.GetOSName(), "Test OS 1");
    EXPECT_EQ(info.DefaultAgentName(), std::string("Harvexis/") + HARVEXIS_VERSION + " (Test OS 1)");
    EXPECT_NE(info.ExeName().find("test_unit_appinfo"), std::string::npos) << info.ExeName();
}

TEST(AppInfo, FileSystemNameOnlyForAbsolutePathsAndCachedPerDevice) {
    TTempDir folder;
    TAppInfo info;
    std::string name, again, missing;
    ASSERT_TRUE(info.GetFileSystemName(folder.Path(), name));
    EXPECT_FALSE(name.empty());
    ASSERT_TRUE(info.GetFileSystemName(folder.File("not/yet/created.html"), missing));
    EXPECT_EQ(missing, name) << "a path not created yet is on its folder's file system";
    ASSERT_TRUE(info.GetFileSystemName(folder.Path(), again));
    EXPECT_EQ(again, name);
    for (const char* path : {"", "relative/file", "\\\\server\\share\\file", "c:\\data"}) {
        std::string untouched = "unchanged";
        EXPECT_FALSE(info.GetFileSystemName(path, untouched)) << path;
        EXPECT_EQ(untouched, "unchanged") << path;
    }
}

TEST(AppInfo, FileSystemMagicNumbersHaveNames) {
    struct Row {
        unsigned long Magic;
        const char* Name;
    } rows[] = {{0x5346544E, "NTFS"}, {0x7366746E, "NTFS"}, {0x4D44, "FAT"},
                {0xEF53, "ext4"},     {0x01021994, "tmpfs"}, {0x12345678, "0x12345678"}};
    for (const auto& row : rows) EXPECT_EQ(FileSystemTypeName(row.Magic), row.Name) << row.Magic;
}

TEST(AppInfo, StartupLinesNameTheSystemTheVersionAndLibcurl) {
    testsupport::TTraceLogCapture capture;
    TAppInfo info;
    info.LogStartupInfo();
    const std::string log = capture.Text();
    EXPECT_EQ(capture.CountRows("OS version (name, kernel, release, machine): " + info.GetOSName() +
                                ", Linux"),
              1u)
        << log;
    EXPECT_EQ(capture.CountRows(std::string("Application version: ") + HARVEXIS_VERSION), 1u);
    EXPECT_EQ(capture.CountRows(std::string("libcurl version: ") +
                                curl_version_info(CURLVERSION_NOW)->version),
              1u);
    EXPECT_EQ(log.find("Wininet"), std::string::npos);
}
