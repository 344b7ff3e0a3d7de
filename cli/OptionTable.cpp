#include "cli/OptionTable.h"

#include <charconv>

namespace cli {

namespace {

constexpr std::size_t HelpColumn = 25;  // where each help text starts, after two spaces and the name

const TOption* FindOption(const std::vector<TOptionGroup>& Groups, const std::string& Name) {
    for (const auto& group : Groups)
        for (const auto& option : group.Options)
            if (option.Name == Name) return &option;
    return nullptr;
}

// Network options have always said this without the word "option".
std::string MissingValue(const TOption& Option) {
    const std::string text = Option.Name + " needs a value";
    return Option.Takes == TTakes::NonEmptyValue ? text : "option " + text;
}

std::string NameAndValue(const TOption& Option) {
    return Option.ValueName.empty() ? Option.Name : Option.Name + " " + Option.ValueName;
}

// The help text of one line, with its default and its later lines indented.
std::string HelpText(const TOption& Option) {
    std::string text = Option.Help;
    if (const auto mark = text.find("{}"); mark != std::string::npos) text.replace(mark, 2, Option.Default);
    const std::string indent(HelpColumn, ' ');
    for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', end + 1))
        text.insert(end + 1, indent);
    return text;
}

// The line of Options[First], naming the options after it that have no line of their own.
std::string OptionLine(const std::vector<TOption>& Options, std::size_t First) {
    std::string names = "  " + NameAndValue(Options[First]);
    for (auto i = First + 1; i < Options.size() && Options[i].Help == NamedAbove; ++i)
        names += ", " + NameAndValue(Options[i]);
    names += names.size() < HelpColumn ? std::string(HelpColumn - names.size(), ' ')
                                       : "\n" + std::string(HelpColumn, ' ');
    return names + HelpText(Options[First]) + "\n";
}

} // namespace

std::optional<std::string> ParseOptions(const std::vector<std::string>& Args, const std::vector<TOptionGroup>& Groups,
                                        const TOptionAction& Positional) {
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& arg = Args[i];
        const TOption* option = FindOption(Groups, arg);
        if (!option) {
            if (arg.size() > 1 && arg[0] == '-') return "unknown option " + arg;
            if (auto problem = Positional(arg)) return problem;
            continue;
        }
        std::string value;
        if (option->Takes != TTakes::Nothing) {
            if (i + 1 >= Args.size() || (option->Takes == TTakes::NonEmptyValue && Args[i + 1].empty()))
                return MissingValue(*option);
            value = Args[++i];
        }
        if (auto problem = option->Apply(value)) return arg + " " + *problem;
    }
    return std::nullopt;
}

std::string OptionsHelp(const std::vector<TOptionGroup>& Groups) {
    std::string help;
    for (const auto& group : Groups) {
        help += group.Heading;
        for (std::size_t i = 0; i < group.Options.size(); ++i)
            if (group.Options[i].Help != NamedAbove && *group.Options[i].Help != '\0')
                help += OptionLine(group.Options, i);
        help += group.Closing;
    }
    return help;
}

std::optional<std::int64_t> ParseWholeNumber(const std::string& Text) {
    std::int64_t value = 0;
    const char* end = Text.data() + Text.size();
    const auto [stop, error] = std::from_chars(Text.data(), end, value);
    if (Text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

} // namespace cli
