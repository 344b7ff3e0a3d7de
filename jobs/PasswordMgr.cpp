#include "jobs/PasswordMgr.h"

#include "base/AsciiText.h"
#include "jobs/Base64.h"
#include "jobs/IniFile.h"
#include "base/AppTraceLog.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>

#include <sys/stat.h>

namespace jobs {

namespace {

constexpr const char* UnitName = "Passwords";
constexpr std::string_view Section = "Security";
constexpr std::string_view CountKey = "Count";
constexpr std::string_view HostKey = "Host";
constexpr std::string_view UserKey = "U";
constexpr std::string_view PasswordKey = "P";

std::string IndexedKey(std::string_view Key, int Index) {
    return std::string(Key) + std::to_string(Index);
}

// The index of a "Host" + decimal key, written as the program writes it (no
// sign, no leading zeros); nullopt for any other key.
std::optional<int> HostKeyIndex(std::string_view Key) {
    if (Key.size() <= HostKey.size() || !base::SameTextAscii(Key.substr(0, HostKey.size()), HostKey))
        return std::nullopt;
    const auto digits = Key.substr(HostKey.size());
    if (digits.size() > 1 && digits.front() == '0') return std::nullopt;
    int index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error != std::errc() || end != digits.data() + digits.size() || index < 0)
        return std::nullopt;
    return index;
}

// The indexes 0 to Count-1 that have a host key, in order. Walking the keys that
// exist, not 0 to Count, keeps a hand-edited huge Count from stalling the load.
std::vector<int> StoredIndexes(const TIniText& Text) {
    const std::int32_t count = Text.ReadInteger(Section, CountKey, 0);
    std::vector<int> indexes;
    for (const auto& key : Text.ReadKeys(Section))
        if (const auto index = HostKeyIndex(key); index && *index < count) indexes.push_back(*index);
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    return indexes;
}

// What is wrong with the stored entry Index: a blank host, or a user name or
// password that is missing or no Base64.
std::optional<std::string> EntryProblem(const TIniText& Text, int Index) {
    const std::string entry = "entry " + std::to_string(Index) + " ";
    if (Text.ReadString(Section, IndexedKey(HostKey, Index), "").empty()) return entry + "has a blank Host";
    for (const auto key : {UserKey, PasswordKey}) {
        const auto value = Text.ReadValue(Section, IndexedKey(key, Index));
        if (!value || !Base64ToStr(*value))
            return entry + (value ? "holds no Base64 in " : "has no ") + IndexedKey(key, Index);
    }
    return std::nullopt;
}

bool HasControlCharacter(std::string_view Text) {
    return std::any_of(Text.begin(), Text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < ' ' || c == '\x7f'; });
}

void LogException(const char* Method, const std::string& Message) {
    base::TraceLog.LogEntry(base::ttException, Message, Method, UnitName);
}

} // namespace

std::string NormalizeSiteKey(std::string_view Site) {
    std::string key = base::LowerAscii(base::TrimControls(Site));
    if (const auto scheme = key.find("://"); scheme != std::string::npos) key.erase(0, scheme + 3);
    if (const auto slash = key.find('/'); slash != std::string::npos) key.erase(slash);
    return key;
}

std::string SafeBase64ToStr(std::string_view Text) {
    if (auto decoded = Base64ToStr(Text)) return std::move(*decoded);
    LogException("SafeBase64ToStr", "Invalid base64: " + std::string(Text));
    return {};
}

int TPasswordManager::IndexOf(std::string_view Host) const {
    for (int i = 0; i < ItemCount; ++i)
        if (base::SameTextAscii(Items[static_cast<std::size_t>(i)].Host, Host)) return i;
    return -1;
}

bool TPasswordManager::FindPassword(std::string_view Host, TSitePassword& Record) const {
    std::lock_guard guard(Lock);
    const int index = IndexOf(Host);
    if (index < 0) return false;
    Record = Items[static_cast<std::size_t>(index)];
    return true;
}

bool TPasswordManager::SetPassword(const TSitePassword& Record) {
    std::lock_guard guard(Lock);
    int index = IndexOf(Record.Host);
    if (index < 0) {
        if (ItemCount >= MaxSitePasswords) return false;
        index = ItemCount++;
    }
    Items[static_cast<std::size_t>(index)] = Record;
    return true;
}

bool TPasswordManager::RemovePassword(std::string_view Host) {
    std::lock_guard guard(Lock);
    const int index = IndexOf(Host);
    if (index < 0) return false;
    std::move(Items.begin() + index + 1, Items.begin() + ItemCount, Items.begin() + index);
    Items[static_cast<std::size_t>(--ItemCount)] = TSitePassword{};
    return true;
}

std::vector<TSitePassword> TPasswordManager::Entries() const {
    std::lock_guard guard(Lock);
    return {Items.begin(), Items.begin() + ItemCount};
}

int TPasswordManager::Count() const {
    std::lock_guard guard(Lock);
    return ItemCount;
}

void TPasswordManager::Clear() {
    std::lock_guard guard(Lock);
    std::fill(Items.begin(), Items.begin() + ItemCount, TSitePassword{});
    ItemCount = 0;
}

