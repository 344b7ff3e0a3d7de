#include "jobs/RegisterFileType.h"

#include <gtest/gtest.h>

using namespace jobs;

// The program's path goes into a desktop entry's Exec line: no path may add
// arguments or run a shell expansion.
TEST(RegisterFileType, ExecArgumentsSurviveAnyPath) {
    struct Row { const char *Path, *Written; } rows[] = {
        {"/opt/My Apps/harvexis", R"("/opt/My Apps/harvexis")"}, {R"(/a"b)", R"("/a\\"b")"},
        {R"(/a\b)", R"("/a\\\\b")"}, {"/a$b`c", R"("/a\\$b\\`c")"}, {"/100%", R"("/100%%")"}, {"/a\nb", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(DesktopExecArgument(row.Path), row.Written) << row.Path;
}
