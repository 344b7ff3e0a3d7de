#include "base/ForceDir.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

TEST(ForceDirectoriesLocked, CreatesEveryMissingParentOnce) {
    testsupport::TTempDir temp;
    const std::string path = temp.Path() + "/a/b/c/";
    EXPECT_TRUE(base::ForceDirectoriesLocked(path));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(base::ForceDirectoriesLocked(path));
    EXPECT_TRUE(base::ForceDirectoriesLocked(temp.Path() + "/a//b///c"));
    EXPECT_TRUE(base::ForceDirectoriesLocked("/"));
}

TEST(ForceDirectoriesLocked, FailsOnAnEmptyPathAndLeavesTheLockFree) {
    errno = 0;
    EXPECT_FALSE(base::ForceDirectoriesLocked(""));
    EXPECT_EQ(errno, EINVAL);
    testsupport::TTempDir temp;
    bool created = false;
    std::thread other([&] { created = base::ForceDirectoriesLocked(temp.Path() + "/after"); });
    other.join();
    EXPECT_TRUE(created);
}

TEST(ForceDirectoriesLocked, ReportsAFileInTheWay) {
    testsupport::TTempDir temp;
    testsupport::WriteFileText(temp.File("f"), "file");
    fs::create_symlink(temp.File("nowhere"), temp.File("dangling"));
    for (const std::string path : {temp.File("f"), temp.File("f/x/y"), temp.File("dangling"),
                                   temp.File("dangling/x")}) {
        errno = 0;
        EXPECT_FALSE(base::ForceDirectoriesLocked(path)) << path;
        EXPECT_EQ(errno, EEXIST) << path;
    }
    EXPECT_EQ(testsupport::ReadFileText(temp.File("f")), "file");
}

// Download threads create overlapping folder trees at the same moment, while
// another program may create some of the same folders without our lock.
TEST(ForceDirectoriesLocked, LetsThreadsCreateOverlappingTreesTogether) {
    testsupport::TTempDir temp;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i)
        paths.push_back(temp.Path() + "/site/" + std::to_string(i % 4) + "/x/" +
                        std::to_string(i % 7) + "/y");
    std::vector<int> results(8 * paths.size(), -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < paths.size(); ++i) {
                const auto& path = paths[(i + t * 5) % paths.size()];
                if (t == 7) {
                    std::error_code ignored;
                    fs::create_directories(path, ignored);  // the outside creator
                    results[t * paths.size() + i] = 1;
                } else {
                    results[t * paths.size() + i] = base::ForceDirectoriesLocked(path) ? 1 : 0;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (std::size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i], 1) << i;
    for (const auto& path : paths) EXPECT_TRUE(fs::is_directory(path)) << path;
}
