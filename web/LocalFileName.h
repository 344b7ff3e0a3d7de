#pragma once

#include <string>

namespace web {

class TURL;

// The local path under BaseFolder (the job's destination path, no trailing
// "/") where Address is saved; empty when it must not be saved, including
// every address whose name would leave BaseFolder (such an address also gets
// a warning entry). A file address gives the POSIX path of the file it names,
// outside BaseFolder: that name is a key only and is never written, since only
// FTP, HTTP and HTTPS addresses are downloaded.
std::string LocalFileNameOf(const TURL& Address, const std::string& BaseFolder, bool RecreateFolderStructure,
                            bool AssumeWWW);

} // namespace web
