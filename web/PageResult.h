#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace web {

// Called while a page is read or rewritten with the bytes done so far and the
// page's size; returning true stops the work at once.
using THTMLProgressEvent = std::function<bool(std::uint32_t Position, std::uint32_t Size)>;

// Outcome of reading or rewriting a page; a failure carries the text to report.
struct TPageResult {
    bool Success = true;
    std::string ErrorText;

    static TPageResult Failed(std::string Text) { return {false, std::move(Text)}; }
    explicit operator bool() const { return Success; }
};

} // namespace web
