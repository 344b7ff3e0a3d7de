#pragma once

// Invariants of web addresses that every fuzz input must keep.

#include "web/URLType.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond)                                                         \
    do {                                                                         \
        if (!(cond)) {                                                           \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                        \
        }                                                                        \
    } while (0)

namespace fuzzchecks {

inline bool HasDotSegment(const std::string& Path, std::size_t Start) {
    while (Start <= Path.size()) {
        const auto end = std::min(Path.find('/', Start), Path.size());
        const auto segment = Path.substr(Start, end - Start);
        if (segment == "." || segment == "..") return true;
        Start = end + 1;
    }
    return false;
}

// Empty, or strictly below Base with a real name at every level; never a NUL.
inline bool IsContained(const std::string& Base, const std::string& Name) {
    if (Name.empty()) return true;
    if (Name.find('\0') != std::string::npos || Name.rfind(Base + "/", 0) != 0) return false;
    if (Name.find("//", Base.size()) != std::string::npos || Name.back() == '/') return false;
    return !HasDotSegment(Name, Base.size() + 1);
}

inline bool IsSavedScheme(std::int32_t Scheme) {
    return Scheme == web::SchemeFTP || Scheme == web::SchemeHTTP || Scheme == web::SchemeHTTPS;
}

// The local name under each combination of options and a short and a long base.
inline void CheckLocalNames(const web::TURL& Url) {
    static const std::string bases[] = {"/fuzz/dest", "/fuzz/" + std::string(236, 'b')};
    for (const auto& base : bases) {
        for (int options = 0; options < 4; ++options) {
            const std::string name = Url.GetLocalFileName(base, options & 1, options & 2);
            FUZZ_CHECK(name.find('\0') == std::string::npos);
            if (Url.GetScheme() == web::SchemeFile) continue;  // names an existing local file
            FUZZ_CHECK(IsSavedScheme(Url.GetScheme()) || name.empty());
            FUZZ_CHECK(IsContained(base, name));
            FUZZ_CHECK(name.size() <= 248);
            FUZZ_CHECK(name.find('#') == std::string::npos);  // free for the work files
        }
    }
}

} // namespace fuzzchecks
