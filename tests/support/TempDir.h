#pragma once

#include <string>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return FolderPath; }
    // Path + "/" + Name.
    std::string File(const std::string& Name) const;

private:
    std::string FolderPath;
};

std::string ReadFileText(const std::string& Path);
void WriteFileText(const std::string& Path, const std::string& Text);
bool FileExists(const std::string& Path);

} // namespace testsupport
