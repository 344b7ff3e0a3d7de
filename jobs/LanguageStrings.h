#pragma once

#include "jobs/LanguageTexts.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Every caption, hint and message of the user interface, fetched by number.
namespace jobs {

inline constexpr int LocalTextCount = 243;   // text numbers 0 to 242
inline constexpr int MaxLanguageSets = 64;   // set indexes 0 to 63
inline constexpr int CurrentLanguageSet = -1;
// The answer for a set index or text number that does not exist.
inline constexpr std::string_view UnknownLocalText = "?";

// Text numbers other units name in code rather than in captions.
inline constexpr std::uint8_t TextErrorCode = 180;  // "Error XXX (YYY)"

// One language: a text for each number.
struct TLocalizedStringSet {
    std::array<std::string, LocalTextCount> Texts;
};

// The language tables. Only set 0, the built-in English one, is ever filled;
// it is the one in use for the whole run. Read-only after construction, so
// any thread may read texts.
class TLocalLanguages {
public:
    TLocalLanguages();

    // Text of Number in set SetIndex (CurrentLanguageSet for the one in use),
    // with "\r\n" marks turned into line breaks when asked; UnknownLocalText
    // for a set index outside 0 to 63 or a number outside 0 to 242.
    std::string GetLocalText(int Number, int SetIndex, bool ExpandLineBreaks) const;

    int Count() const { return SetCount; }
    int CurrentIndex() const { return CurrentSet; }
    // Only recorded: no language files are read.
    void SetLanguageFolder(std::string Folder) { LanguageFolderName = std::move(Folder); }
    const std::string& LanguageFolder() const { return LanguageFolderName; }

private:
    std::unique_ptr<std::array<TLocalizedStringSet, MaxLanguageSets>> Sets;
    int SetCount = 1;
    int CurrentSet = 0;
    std::string LanguageFolderName;
};

// The program's language tables, created on first use.
const TLocalLanguages& LocalLanguages();
// Called once at start-up, before other threads run.
void SetLanguageFolder(std::string Folder);

void GetLocalText(int Number, int SetIndex, std::string& Text, bool ExpandLineBreaks);
// The text of Number in the current set, line breaks expanded: what every caller wants.
std::string LocalText(int Number);

// Replaces the first "XXX" by X and the first "YYY" by Y. Inserted values are
// never searched again, so a value that itself holds "YYY" stays as it is.
std::string FillPlaceholders(std::string_view Text, std::string_view X, std::string_view Y = {});

// Text 180 "Error XXX (YYY)" for a system error (errno value) or an internet-
// library error (12000 + curl code); YYY is empty for an unknown code.
std::string GetErrorText(int ErrorCode);
// The same for the calling thread's errno.
std::string GetLastErrorText();

} // namespace jobs
