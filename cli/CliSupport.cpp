#include "cli/CliSupport.h"

#include <cstdio>
#include <iostream>

#include <termios.h>
#include <unistd.h>

namespace cli {

int UsageError(const std::string& Message) {
    std::fprintf(stderr, "harvexis-cli: %s\n", Message.c_str());
    return ExitUsage;
}

bool WantsHelp(const std::vector<std::string>& Args) {
    for (const auto& arg : Args)
        if (arg == "--help" || arg == "-h") return true;
    return false;
}

namespace {
std::string StripLineEnd(std::string Line) {
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    return Line;
}
} // namespace

std::optional<std::string> ReadSecretLine(const std::string& Prompt) {
    std::string line;
    if (!::isatty(STDIN_FILENO)) {
        if (!std::getline(std::cin, line) && line.empty()) return std::nullopt;
        return StripLineEnd(line);
    }
    // Echo goes off before the prompt shows, so nothing typed after it is echoed.
    termios old{};
    const bool haveModes = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (haveModes) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::fputs(Prompt.c_str(), stderr);
    std::fflush(stderr);
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (haveModes) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputs("\n", stderr);
    if (!read) return std::nullopt;
    return StripLineEnd(line);
}

} // namespace cli