void TPasswordManager::LoadFrom(const TIniText& Text) {
    Clear();
    for (const int i : StoredIndexes(Text)) {
        TSitePassword record;
        record.Host = Text.ReadString(Section, IndexedKey(HostKey, i), "");
        record.User = SafeBase64ToStr(Text.ReadString(Section, IndexedKey(UserKey, i), ""));
        record.Password = SafeBase64ToStr(Text.ReadString(Section, IndexedKey(PasswordKey, i), ""));
        // Beyond 100 sites SetPassword refuses; such entries are skipped silently.
        if (!record.Host.empty() && !record.User.empty() && !record.Password.empty())
            SetPassword(record);
    }
}

bool TPasswordManager::StoreTo(TIniText& Text) const {
    const auto entries = Entries();
    const int count = static_cast<int>(entries.size());
    if (!Text.WriteInteger(Section, CountKey, count)) return false;
    for (int i = 0; i < count; ++i) {
        const auto& entry = entries[static_cast<std::size_t>(i)];
        if (!Text.WriteString(Section, IndexedKey(HostKey, i), entry.Host) ||
            !Text.WriteString(Section, IndexedKey(UserKey, i), StrToBase64(entry.User)) ||
            !Text.WriteString(Section, IndexedKey(PasswordKey, i), StrToBase64(entry.Password)))
            return false;
    }
    for (int i = count; i < MaxSitePasswords; ++i)
        for (const auto key : {HostKey, UserKey, PasswordKey})
            Text.DeleteKey(Section, IndexedKey(key, i));
    return true;
}

TAddPasswordResult AddSitePassword(TPasswordManager& Manager, std::string_view Site,
                                   std::string_view User, std::string_view Password,
                                   bool AllowReplace) {
    TSitePassword record{NormalizeSiteKey(Site), base::TrimControls(User), base::TrimControls(Password)};
    if (record.Host.empty() || record.User.empty() || record.Password.empty())
        return TAddPasswordResult::Incomplete;
    // A host is stored as a plain INI value; a line break in it would make
    // every later save of the whole list fail.
    if (HasControlCharacter(record.Host)) return TAddPasswordResult::InvalidSite;
    TSitePassword known;
    if (!AllowReplace && Manager.FindPassword(record.Host, known))
        return TAddPasswordResult::AlreadyKnown;
    return Manager.SetPassword(record) ? TAddPasswordResult::Added : TAddPasswordResult::ListFull;
}

std::optional<std::string> PasswordTextProblem(const TIniText& Text) {
    if (!Text.SectionExists(Section)) {
        if (base::TrimControls(Text.Serialize()).empty()) return std::nullopt;
        return "it holds no [" + std::string(Section) + "] section";
    }
    const auto count = Text.ReadValue(Section, CountKey);
    const auto number = count ? ParseProfileInteger(*count) : std::nullopt;
    if (!number || *number < 0)
        return std::string(CountKey) + " is " + (count ? "'" + *count + "', no number of entries" : "missing");
    for (const int index : StoredIndexes(Text)) {
        if (index >= MaxSitePasswords) break;
        if (auto problem = EntryProblem(Text, index)) return problem;
    }
    return std::nullopt;
}

TPasswordFileCheck CheckPasswordFile(const std::string& FileName) {
    TPasswordFileCheck check;
    struct stat info {};
    if (::stat(FileName.c_str(), &info) != 0 && errno == ENOENT) {
        check.Missing = true;
        return check;
    }
    errno = 0;
    const auto text = TIniFile(FileName, TIniFile::TFileKind::Secret).TryLoad();
    if (!text) {
        check.Problem = errno != 0 ? std::string("it cannot be read: ") + std::strerror(errno) : "it is no regular file";
        return check;
    }
    check.Problem = PasswordTextProblem(*text);
    return check;
}

std::string PasswordFileName(const std::string& DataFolder) {
    return DataFolder + std::string(PasswordFileBaseName);
}

bool LoadPasswords(TPasswordManager& Manager, const std::string& FileName) {
    try {
        const auto text = TIniFile(FileName, TIniFile::TFileKind::Secret).TryLoad();
        if (!text) {
            LogException("LoadPasswords", "Unable to read " + FileName + ": " + std::strerror(errno));
            return false;
        }
        Manager.LoadFrom(*text);
        return true;
    } catch (const std::exception& error) {
        LogException("LoadPasswords", error.what());
        return false;
    }
}

bool SavePasswords(const TPasswordManager& Manager, const std::string& FileName) {
    try {
        if (TIniFile(FileName, TIniFile::TFileKind::Secret).Update([&](TIniText& text) {
                return Manager.StoreTo(text);
            }))
            return true;
        LogException("SavePasswords", "Unable to write " + FileName);
    } catch (const std::exception& error) {
        LogException("SavePasswords", error.what());
    }
    return false;
}

bool UpdatePasswordFile(const std::string& FileName,
                        const std::function<bool(TPasswordManager&)>& Change) {
    try {
        return TIniFile(FileName, TIniFile::TFileKind::Secret).Update([&](TIniText& text) {
            // Loading skips damaged entries: saving them back would lose them for good.
            if (PasswordTextProblem(text)) return false;
            // The table is large; keep it off the stack.
            auto manager = std::make_unique<TPasswordManager>();
            manager->LoadFrom(text);
            return Change(*manager) && manager->StoreTo(text);
        });
    } catch (const std::exception& error) {
        LogException("SavePasswords", error.what());
        return false;
    }
}

} // namespace jobs
