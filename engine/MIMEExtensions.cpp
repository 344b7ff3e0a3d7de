#include "engine/MIMEExtensions.h"

#include "base/AsciiText.h"
#include "base/AppTraceLog.h"

#include <algorithm>
#include <exception>

namespace engine {

using base::TraceLog;

namespace {

// The extension of the last path segment, with its dot; empty when it has none.
std::string_view NameExtension(std::string_view FileName) {
    const auto dot = FileName.rfind('.');
    const auto slash = FileName.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    return FileName.substr(dot);
}

// The extension a content type calls for, unless the name already shows it.
std::string ExtensionToAdd(std::string_view FileName, std::string_view ContentType) {
    const std::string type = base::LowerAscii(ContentType);
    const std::string ext = base::LowerAscii(NameExtension(FileName));
    if (type.starts_with("text/html")) return ext == ".htm" || ext == ".html" ? "" : ".htm";
    const struct {
        const char* Type;
        const char* Ext;
    } exact[] = {{"image/gif", ".gif"}, {"image/jpeg", ".jpg"}, {"image/png", ".png"}, {"text/css", ".css"}};
    for (const auto& rule : exact)
        if (type == rule.Type) return ext == rule.Ext ? "" : rule.Ext;
    return {};
}

} // namespace

bool TMIMEExtensionsTable::TNameLess::operator()(std::string_view A, std::string_view B) const {
    return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(),
                                        [](char X, char Y) { return base::LowerAsciiChar(X) < base::LowerAsciiChar(Y); });
}

void TMIMEExtensionsTable::SetEnabled(bool Flag) {
    std::lock_guard guard(Lock);
    Enabled = Flag;
    AddedExtensions.clear();
}

void TMIMEExtensionsTable::Clear() {
    std::lock_guard guard(Lock);
    AddedExtensions.clear();
}

std::string TMIMEExtensionsTable::TransformFilename(const std::string& FileName,
                                                    std::string_view ContentType) {
    std::string ext;
    {
        std::lock_guard guard(Lock);
        if (!Enabled) return FileName;
        if (const auto found = AddedExtensions.find(FileName); found != AddedExtensions.end())
            return FileName + found->second;
        ext = ExtensionToAdd(FileName, ContentType);
        if (ext.empty()) return FileName;
        try {
            AddedExtensions.emplace(FileName, ext);
        } catch (const std::exception& error) {
            base::TraceLog.LogEntry(base::ttException, error.what(), "TransformFilename",
                              "MIMEExtensions");
            return FileName + ext;
        }
    }
    // Logged outside the lock: the download threads need not wait for the log file.
    base::TraceLog.LogEntry(base::ttMessage, "Destination filename " + FileName + " gains " + ext,
                      "TransformFilename", "MIMEExtensions");
    return FileName + ext;
}

std::string TMIMEExtensionsTable::LookUp(const std::string& FileName) const {
    std::lock_guard guard(Lock);
    const auto found = AddedExtensions.find(FileName);
    return found == AddedExtensions.end() ? FileName : FileName + found->second;
}

} // namespace engine
