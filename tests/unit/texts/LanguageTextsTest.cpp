#include "jobs/LanguageStrings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace jobs;

// Numbers and set indexes come from translation files and front ends: none may
// reach outside the tables.
TEST(LanguageTexts, IndexesOutsideTheTablesGiveAQuestionMark) {
    struct Row { int Number, Set; const char* Text; } rows[] = {
        {10, 64, "?"}, {10, -2, "?"}, {10, 1000, "?"}, {10, 0, "Start"}, {10, -1, "Start"},
        {10, 63, ""}, {243, 0, "?"}, {-1, 0, "?"},
    };
    for (const auto& row : rows) {
        std::string text = "unchanged";
        GetLocalText(row.Number, row.Set, text, true);
        EXPECT_EQ(text, row.Text) << "text " << row.Number << " of set " << row.Set;
    }
}
