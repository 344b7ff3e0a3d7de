#include "engine/FoldersMadeByRun.h"

#include "engine/SpiderObjectKey.h"

namespace engine {

namespace {

// An absolute path whose every step is a plain name: one text per file.
bool PlainPath(std::string_view Path) {
    if (Path.size() < 2 || Path.front() != '/' || Path.back() == '/') return false;
    for (std::size_t start = 1; start <= Path.size();) {
        const std::size_t end = std::min(Path.find('/', start), Path.size());
        const std::string_view step = Path.substr(start, end - start);
        if (step.empty() || step == "." || step == "..") return false;
        start = end + 1;
    }
    return true;
}

std::string_view FolderOf(std::string_view Path) { return Path.substr(0, Path.rfind('/')); }

} // namespace

void TFoldersMadeByRun::Forget() {
    std::lock_guard guard(Lock);
    Folders.clear();
    Given.clear();
    Unsure = false;
}

// The folder is a name given in its parent too.
void TFoldersMadeByRun::Made(const std::string& Folder) {
    Naming(Folder);
    std::lock_guard guard(Lock);
    if (PlainPath(Folder)) Folders.insert(Folder);
}

void TFoldersMadeByRun::Naming(std::string_view Path) {
    const bool plain = PlainPath(Path);
    const std::uint64_t hash = plain ? FoldedHash(Path) : 0;
    std::lock_guard guard(Lock);
    if (plain)
        Given.insert(hash);
    else
        Unsure = true;
}

bool TFoldersMadeByRun::KnownFree(std::string_view Path) const {
    if (!PlainPath(Path)) return false;
    const std::uint64_t hash = FoldedHash(Path);
    std::lock_guard guard(Lock);
    return !Unsure && !Given.contains(hash) && Folders.contains(FolderOf(Path));
}

} // namespace engine
