// The password command of the built runner, each run in its own process
// with its own data folder.

#include "jobs/IniFile.h"
#include "jobs/LanguageStrings.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>

using testsupport::TTempDir;

namespace {

struct TRun {
    int Status = -1;
    std::string Out, Err;
};

// Runs Body in a child process whose standard input is StdinText and whose
// data folder is DataFolder; the parent never chooses a data folder itself,
// so each child picks its own.
TRun RunInChild(const std::string& DataFolder, const std::string& StdinText,
                const std::function<int()>& Body) {
    TTempDir io;
    testsupport::WriteFileText(io.File("in"), StdinText);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("HARVEXIS_DATA_DIR", DataFolder.c_str(), 1);
        ::dup2(::open(io.File("in").c_str(), O_RDONLY), STDIN_FILENO);
        ::dup2(::open(io.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        ::dup2(::open(io.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        const int status = Body();
        std::fflush(nullptr);
        ::_exit(status);
    }
    TRun run;
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.Status = WEXITSTATUS(status);
    run.Out = testsupport::ReadFileText(io.File("out"));
    run.Err = testsupport::ReadFileText(io.File("err"));
    return run;
}

TRun Runner(const std::string& DataFolder, std::vector<std::string> Args,
            const std::string& StdinText = {}) {
    return RunInChild(DataFolder, StdinText, [&] {
        std::vector<std::string> words{HARVEXIS_CLI_PATH, "password"};
        words.insert(words.end(), Args.begin(), Args.end());
        std::vector<char*> argv;
        for (auto& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(HARVEXIS_CLI_PATH, argv.data());
        return 127;
    });
}

TRun Password(const std::string& DataFolder, std::vector<std::string> Args,
              const std::string& StdinText = {}) {
    return Runner(DataFolder, std::move(Args), StdinText);
}

std::size_t LineCount(const std::string& Text) {
    return static_cast<std::size_t>(std::count(Text.begin(), Text.end(), '\n'));
}

} // namespace

TEST(PasswordCommand, AddStoresTheNormalisedSiteInASecretBase64File) {
    TTempDir data;
    const TRun added = Password(data.Path(), {"add", "HTTP://Example.Test:8080/x/y", "alice"}, "secret\n");
    ASSERT_EQ(added.Status, 0) << added.Err;
    const std::string file = data.File("up.ini");
    const jobs::TIniText text = jobs::TIniFile(file).Load();
    EXPECT_EQ(text.ReadString("Security", "Count", ""), "1");
    EXPECT_EQ(text.ReadString("Security", "Host0", ""), "example.test:8080");
    EXPECT_EQ(text.ReadString("Security", "U0", ""), "YWxpY2U=");
    EXPECT_EQ(text.ReadString("Security", "P0", ""), "c2VjcmV0");
    EXPECT_EQ(testsupport::ReadFileText(file).find("secret"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const TRun listed = Password(data.Path(), {"list"});
    EXPECT_EQ(listed.Status, 0) << listed.Err;
    EXPECT_EQ(listed.Out, "example.test:8080\talice\n");
    EXPECT_EQ(listed.Out.find("secret"), std::string::npos);
}

TEST(PasswordCommand, AKnownSiteIsRefusedWithTheEditorMessage) {
    TTempDir data;
    ASSERT_EQ(Password(data.Path(), {"add", "site.test", "alice"}, "one\n").Status, 0);
    const std::string before = testsupport::ReadFileText(data.File("up.ini"));
    const TRun again = Password(data.Path(), {"add", "https://SITE.test/", "bob"}, "two\n");
    EXPECT_EQ(again.Status, 1);
    EXPECT_NE(again.Err.find(jobs::LocalText(203)), std::string::npos) << again.Err;
    EXPECT_EQ(testsupport::ReadFileText(data.File("up.ini")), before);
}

TEST(PasswordCommand, AFullListRefusesTheHundredAndFirstSite) {
    TTempDir data;
    ASSERT_TRUE(jobs::UpdatePasswordFile(data.File("up.ini"), [](jobs::TPasswordManager& store) {
        for (int i = 0; i < jobs::MaxSitePasswords; ++i)
            store.SetPassword({"h" + std::to_string(i) + ".test", "u", "p"});
        return true;
    }));
    const TRun full = Password(data.Path(), {"add", "new.test", "u"}, "p\n");
    EXPECT_EQ(full.Status, 1);
    EXPECT_NE(full.Err.find(jobs::LocalText(209)), std::string::npos) << full.Err;
}

TEST(PasswordCommand, RemoveForgetsASiteAndReportsAnUnknownOne) {
    TTempDir data;
    ASSERT_EQ(Password(data.Path(), {"add", "a.test", "ua"}, "pa\n").Status, 0);
    ASSERT_EQ(Password(data.Path(), {"add", "b.test", "ub"}, "pb\n").Status, 0);
    const TRun removed = Password(data.Path(), {"remove", "HTTP://A.TEST/index.html"});
    EXPECT_EQ(removed.Status, 0) << removed.Err;
    EXPECT_EQ(Password(data.Path(), {"list"}).Out, "b.test\tub\n");
    const TRun unknown = Password(data.Path(), {"remove", "a.test"});
    EXPECT_EQ(unknown.Status, 1);
    EXPECT_EQ(LineCount(unknown.Err), 1u) << unknown.Err;
}

TEST(PasswordCommand, BlankPasswordsAreRefused) {
    TTempDir data;
    for (const char* input : {"", "\n", "  \t\n"}) {
        const TRun run = Password(data.Path(), {"add", "x.test", "u"}, input);
        EXPECT_EQ(run.Status, 1) << "input [" << input << "]";
    }
    EXPECT_FALSE(testsupport::FileExists(data.File("up.ini")));
}

TEST(PasswordCommand, UsageErrorsAreOneLineAndStatusTwo) {
    TTempDir data;
    const std::vector<std::string> rows[] = {
        {}, {"add"}, {"add", "site"}, {"add", "s", "u", "extra"}, {"list", "x"},
        {"remove"}, {"remove", "a", "b"}, {"frobnicate"},
    };
    for (const auto& args : rows) {
        std::string shown;
        for (const auto& word : args) shown += word + " ";
        const TRun run = Password(data.Path(), args);
        EXPECT_EQ(run.Status, 2) << shown;
        EXPECT_EQ(LineCount(run.Err), 1u) << shown << run.Err;
        EXPECT_EQ(run.Out, "") << shown;
    }
    const TRun help = Password(data.Path(), {"--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("harvexis-cli password add SITE USER"), std::string::npos);
}

TEST(PasswordCommand, ATerminalPasswordIsReadWithoutEcho) {
    TTempDir data;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        const int slave = ::open(terminal.c_str(), O_RDWR);
        ::dup2(slave, STDIN_FILENO);
        ::dup2(slave, STDERR_FILENO);
        ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
        ::setenv("HARVEXIS_DATA_DIR", data.Path().c_str(), 1);
        ::execl(HARVEXIS_CLI_PATH, HARVEXIS_CLI_PATH, "password", "add", "tty.test", "carol",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string screen;
    auto readUntil = [&](const std::string& wanted) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (screen.find(wanted) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd ready{master, POLLIN, 0};
            if (::poll(&ready, 1, 1000) <= 0) continue;
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            screen.append(buffer, static_cast<std::size_t>(n));
        }
        return screen.find(wanted) != std::string::npos;
    };
    ASSERT_TRUE(readUntil("Password: ")) << screen;
    ASSERT_EQ(::write(master, "hush\n", 5), 5);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    readUntil("\n");
    ::close(master);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
    EXPECT_EQ(screen.find("hush"), std::string::npos) << "the password was echoed: " << screen;
    jobs::TPasswordManager store;
    ASSERT_TRUE(jobs::LoadPasswords(store, data.File("up.ini")));
    jobs::TSitePassword found;
    ASSERT_TRUE(store.FindPassword("tty.test", found));
    EXPECT_EQ(found.Password, "hush");
}

TEST(PasswordCommand, TheBuiltRunnerDispatchesToIt) {
    TTempDir data;
    const TRun added = Runner(data.Path(), {"add", "HTTP://Example.Test:8080/x/y", "alice"}, "secret\n");
    ASSERT_EQ(added.Status, 0) << added.Err;
    const TRun listed = Runner(data.Path(), {"list"});
    EXPECT_EQ(listed.Out, "example.test:8080\talice\n");
    EXPECT_EQ(Runner(data.Path(), {"frobnicate"}).Status, 2);
}
