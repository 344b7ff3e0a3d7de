#include "jobs/LanguageStrings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace jobs;

TEST(LanguageTexts, LineBreakMarksExpandOnlyWhenAsked) {
    std::string text;
    GetLocalText(107, -1, text, true);
    EXPECT_EQ(text, "Waiting XXX seconds for YYY\r\n(click here to stop waiting)");
    GetLocalText(107, 0, text, false);
    EXPECT_EQ(text, "Waiting XXX seconds for YYY\\r\\n(click here to stop waiting)");
}

TEST(LanguageTexts, SetIndexesOutsideTheTablesGiveAQuestionMark) {
    struct Row {
        int Number, Set;
        const char* Text;
    } rows[] = {
        {10, 64, "?"}, {10, -2, "?"}, {10, 1000, "?"}, {10, 0, "Start"}, {10, -1, "Start"},
        {10, 63, ""},  // a set that exists but was never filled
        {243, 0, "?"}, {-1, 0, "?"},
    };
    for (const auto& row : rows) {
        std::string text = "unchanged";
        GetLocalText(row.Number, row.Set, text, true);
        EXPECT_EQ(text, row.Text) << "text " << row.Number << " of set " << row.Set;
    }
}

TEST(LanguageTexts, NumbersWithoutATextAreEmpty) {
    for (int number : {0, 9, 225, 230, 238, 242}) EXPECT_EQ(LocalText(number), "") << number;
}

TEST(LanguageTexts, SetZeroHoldsTheHeaderValuesAndTheEnglishTexts) {
    struct Row {
        int Number;
        const char* Text;
    } rows[] = {
        {1, "ENU.csv"},
        {2, "Harvexis Translation File"},
        {3, "1"},
        {4, "English (United States)"},
        {5, "ENU"},
        {6, "ISO-8859-1"},
        {11, "Job Queue"},
        {49, "Create XXX?"},
        {98, "Assume \"WWW\" when no third-level domain present"},
        {106, "Shutting down the computer in XXX seconds (click here to cancel)"},
        {140, "XXX of YYY Jobs Completed"},
        {146, "Shutdown the computer when all jobs completed"},
        {180, "Error XXX (YYY)"},
        {202, "Previously Downloaded"},
        {203, "This site is already in the list. Please remove it first."},
        {209, "The passwords list is full. Please remove an entry first."},
        {224, "Version XXX"},
        {239, "Missing file XXX"},
        {241, "Check for Upgrade"},
    };
    for (const auto& row : rows) EXPECT_EQ(LocalText(row.Number), row.Text) << row.Number;
    EXPECT_EQ(BuiltInEnglishText(1), "(Filename)") << "the built-in table keeps the labels";
    EXPECT_FALSE(LocalText(7).empty());
    EXPECT_FALSE(LocalText(8).empty());
}

TEST(LanguageTexts, SharedNumbersReadAlikeAndNoTextNamesWindows) {
    const std::pair<int, int> twins[] = {{10, 151}, {23, 223}, {50, 102}, {101, 179}, {142, 165},
                                         {143, 220}, {155, 208}, {163, 168}, {211, 222}};
    for (const auto& [a, b] : twins) {
        EXPECT_FALSE(LocalText(a).empty()) << a;
        EXPECT_EQ(LocalText(a), LocalText(b)) << a << " and " << b;
    }
    int filled = 0;
    for (int number = 0; number < LocalTextCount; ++number) {
        EXPECT_EQ(LocalText(number).find("Windows"), std::string::npos) << number;
        filled += !BuiltInEnglishText(number).empty();
    }
    EXPECT_EQ(filled, 226) << "every number but 0, 9, 225 to 238 and 242 has a text";
}

TEST(LanguageTexts, PlaceholdersAreFilledOnceAndValuesAreNotRescanned) {
    struct Row {
        const char* Text;
        const char* X;
        const char* Y;
        const char* Result;
    } rows[] = {
        {"XXX of YYY Jobs Completed", "3", "7", "3 of 7 Jobs Completed"},
        {"Create XXX?", "/tmp/a", "", "Create /tmp/a?"},
        {"XXX XXX", "a", "", "a XXX"},
        {"XXX then YYY", "job YYY", "2", "job YYY then 2"},
        {"YYY before XXX", "x", "y", "y before x"},
        {"none", "x", "y", "none"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FillPlaceholders(row.Text, row.X, row.Y), row.Result) << row.Text;
}

TEST(LanguageTexts, ErrorTextsNameTheCodeAndTheSystemMessage) {
    EXPECT_EQ(GetErrorText(ENOENT), "Error 2 (" + std::string(std::strerror(ENOENT)) + ")");
    EXPECT_EQ(GetErrorText(987654), "Error 987654 ()");
    // 12000 + curl code 6, CURLE_COULDNT_RESOLVE_HOST.
    EXPECT_EQ(GetErrorText(12006), "Error 12006 (Couldn't resolve host name)");
    errno = EACCES;
    EXPECT_EQ(GetLastErrorText(), GetErrorText(EACCES));
}

TEST(LanguageTexts, LanguageFolderIsOnlyRecorded) {
    SetLanguageFolder("/opt/harvexis/Languages/");
    EXPECT_EQ(LocalLanguages().LanguageFolder(), "/opt/harvexis/Languages/");
    EXPECT_EQ(LocalLanguages().Count(), 1);
    EXPECT_EQ(LocalLanguages().CurrentIndex(), 0);
}
