#pragma once

#include "base/PosixFile.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

namespace base {

struct TReplaceOptions {
    bool Secret = false;  // the new file is readable by its owner only (mode 0600) from its creation on
    bool Sync = true;     // the data reaches the disk before the rename makes it visible
};

// Replaces Path in one rename, so a reader (or a crash) sees the old file or
// the whole new one, never a part. Write creates and fills the file named by
// its argument: a unique name beside Path, hidden, so it never takes the
// place of another file. The new file keeps the old one's permissions (0600
// for a secret). On any failure the temporary file goes and Path is untouched;
// errno tells why when the failure was Write's or the rename's.
bool ReplaceFileAtomically(const std::string& Path, const std::function<bool(const std::string& Temporary)>& Write,
                           const TReplaceOptions& Options = {});
// The same with the whole new content given.
bool ReplaceFileAtomically(const std::string& Path, std::string_view Data, const TReplaceOptions& Options = {});

// The file that a replacement takes the place of, as its caller has it open
// after reading it: its status spares a lookup, and its descriptor, when
// open for writing, serves the next replacement as the scratch without an
// open of its own, since after the swap it holds the old content.
struct TReplacedFile {
    struct stat Status {};
    TFileDescriptor File;  // open for reading and writing; or none
    // The whole content as its caller read it, when it did: a new content
    // equal to it leaves the file untouched, its time included.
    std::optional<std::string_view> Content;
};

// Replaces many existing files one after another, each as atomically as
// ReplaceFileAtomically (without Sync), through one scratch file that it
// keeps: what Write writes is gathered in memory and written over the
// scratch from its start in one call; the scratch then trades places with
// the file in one step, and the old content becomes the next scratch. A
// file whose new content is the same as the old is not replaced at all.
// No file is created or freed per replacement: on ext4 without a journal each
// creation scans past the inodes freed in the last seconds, so a rename over
// every page of a large copy grew slower with every page. Nor is the scratch
// truncated to nothing before it is filled (it is cut to the new length
// afterwards): ext4 writes a file truncated to zero bytes out when it is
// closed, a disk write per page. Where the file system cannot trade places,
// or the file does not exist yet, a plain rename replaces it. One owner
// thread; the scratch goes when the owner does.
class TReplaceScratch {
public:
    using TWrite = std::function<bool(std::ostream& Output)>;

    TReplaceScratch() = default;
    ~TReplaceScratch();
    TReplaceScratch(const TReplaceScratch&) = delete;
    TReplaceScratch& operator=(const TReplaceScratch&) = delete;

    // False with errno when Write or the file system failed; Path is then
    // untouched. Replaced, when given, is Path as its caller just read it;
    // its descriptor may be taken.
    bool Replace(const std::string& Path, const TWrite& Write, TReplacedFile* Replaced = nullptr);

private:
    bool Fill(const TWrite& Write, std::optional<std::string_view> Old, bool& Unchanged);
    bool WriteScratch();
    void Drop();
    void KeepOpen(TReplacedFile* Replaced, const struct stat& Swapped);
    std::string Name;        // the scratch file, empty while there is none
    TFileDescriptor NameFile; // the scratch, open for writing, when its opener left it so
    std::string Content;     // the new content, in room kept from one replacement to the next
    mode_t NameMode = 0;     // its permission bits when known; 0 when not
    off_t NameSize = -1;     // its size while NameFile is open and it is known; -1 when not
};

} // namespace base
