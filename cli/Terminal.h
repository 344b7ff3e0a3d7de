#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

// Text without control characters: each one becomes "?", so that a server's
// status text or an address can never move the cursor or change the terminal.
std::string PrintableText(std::string_view Text);
// Text with each control character written as an escape ("\r", "\n", "\t",
// "\x01"), so that stored values are shown whole without acting on the terminal.
std::string EscapedText(std::string_view Text);

// Standard output and standard error of the runner, with the one live status
// line that is redrawn in place on a terminal. Every printed line first wipes
// the status line, so lines and status never mix. Runner's thread only.
class TTerminal {
public:
    // StatusAllowed: the caller wants a status line; it is shown only when
    // standard output is a terminal that understands the erase sequence.
    explicit TTerminal(bool StatusAllowed, std::FILE* Out = stdout, std::FILE* Err = stderr);

    bool StatusLineShown() const { return StatusEnabled; }
    void PrintLine(std::string_view Text);
    void PrintError(std::string_view Text);
    // Replaces the status line (cut to the terminal's width).
    void DrawStatus(std::string_view Text);
    void ClearStatus();

private:
    int Columns() const;

    std::FILE* Out;
    std::FILE* Err;
    bool StatusEnabled = false;
    bool StatusVisible = false;
};

} // namespace cli
