#include "HarvexisVersion.h"
#include "cli/CliSupport.h"
#include "cli/CopyCommand.h"
#include "cli/JobCommands.h"
#include "cli/PasswordCommands.h"
#include "cli/RunCommand.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* Usage =
    "Usage: harvexis-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  copy URL DEST [options]\n"
    "                      copy the site at URL into the folder DEST\n"
    "  run JOBFILE...      run job files one after another\n"
    "  job create FILE --url URL --dest DIR [--name NAME] [--set Key=Value]...\n"
    "                      write a job file\n"
    "  job show FILE       print every field of a job file\n"
    "  password add SITE USER | list | remove SITE\n"
    "                      keep user names and passwords for sites\n"
    "\n"
    "Options:\n"
    "  --version           print the version\n"
    "  --help              this text; COMMAND --help explains a command\n";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(Usage, stderr);
        return cli::ExitUsage;
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--version") {
        std::printf("Harvexis %s\n", HARVEXIS_VERSION);
        return cli::ExitOk;
    }
    if (command == "--help" || command == "-h") {
        std::fputs(Usage, stdout);
        return cli::ExitOk;
    }
    if (command == "copy") return cli::RunCopyCommand(rest);
    if (command == "run") return cli::RunRunCommand(rest);
    if (command == "job") return cli::RunJobCommand(rest);
    if (command == "password") return cli::RunPasswordCommand(rest);
    return cli::UsageError("unknown command '" + command + "' (see harvexis-cli --help)");
}
