#pragma once

// What the rewriting fuzz targets share: a failed check aborts with its
// reason, and a destination folder holds a few saved files.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

namespace fuzzsite {

inline void Check(bool Condition, const char* What) {
    if (Condition) return;
    std::fprintf(stderr, "check failed: %s\n", What);
    std::abort();
}

// A temporary destination folder "<temp>/D" with the given files saved below
// it; made once per process and removed at its end.
struct TSavedSite {
    explicit TSavedSite(std::initializer_list<const char*> Files) {
        std::string pattern = (std::filesystem::temp_directory_path() / "hx-fuzz-XXXXXX").string();
        Check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
        Root = pattern;
        Dest = Root + "/D";
        for (const char* name : Files) {
            const std::filesystem::path path = Dest + "/" + name;
            std::filesystem::create_directories(path.parent_path());
            std::ofstream(path) << "x";
        }
    }
    ~TSavedSite() {
        std::error_code ignored;
        std::filesystem::remove_all(Root, ignored);
    }
    std::string Root, Dest;
};

} // namespace fuzzsite
