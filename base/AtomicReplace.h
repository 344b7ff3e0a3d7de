#pragma once

#include <functional>
#include <string>
#include <string_view>

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

} // namespace base
