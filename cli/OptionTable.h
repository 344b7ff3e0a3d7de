#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// What follows an option's name on the command line.
enum class TTakes {
    Nothing,        // a flag
    Value,          // the next word, whatever it is
    NonEmptyValue,  // the next word, which must not be empty
};

// Sets the option in its record from Value (empty for a flag). When Value does
// not fit, the problem's text, which the parser puts after the option's name.
using TOptionAction = std::function<std::optional<std::string>(const std::string& Value)>;

// An action that stores the option's value in Field (a text, or an optional one).
template <class TField>
TOptionAction StoreValue(TField& Field) {
    return [&Field](const std::string& Value) {
        Field = Value;
        return std::nullopt;
    };
}

// An action of a flag that sets Field to Setting.
template <class TField>
TOptionAction SetTo(TField& Field, TField Setting) {
    return [&Field, Setting](const std::string&) {
        Field = Setting;
        return std::nullopt;
    };
}

// Help of an option the row above names beside its own ("--https, --ftp").
inline constexpr const char* NamedAbove = nullptr;
// Help of an option that the text around explains: it gets no line of its own.
inline constexpr const char* ExplainedInText = "";

// One option of a command: it drives both the parsing and the help line.
struct TOption {
    std::string Name;       // "--depth"
    TTakes Takes;
    std::string ValueName;  // shown after the name in the help ("N")
    const char* Help;       // lines after the first start with '\n'; "{}" stands for Default
    TOptionAction Apply;    // bound to the record the option sets
    std::string Default{};  // the default the help shows, when it shows one
};

// Options that the help lists together, between a heading and a closing text.
struct TOptionGroup {
    const char* Heading;
    std::vector<TOption> Options;
    const char* Closing = "";
};

// Reads Args in order: each option of Groups with its value, each other word
// through Positional (whose problem goes out as it is). A word of two or more
// characters starting with '-' that is no option is an unknown option. Stops
// at the first problem and returns its text.
std::optional<std::string> ParseOptions(const std::vector<std::string>& Args, const std::vector<TOptionGroup>& Groups,
                                        const TOptionAction& Positional);

// The help text of Groups, bound to fresh records: each heading, a line for
// each option (its text from column 26, below a long name), each closing text.
std::string OptionsHelp(const std::vector<TOptionGroup>& Groups);

// A decimal whole number, optionally negative, and nothing else.
std::optional<std::int64_t> ParseWholeNumber(const std::string& Text);

} // namespace cli
