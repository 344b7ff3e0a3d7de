#include "jobs/IniFile.h"

#include "base/AtomicReplace.h"
#include "base/PosixFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jobs {

namespace {

std::string FolderOf(const std::string& Path) {
    const auto slash = Path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : Path.substr(0, slash);
}

// Writes go to the file a symbolic link points at, so the link survives.
std::string ResolvedTarget(const std::string& Path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(Path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::realpath(Path.c_str(), resolved))
        return resolved;
    return Path;
}

} // namespace

TIniFile::TIniFile(std::string Path, TFileKind Kind) : FilePath(std::move(Path)), Kind(Kind) {}

std::optional<TIniText> TIniFile::TryLoad() const {
    const auto data = base::ReadWholeFile(FilePath);
    if (!data) return std::nullopt;
    return TIniText::Parse(*data);
}

TIniText TIniFile::Load() const { return TryLoad().value_or(TIniText()); }

std::string TIniFile::ReadString(std::string_view Section, std::string_view Key,
                                 std::string_view Default) const {
    return Load().ReadString(Section, Key, Default);
}

std::int32_t TIniFile::ReadInteger(std::string_view Section, std::string_view Key,
                                   std::int32_t Default) const {
    return Load().ReadInteger(Section, Key, Default);
}

std::int64_t TIniFile::ReadInt64(std::string_view Section, std::string_view Key,
                                 std::int64_t Default) const {
    return Load().ReadInt64(Section, Key, Default);
}

bool TIniFile::ReadBool(std::string_view Section, std::string_view Key, bool Default) const {
    return Load().ReadBool(Section, Key, Default);
}

bool TIniFile::WriteString(std::string_view Section, std::string_view Key, std::string_view Value) {
    return Update([&](TIniText& text) { return text.WriteString(Section, Key, Value); });
}

bool TIniFile::WriteInteger(std::string_view Section, std::string_view Key, std::int64_t Value) {
    return Update([&](TIniText& text) { return text.WriteInteger(Section, Key, Value); });
}

bool TIniFile::WriteBool(std::string_view Section, std::string_view Key, bool Value) {
    return Update([&](TIniText& text) { return text.WriteBool(Section, Key, Value); });
}

bool TIniFile::DeleteKey(std::string_view Section, std::string_view Key) {
    return Update([&](TIniText& text) {
        text.DeleteKey(Section, Key);
        return true;
    });
}

bool TIniFile::EraseSection(std::string_view Section) {
    return Update([&](TIniText& text) {
        text.EraseSection(Section);
        return true;
    });
}

bool TIniFile::Update(const std::function<bool(TIniText&)>& Change) {
    const std::string target = ResolvedTarget(FilePath);
    // flock on the folder serialises read-modify-write cycles of cooperating
    // processes; locking the file itself would not survive the rename.
    base::TFileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0) return false;
    while (::flock(folder.Get(), LOCK_EX) != 0)
        if (errno != EINTR) return false;
    const auto old = base::ReadWholeFile(target);
    if (!old) return false;
    TIniText text = TIniText::Parse(*old);
    if (!Change(text)) return false;
    const std::string data = text.Serialize();
    struct stat info {};
    const bool modeIsRight = Kind != TFileKind::Secret ||
                             (::stat(target.c_str(), &info) == 0 && (info.st_mode & 077) == 0);
    if (data == *old && modeIsRight) return true;
    return base::ReplaceFileAtomically(target, data, {.Secret = Kind == TFileKind::Secret});
}

} // namespace jobs
