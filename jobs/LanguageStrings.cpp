#include "jobs/LanguageStrings.h"

#include "base/AppTraceLog.h"

#include <cerrno>

namespace jobs {

namespace {

constexpr std::string_view LineBreakMark = "\\r\\n";
constexpr std::string_view LineBreak = "\r\n";

// Set 0 holds the values of the built-in language's header under numbers 1 to 8
// (the built-in table holds their labels there).
constexpr std::string_view EnglishHeaderValues[] = {
    "",
    "ENU.csv",
    "Harvexis Translation File",
    "1",
    "English (United States)",
    "ENU",
    "ISO-8859-1",
    "Tindlecraft",                  // translator
    "Harvexis project maintainers",  // translator contact
};

TLocalLanguages& Instance() {
    static TLocalLanguages languages;
    return languages;
}

std::string ExpandLineBreakMarks(std::string Text) {
    for (auto at = Text.find(LineBreakMark); at != std::string::npos;
         at = Text.find(LineBreakMark, at + LineBreak.size()))
        Text.replace(at, LineBreakMark.size(), LineBreak);
    return Text;
}

std::string WithoutTrailingLineBreaks(std::string Text) {
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r')) Text.pop_back();
    return Text;
}

} // namespace

TLocalLanguages::TLocalLanguages()
    : Sets(std::make_unique<std::array<TLocalizedStringSet, MaxLanguageSets>>()) {
    auto& english = (*Sets)[0].Texts;
    for (int number = 0; number < LocalTextCount; ++number)
        english[static_cast<std::size_t>(number)] = BuiltInEnglishText(number);
    for (std::size_t number = 1; number < std::size(EnglishHeaderValues); ++number)
        english[number] = EnglishHeaderValues[number];
}

std::string TLocalLanguages::GetLocalText(int Number, int SetIndex, bool ExpandLineBreaks) const {
    if (SetIndex == CurrentLanguageSet) SetIndex = CurrentSet;
    if (SetIndex < 0 || SetIndex >= MaxLanguageSets || Number < 0 || Number >= LocalTextCount)
        return std::string(UnknownLocalText);
    const std::string& text =
        (*Sets)[static_cast<std::size_t>(SetIndex)].Texts[static_cast<std::size_t>(Number)];
    return ExpandLineBreaks ? ExpandLineBreakMarks(text) : text;
}

const TLocalLanguages& LocalLanguages() { return Instance(); }

void SetLanguageFolder(std::string Folder) { Instance().SetLanguageFolder(std::move(Folder)); }

void GetLocalText(int Number, int SetIndex, std::string& Text, bool ExpandLineBreaks) {
    Text = Instance().GetLocalText(Number, SetIndex, ExpandLineBreaks);
}

std::string LocalText(int Number) {
    return Instance().GetLocalText(Number, CurrentLanguageSet, true);
}

std::string FillPlaceholders(std::string_view Text, std::string_view X, std::string_view Y) {
    const auto xAt = Text.find("XXX");
    const auto yAt = Text.find("YYY");
    std::string result;
    result.reserve(Text.size() + X.size() + Y.size());
    std::size_t from = 0;
    // Replace in the order the placeholders appear, always scanning the template only.
    auto replace = [&](std::size_t At, std::string_view Value) {
        result.append(Text.substr(from, At - from));
        result.append(Value);
        from = At + 3;
    };
    if (xAt != std::string_view::npos && yAt != std::string_view::npos && yAt < xAt) {
        replace(yAt, Y);
        replace(xAt, X);
    } else {
        if (xAt != std::string_view::npos) replace(xAt, X);
        if (yAt != std::string_view::npos && yAt >= from) replace(yAt, Y);
    }
    result.append(Text.substr(from));
    return result;
}

std::string GetErrorText(int ErrorCode) {
    return FillPlaceholders(LocalText(TextErrorCode), std::to_string(ErrorCode),
                            WithoutTrailingLineBreaks(base::SystemErrorText(ErrorCode)));
}

std::string GetLastErrorText() {
    const int code = errno;  // taken before anything else can change it
    return GetErrorText(code);
}

} // namespace jobs
