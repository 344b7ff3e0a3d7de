#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The password store: one user name and password per site, consulted by the
// download threads and kept in "up.ini" in the data folder (a secret file).
namespace jobs {

class TIniText;

struct TSitePassword {
    std::string Host;  // lower case, possibly with ":" and a port
    std::string User;
    std::string Password;
};

inline constexpr int MaxSitePasswords = 100;
inline constexpr std::string_view PasswordFileBaseName = "up.ini";

// What the user typed as a site, reduced to the key the store uses: trimmed,
// lower case, without "scheme://" and without the first "/" and what follows.
std::string NormalizeSiteKey(std::string_view Site);

// Base64ToStr, but undecodable text gives "" and a trace entry.
std::string SafeBase64ToStr(std::string_view Text);

// At most 100 entries in insertion order. Every operation holds the lock for
// its whole run and records are copied in and out, so no caller ever holds a
// reference into the table while another thread changes it.
class TPasswordManager {
public:
    // Host compares with ASCII letters folded to one case, otherwise exactly.
    bool FindPassword(std::string_view Host, TSitePassword& Record) const;
    // Replaces the entry of the same host or appends one; false when full.
    bool SetPassword(const TSitePassword& Record);
    // Removes the entry; later entries move up, keeping their order.
    bool RemovePassword(std::string_view Host);

    std::vector<TSitePassword> Entries() const;
    int Count() const;
    void Clear();

    // Replaces the table by the entries of a password file's text: each entry
    // whose host, user name and password are all present and decodable.
    void LoadFrom(const TIniText& Text);
    // Writes the table into a password file's text, deleting the keys of
    // unused indexes. False when a host cannot be written to the file.
    bool StoreTo(TIniText& Text) const;

private:
    int IndexOf(std::string_view Host) const;  // caller holds Lock

    mutable std::mutex Lock;  // guards Items and ItemCount
    std::array<TSitePassword, MaxSitePasswords> Items;
    int ItemCount = 0;
};

enum class TAddPasswordResult {
    Added,
    Incomplete,    // site, user name or password blank: nothing happens
    InvalidSite,   // control characters in the site: it could not be saved
    AlreadyKnown,  // the site is stored and replacing was not allowed
    ListFull,
};

// The add action of the password editors: trims the three values, normalises
// the site and stores the entry.
TAddPasswordResult AddSitePassword(TPasswordManager& Manager, std::string_view Site,
                                   std::string_view User, std::string_view Password,
                                   bool AllowReplace);

// DataFolder (ending with "/") + "up.ini".
std::string PasswordFileName(const std::string& DataFolder);
// Fills Manager from the file (a missing file is an empty store). False, with a
// trace entry, when the file cannot be read; Manager is then unchanged.
bool LoadPasswords(TPasswordManager& Manager, const std::string& FileName);
// Writes the whole table in one atomic replacement of the file (mode 0600).
bool SavePasswords(const TPasswordManager& Manager, const std::string& FileName);
// Why a password file's text is damaged: no "Security" section in a file that
// holds anything, a Count that is no number, or a stored entry whose host is
// blank or whose user name or password is missing or no Base64. Nullopt when
// the text is a sound store (an empty text is one).
std::optional<std::string> PasswordTextProblem(const TIniText& Text);

// A password file as the commands that list and edit it see it.
struct TPasswordFileCheck {
    bool Missing = false;                // no file yet: an empty store
    std::optional<std::string> Problem;  // why it cannot be used: unreadable (the system's reason) or damaged
};
TPasswordFileCheck CheckPasswordFile(const std::string& FileName);

// Loads the file, applies Change and saves the result, all under the file's
// lock, so that a concurrent writer's change is never lost. Nothing is written
// when Change returns false or the file is damaged (PasswordTextProblem).
bool UpdatePasswordFile(const std::string& FileName,
                        const std::function<bool(TPasswordManager&)>& Change);

} // namespace jobs
