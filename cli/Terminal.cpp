#include "cli/Terminal.h"

#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

namespace {

constexpr const char* EraseLine = "\r\033[K";

bool CapableTerminal(std::FILE* Stream) {
    const char* term = std::getenv("TERM");
    return ::isatty(::fileno(Stream)) && term && *term && std::strcmp(term, "dumb") != 0;
}

} // namespace

std::string PrintableText(std::string_view Text) {
    std::string text(Text);
    for (char& ch : text)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ch = '?';
    return text;
}

std::string EscapedText(std::string_view Text) {
    std::string text;
    for (const char ch : Text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '\r') text += "\\r";
        else if (ch == '\n') text += "\\n";
        else if (ch == '\t') text += "\\t";
        else if (byte < 0x20 || byte == 0x7f) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            text += escape;
        } else text += ch;
    }
    return text;
}

TTerminal::TTerminal(bool StatusAllowed, std::FILE* Out, std::FILE* Err)
    : Out(Out), Err(Err), StatusEnabled(StatusAllowed && CapableTerminal(Out)) {}

int TTerminal::Columns() const {
    winsize size{};
    if (::ioctl(::fileno(Out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void TTerminal::PrintLine(std::string_view Text) {
    ClearStatus();
    std::fprintf(Out, "%s\n", PrintableText(Text).c_str());
    std::fflush(Out);
}

void TTerminal::PrintError(std::string_view Text) {
    ClearStatus();
    std::fflush(Out);
    std::fprintf(Err, "harvexis-cli: %s\n", PrintableText(Text).c_str());
    std::fflush(Err);
}

void TTerminal::DrawStatus(std::string_view Text) {
    if (!StatusEnabled) return;
    std::string line = PrintableText(Text);
    // One column short of the width, so the cursor never wraps to a new line.
    const auto width = static_cast<std::size_t>(Columns() - 1);
    if (line.size() > width) line.resize(width);
    std::fprintf(Out, "%s%s", EraseLine, line.c_str());
    std::fflush(Out);
    StatusVisible = true;
}

void TTerminal::ClearStatus() {
    if (!StatusVisible) return;
    std::fputs(EraseLine, Out);
    StatusVisible = false;
}

} // namespace cli
