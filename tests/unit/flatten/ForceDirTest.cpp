#include "base/ForceDir.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

// Download threads create overlapping folder trees at the same moment, while
// another program may create some of the same folders without our lock.
TEST(ForceDirectoriesLocked, LetsThreadsCreateOverlappingTreesTogether) {
    testsupport::TTempDir temp;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i)
        paths.push_back(temp.Path() + "/site/" + std::to_string(i % 4) + "/x/" + std::to_string(i % 7) + "/y");
    std::vector<int> failures(8, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < paths.size(); ++i) {
                const auto& path = paths[(i + t * 5) % paths.size()];
                std::error_code ignored;
                if (t == 7) fs::create_directories(path, ignored); // the outside creator
                else if (!base::ForceDirectoriesLocked(path)) ++failures[t];
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(8, 0));
    for (const auto& path : paths) EXPECT_TRUE(fs::is_directory(path)) << path;
}

// What a download learns of the folders it made lets it skip lookups in
// them: a folder that existed already must never be reported as made.
TEST(ForceDirectoriesLocked, ReportsTheFoldersItMadeParentsFirstAndNoOther) {
    testsupport::TTempDir temp;
    std::vector<std::string> made;
    const auto record = [&](const std::string& Folder) { made.push_back(Folder); };
    ASSERT_TRUE(base::ForceDirectoriesLocked(temp.Path() + "/a/b/c/", record));
    EXPECT_EQ(made, (std::vector<std::string>{temp.Path() + "/a", temp.Path() + "/a/b", temp.Path() + "/a/b/c"}));
    made.clear();
    ASSERT_TRUE(base::ForceDirectoriesLocked(temp.Path() + "/a/b/d", record));
    ASSERT_TRUE(base::ForceDirectoriesLocked(temp.Path() + "/a/b", record));
    EXPECT_EQ(made, std::vector<std::string>{temp.Path() + "/a/b/d"});
}
