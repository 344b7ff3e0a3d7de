#include "jobs/JobTypes.h"

#include "base/AsciiText.h"
#include "base/ForceDir.h"

#include <cstdio>
#include <vector>

#include <sys/stat.h>

namespace jobs {

namespace {

// Items of a comma list: commas, blanks and control characters all separate
// items, and empty items do not count.
std::vector<std::string> SplitCommaList(std::string_view Text) {
    std::vector<std::string> items;
    std::string item;
    for (char c : Text) {
        if (c == ',' || static_cast<unsigned char>(c) <= ' ') {
            if (!item.empty()) items.push_back(std::move(item));
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.empty()) items.push_back(std::move(item));
    return items;
}

std::string Joined(const std::vector<std::string>& Items, std::string_view Separator) {
    std::string out;
    for (const auto& item : Items) {
        if (!out.empty()) out += Separator;
        out += item;
    }
    return out;
}

bool FolderExists(const std::string& Path) {
    struct stat info {};
    return ::stat(Path.c_str(), &info) == 0;
}

// An empty list with a purpose other than "copy all" would refuse everything
// (copy only nothing) or nothing (exclude nothing): make it plainly "copy all".
bool ClearPurposeOfEmptyList(const std::string& List, std::int32_t& Purpose) {
    if (!List.empty() || Purpose == lpCopyAll) return false;
    Purpose = lpCopyAll;
    return true;
}

} // namespace

std::string NormalizeCommaList(std::string_view Text, std::size_t MaxItemLength,
                               std::size_t MaxItems) {
    std::vector<std::string> items;
    for (auto& item : SplitCommaList(Text))
        if (item.size() <= MaxItemLength) items.push_back(std::move(item));
    if (items.size() > MaxItems) items.resize(MaxItems);
    return Joined(items, ", ");
}

void ExcludeListItem(std::string& List, std::int32_t& Purpose, std::string_view Item) {
    if (Item.empty() || Item.size() > MaxCommaListItemLength) return;
    const auto items = SplitCommaList(List);
    if (items.size() > MaxCommaListItems) return;
    std::size_t found = items.size();
    for (std::size_t i = 0; i < items.size() && found == items.size(); ++i)
        if (base::SameTextAscii(items[i], Item)) found = i;
    switch (Purpose) {
    case lpCopyOnly:
        // An item not in the list is refused already.
        if (found < items.size()) {
            auto remaining = items;
            remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(found));
            List = Joined(remaining, ",");
        }
        break;
    case lpDoNotCopy:
        if (found == items.size()) List = List.empty() ? std::string(Item) : List + ", " + std::string(Item);
        break;
    case lpCopyAll:
        List = std::string(Item);
        Purpose = lpDoNotCopy;
        break;
    default:
        break;
    }
}

void TCopyJob::SetDestinationFolder(const std::string& Path) {
    DestinationFolder = Path;
    if (DestinationFolder.size() > 1 && DestinationFolder.back() == '/') DestinationFolder.pop_back();
    UniqueSubfolder.clear();
}

std::string TCopyJob::GetDestinationPath() const {
    if (UniqueSubfolder.empty()) return DestinationFolder;
    return DestinationFolder + "/" + UniqueSubfolder;
}

bool TCopyJob::SelectUniqueDestinationSubfolder() {
    constexpr std::uint32_t LastNumber = 99'999'999;
    for (std::uint32_t n = 1; n <= LastNumber; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "%08u", n);
        const std::string folder = DestinationFolder + "/" + name;
        if (FolderExists(folder)) continue;
        if (base::ForceDirectoriesLocked(folder)) {
            UniqueSubfolder = name;
            return true;
        }
        // Lost a race with another program for this number: try the next one.
        if (FolderExists(folder)) continue;
        return false;
    }
    return false;
}

bool TCopyJob::PrepareForRun() {
    bool changed = ClearPurposeOfEmptyList(Extensions, ExtensionsPurpose);
    changed = ClearPurposeOfEmptyList(Types, TypesPurpose) || changed;
    changed = ClearPurposeOfEmptyList(Hosts, HostsPurpose) || changed;
    changed = ClearPurposeOfEmptyList(AddressStrings, AddressStringsPurpose) || changed;
    RecreateFolderStructure = true;
    if (FlattenDestinationFolders) {
        RewriteLinks = false;
        DownloadOptions.UpdateOldFiles = false;
    }
    return changed;
}

void TCopyJob::Reset() {
    UniqueSubfolder.clear();
    JobName.clear();
    RecreateFolderStructure = true;
    FlattenDestinationFolders = false;
    RewriteLinks = true;
    AddMarkOfWebOnRewrite = false;
    KeepRewriteInputFiles = false;
    RestrictLocation = lrWithinFolder;
    RestrictLocationOfWebPagesOnly = true;
    MaxDistance = 8;
    AddressStringsPurpose = ExtensionsPurpose = TypesPurpose = HostsPurpose = lpCopyAll;
    Hosts.clear();
    MaxFileCount = MinFileSize = MaxFileSize = -1;
    MaxJobDownloadSize = -1;
    DownloadOptions.SetDefaults();
    StartingReferrer.clear();
    PauseBetweenDownloads = 0;
    HonorRobotNoIndexTags = HonorRobotNoFollowTags = SaveQueryResults = false;
    DownloadHTTP = true;
    DownloadFTP = DownloadHTTPS = DownloadDefaultInEachDirectory = false;
    MaxSecondsForAllDownloads = -1;
    AssumeWWWWhenNoThirdLevelDomain = true;
    PruneFolders = true;
}

void TCopyJob::ExcludeHost(std::string_view Host) { ExcludeListItem(Hosts, HostsPurpose, Host); }

void TCopyJob::ExcludeFileExtension(std::string_view Extension) {
    ExcludeListItem(Extensions, ExtensionsPurpose, Extension);
}

void TCopyJob::ExcludeMimeType(std::string_view MimeType) {
    ExcludeListItem(Types, TypesPurpose, MimeType);
}

} // namespace jobs
