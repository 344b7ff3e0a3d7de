#pragma once

#include "jobs/IniText.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jobs {

// An INI file on disk with Windows profile semantics. Every read reads the file
// afresh (there is no cache) and every write reaches the disk at once and
// atomically: a temporary file in the same folder is renamed over the old one,
// under an advisory lock on the folder, so two programs writing the same file
// never lose each other's changes or tear it.
class TIniFile {
public:
    enum class TFileKind {
        Plain,
        Secret,  // holds passwords: the file is kept at mode 0600
    };

    explicit TIniFile(std::string Path, TFileKind Kind = TFileKind::Plain);
    const std::string& Path() const { return FilePath; }

    // The file's text; empty when it does not exist; nullopt when it exists but cannot be read.
    std::optional<TIniText> TryLoad() const;
    // The file's text, empty when it is missing or unreadable.
    TIniText Load() const;

    std::string ReadString(std::string_view Section, std::string_view Key,
                           std::string_view Default) const;
    std::int32_t ReadInteger(std::string_view Section, std::string_view Key,
                             std::int32_t Default) const;
    std::int64_t ReadInt64(std::string_view Section, std::string_view Key,
                           std::int64_t Default) const;
    bool ReadBool(std::string_view Section, std::string_view Key, bool Default) const;

    bool WriteString(std::string_view Section, std::string_view Key, std::string_view Value);
    bool WriteInteger(std::string_view Section, std::string_view Key, std::int64_t Value);
    bool WriteBool(std::string_view Section, std::string_view Key, bool Value);
    bool DeleteKey(std::string_view Section, std::string_view Key);
    bool EraseSection(std::string_view Section);

    // Applies several changes as one atomic replacement of the file. Change may
    // refuse by returning false; then the file stays as it was. False also when
    // the file cannot be read (it is never overwritten blind) or written.
    bool Update(const std::function<bool(TIniText&)>& Change);

private:
    std::string FilePath;
    TFileKind Kind;
};

} // namespace jobs
