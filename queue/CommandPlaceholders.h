#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace jobs {
class TCopyJob;
}

// The completion command line: its placeholders and how it splits.
namespace queue {

// Trims Text, then replaces, in this order and case-sensitively, every "%d"
// (the job's destination folder), "%s" (its starting address in full form,
// empty when it does not parse), "%c" (StartPageFile), "%r" (StartPageFile
// without the first occurrence of the destination folder, found without
// regard to case, so it begins with "/") and "%n" (the job's name). Text put
// in by an earlier placeholder is searched by the later ones.
std::string ExpandPlaceholders(std::string_view Text, const jobs::TCopyJob& Job,
                               const std::string& StartPageFile);

// The tokens of a command line: split at blanks, double quotes group a token
// (and are dropped), "" inside quotes stands for one quote.
std::vector<std::string> SplitCommandTokens(std::string_view Text);
// True when every token begins with "%" (such as "%c": open the copied start page).
bool CommandIsPlaceholdersOnly(std::string_view Text);

// A command line split at its first space: the program before it, the
// parameters after it (empty without a space).
struct TProgramAndParameters {
    std::string Program;
    std::string Parameters;
};
TProgramAndParameters SplitAtFirstSpace(std::string_view CommandLine);

} // namespace queue
