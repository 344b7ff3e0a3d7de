#include "cli/PasswordCommands.h"

#include "cli/CliSupport.h"
#include "jobs/LanguageStrings.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"

#include <cstdio>
#include <optional>


namespace cli {

namespace {

// Texts of the password editors, shared with the desktop program.
constexpr int TextSiteAlreadyKnown = 203;
constexpr int TextPasswordListFull = 209;

constexpr const char* HelpText =
    "Usage: harvexis-cli password add SITE USER\n"
    "       harvexis-cli password list\n"
    "       harvexis-cli password remove SITE\n"
    "\n"
    "Manages the user names and passwords that copy jobs send to web sites.\n"
    "SITE is a host name, optionally with a port; a pasted address is reduced\n"
    "to its host and port. \"add\" reads the password from the terminal without\n"
    "echo, or the first line of standard input when it is no terminal.\n"
    "\"list\" shows each site and user name, never a password.\n";

int PasswordUsageError(const std::string& Message) {
    return UsageError("password: " + Message + " (try \"harvexis-cli password --help\")");
}

int Failure(const std::string& Message) {
    std::fprintf(stderr, "harvexis-cli password: %s\n", Message.c_str());
    return ExitFailure;
}

std::string StoreFileName() { return jobs::PasswordFileName(jobs::GetDataFolder()); }

// Control characters in stored names would let a listing fake lines.
std::string Printable(std::string Text) {
    for (char& c : Text)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7f') c = '?';
    return Text;
}

// An unreadable or damaged store is reported, never taken as an empty one.
std::optional<int> StoreFailure(const std::string& FileName, const jobs::TPasswordFileCheck& Check) {
    if (!Check.Problem) return std::nullopt;
    return Failure("the password store " + FileName + " cannot be used: " + Printable(*Check.Problem));
}

int AddResultStatus(jobs::TAddPasswordResult Result) {
    switch (Result) {
    case jobs::TAddPasswordResult::Added: return ExitOk;
    case jobs::TAddPasswordResult::Incomplete:
        return Failure("the site, the user name and the password must not be blank");
    case jobs::TAddPasswordResult::InvalidSite:
        return Failure("the site must not contain control characters");
    case jobs::TAddPasswordResult::AlreadyKnown:
        return Failure(jobs::LocalText(TextSiteAlreadyKnown));
    case jobs::TAddPasswordResult::ListFull:
        return Failure(jobs::LocalText(TextPasswordListFull));
    }
    return ExitFailure;
}

int AddPassword(const std::string& Site, const std::string& User) {
    const auto password = ReadSecretLine("Password: ");
    if (!password) return Failure("no password given");
    const std::string fileName = StoreFileName();
    if (const auto failed = StoreFailure(fileName, jobs::CheckPasswordFile(fileName))) return *failed;
    std::optional<jobs::TAddPasswordResult> result;  // none when the store could not be read
    const bool saved = jobs::UpdatePasswordFile(fileName, [&](jobs::TPasswordManager& store) {
        result = jobs::AddSitePassword(store, Site, User, *password, false);
        return result == jobs::TAddPasswordResult::Added;
    });
    if (!result) return Failure("unable to read " + fileName);
    if (*result != jobs::TAddPasswordResult::Added) return AddResultStatus(*result);
    if (!saved) return Failure("unable to write " + fileName);
    std::printf("Stored the password of user %s for site %s.\n", Printable(User).c_str(),
                Printable(jobs::NormalizeSiteKey(Site)).c_str());
    return ExitOk;
}

int ListPasswords() {
    const std::string fileName = StoreFileName();
    const auto check = jobs::CheckPasswordFile(fileName);
    if (const auto failed = StoreFailure(fileName, check)) return *failed;
    jobs::TPasswordManager store;
    if (!check.Missing && !jobs::LoadPasswords(store, fileName)) return Failure("unable to read " + fileName);
    if (store.Count() == 0) std::fputs("harvexis-cli password: no passwords are stored\n", stderr);
    for (const auto& entry : store.Entries())
        std::printf("%s\t%s\n", Printable(entry.Host).c_str(), Printable(entry.User).c_str());
    return ExitOk;
}

int RemovePassword(const std::string& Site) {
    const std::string host = jobs::NormalizeSiteKey(Site);
    const std::string fileName = StoreFileName();
    const auto check = jobs::CheckPasswordFile(fileName);
    if (const auto failed = StoreFailure(fileName, check)) return *failed;
    if (check.Missing) return Failure("no passwords are stored, so none for site " + Printable(host));
    std::optional<bool> found;  // none when the store could not be read
    const bool saved = jobs::UpdatePasswordFile(fileName, [&](jobs::TPasswordManager& store) {
        found = store.RemovePassword(host);
        return *found;
    });
    if (!found) return Failure("unable to read " + fileName);
    if (!*found) return Failure("no password is stored for site " + Printable(host));
    if (!saved) return Failure("unable to write " + fileName);
    return ExitOk;
}

} // namespace

int RunPasswordCommand(const std::vector<std::string>& Args) {
    if (Args.empty()) return PasswordUsageError("missing command: add, list or remove");
    if (WantsHelp(Args)) {
        std::fputs(HelpText, stdout);
        return ExitOk;
    }
    const std::string& command = Args[0];
    const std::size_t operands = Args.size() - 1;
    if (command == "add") {
        if (operands != 2) return PasswordUsageError("add takes a site and a user name");
        return AddPassword(Args[1], Args[2]);
    }
    if (command == "list") {
        if (operands != 0) return PasswordUsageError("list takes no arguments");
        return ListPasswords();
    }
    if (command == "remove") {
        if (operands != 1) return PasswordUsageError("remove takes a site");
        return RemovePassword(Args[1]);
    }
    return PasswordUsageError("unknown command \"" + command + "\"");
}

} // namespace cli
