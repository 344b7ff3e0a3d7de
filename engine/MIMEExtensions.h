#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace engine {

// Gives saved files an extension that shows their content type (a page served
// from 'x.asp' is saved as 'x.asp.htm'), and remembers each name it extended so
// that the same name always gains the same extension during a job and link
// rewriting can find the name that was really written. Safe to call from the
// download threads and the spider thread at once.
class TMIMEExtensionsTable {
public:
    // Sets whether names are extended at all (the job's choice), then clears.
    void SetEnabled(bool Flag);
    void Clear();
    // The name to save under: FileName, followed by an extension when the
    // content type calls for one or when FileName was extended before.
    std::string TransformFilename(const std::string& FileName, std::string_view ContentType);
    // FileName followed by the extension it gained, if any.
    std::string LookUp(const std::string& FileName) const;

private:
    // Orders names without regard to ASCII letter case.
    struct TNameLess {
        using is_transparent = void;
        bool operator()(std::string_view A, std::string_view B) const;
    };

    mutable std::mutex Lock;  // guards Enabled and AddedExtensions
    bool Enabled = true;
    // Destination name -> the extension it gained, sorted by name.
    std::map<std::string, std::string, TNameLess> AddedExtensions;
};

} // namespace engine
