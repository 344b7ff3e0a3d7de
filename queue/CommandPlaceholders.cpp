#include "queue/CommandPlaceholders.h"

#include "base/AsciiText.h"
#include "jobs/JobTypes.h"
#include "web/StartingURL.h"

namespace queue {

namespace {

void ReplaceAll(std::string& Text, std::string_view Placeholder, const std::string& Value) {
    for (std::size_t at = Text.find(Placeholder); at != std::string::npos;
         at = Text.find(Placeholder, at + Value.size())) {
        Text.replace(at, Placeholder.size(), Value);
    }
}

// StartPageFile with the first occurrence of Folder (any letter case) cut out.
std::string RelativeToFolder(const std::string& StartPageFile, const std::string& Folder) {
    if (Folder.empty()) return StartPageFile;
    const std::string file = base::LowerAscii(StartPageFile);
    const std::size_t at = file.find(base::LowerAscii(Folder));
    if (at == std::string::npos) return StartPageFile;
    return StartPageFile.substr(0, at) + StartPageFile.substr(at + Folder.size());
}

} // namespace

std::string ExpandPlaceholders(std::string_view Text, const jobs::TCopyJob& Job,
                               const std::string& StartPageFile) {
    std::string text = base::TrimControls(Text);
    const std::string folder = Job.GetDestinationPath();
    const web::TURL address = web::GetStartingURL(Job);
    ReplaceAll(text, "%d", folder);
    ReplaceAll(text, "%s", address.IsValid() ? address.GetFullURL() : std::string());
    ReplaceAll(text, "%c", StartPageFile);
    ReplaceAll(text, "%r", RelativeToFolder(StartPageFile, folder));
    ReplaceAll(text, "%n", Job.JobName);
    return text;
}

std::vector<std::string> SplitCommandTokens(std::string_view Text) {
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    const auto isBlank = [&Text](std::size_t At) { return static_cast<unsigned char>(Text[At]) <= ' '; };
    while (true) {
        while (pos < Text.size() && isBlank(pos))
            ++pos;
        if (pos >= Text.size()) return tokens;
        std::string token;
        for (bool quoted = false; pos < Text.size() && (quoted || !isBlank(pos)); ++pos) {
            if (Text[pos] != '"')
                token += Text[pos];
            else if (quoted && pos + 1 < Text.size() && Text[pos + 1] == '"')
                token += Text[++pos];
            else
                quoted = !quoted;
        }
        tokens.push_back(std::move(token));
    }
}

bool CommandIsPlaceholdersOnly(std::string_view Text) {
    for (const std::string& token : SplitCommandTokens(Text))
        if (token.empty() || token[0] != '%') return false;
    return true;
}

TProgramAndParameters SplitAtFirstSpace(std::string_view CommandLine) {
    const std::size_t space = CommandLine.find(' ');
    if (space == std::string_view::npos) return {std::string(CommandLine), {}};
    return {std::string(CommandLine.substr(0, space)), std::string(CommandLine.substr(space + 1))};
}

} // namespace queue
