#include "jobs/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <sys/stat.h>

using jobs::TIniFile;
using jobs::TIniText;
using testsupport::ReadFileText;
using testsupport::TTempDir;
using testsupport::WriteFileText;

namespace {
unsigned ModeOf(const std::string& Path) {
    struct stat info {};
    EXPECT_EQ(::stat(Path.c_str(), &info), 0) << Path;
    return info.st_mode & 0777;
}
} // namespace

TEST(IniText, RefusesWritesThatWouldBreakTheLines) {
    auto text = TIniText::Parse("");
    EXPECT_FALSE(text.WriteString("S", "K", "a\r\nInjected=1"));
    EXPECT_FALSE(text.WriteString("S", "K=x", "v"));
    EXPECT_FALSE(text.WriteString("S]", "K", "v"));
    EXPECT_FALSE(text.WriteString("S", "", "v"));
    EXPECT_FALSE(text.WriteString("S", "K", std::string("a\0b", 3)));
    EXPECT_EQ(text.Serialize(), "");
}

TEST(IniText, ValuesEndAtNulOrTheLengthCapWithoutTrailingBlanks) {
    const std::pair<std::string, std::string> rows[] = {
        {std::string(" a \t\0b", 7), "a"},
        {std::string(jobs::MaxProfileValueLength - 1, 'x') + " y", std::string(jobs::MaxProfileValueLength - 1, 'x')}};
    for (const auto& [stored, read] : rows)
        EXPECT_EQ(TIniText::Parse("[S]\nK=" + stored + "\n").ReadString("S", "K", "?"), read) << stored;
}

TEST(IniFile, EveryWriteReachesTheDiskAndKeepsTheFileLineEnds) {
    TTempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFileText(path, "[S]\r\nK=1\r\n");
    TIniFile ini(path);
    EXPECT_TRUE(ini.WriteString("S", "L", "2"));
    EXPECT_EQ(ReadFileText(path), "[S]\r\nK=1\r\nL=2\r\n");
    WriteFileText(path, "[S]\nK=1");
    EXPECT_TRUE(ini.WriteBool("S", "B", true));
    EXPECT_EQ(ReadFileText(path), "[S]\nK=1\nB=1\n");
}

TEST(IniFile, AFileThatCannotBeReadOrCreatedIsNeverWrittenBlind) {
    TTempDir dir;
    const std::string folder = dir.File("folder-not-file.ini");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(TIniFile(folder).TryLoad().has_value());
    EXPECT_FALSE(TIniFile(folder).WriteString("S", "K", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    // Even root cannot create files in /proc.
    EXPECT_FALSE(TIniFile("/proc/harvexis-test.ini").WriteString("S", "K", "v"));
}

TEST(IniFile, SecretFilesAreKeptPrivate) {
    TTempDir dir;
    const std::string path = dir.File("up.ini");
    WriteFileText(path, "[Security]\nCount=0\n");
    ::chmod(path.c_str(), 0644);
    TIniFile ini(path, TIniFile::TFileKind::Secret);
    EXPECT_TRUE(ini.WriteInteger("Security", "Count", 0)); // same text, but the mode is mended
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_TRUE(TIniFile(dir.File("new.ini"), TIniFile::TFileKind::Secret).WriteString("S", "K", "v"));
    EXPECT_EQ(ModeOf(dir.File("new.ini")), 0600u);
}

TEST(IniFile, ConcurrentWritersLoseNoWriteAndLeaveNoTemporaryFile) {
    TTempDir dir;
    const std::string path = dir.File("shared.ini");
    auto key = [](int t, int i) { return "K" + std::to_string(t) + "_" + std::to_string(i); };
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            TIniFile ini(path);
            for (int i = 0; i < 25; ++i) ini.WriteInteger("S", key(t, i), i);
        });
    for (auto& writer : writers) writer.join();
    const auto text = TIniFile(path).Load();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i) EXPECT_EQ(text.ReadInteger("S", key(t, i), -1), i);
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename(), "shared.ini");
}
