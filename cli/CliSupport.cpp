#include "cli/CliSupport.h"

#include <cstdio>

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

} // namespace cli
