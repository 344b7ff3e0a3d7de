#include "ui/FileTypeCategories.h"

#include "base/AppTraceLog.h"

#include <algorithm>
#include <cctype>

namespace ui {

namespace {

std::string Lower(std::string_view Text) {
    std::string lower(Text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return lower;
}

std::string Trimmed(std::string_view Text) {
    const auto first = Text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return std::string(Text.substr(first, Text.find_last_not_of(" \t\r\n") - first + 1));
}

bool Contains(const std::vector<std::string>& Items, const std::string& Item) {
    return std::find(Items.begin(), Items.end(), Item) != Items.end();
}

} // namespace

std::vector<std::string> BuiltInCategoryLines(bool MimeTypes) {
    if (MimeTypes)
        return {"Images (image/jpeg, image/gif, image/png, image/x-ms-bmp)",
                "Sounds (audio/x-wav, audio/mp3, audio/basic, audio/x-aiff, audio/midi, audio/x-realaudio, "
                "audio/x-ms-wma)",
                "Videos (video/x-msvideo, video/mpeg, video/quicktime, application/vnd.rn-realmedia, video/x-ms-wmv)",
                "Applications (application/octet-stream, application/bat, text/vbscript)",
                "Archives (application/zip)",
                "Documents (text/plain, text/rtf, application/msword, application/pdf)",
                "Web Pages (text/html*)"};
    return {"Images (.jpg, .jpeg, .gif, .png, .bmp)",
            "Sounds (.wav, .mp3, .au, .aiff, .midi, .ra, .wma)",
            "Videos (.avi, .mpg, .mpeg, .mov, .qt, .rm, .ram, .wmv)",
            "Applications (.exe, .com, .bat, .scr, .vbs, .pif)",
            "Archives (.zip, .rar, .iso)",
            "Documents (.txt, .rtf, .doc, .pdf)",
            "Web Pages (.htm, .html, .shtml, .phtml, .jhtml, .php, .asp, .cgi)"};
}

std::vector<TFileTypeCategory> ParseCategories(const std::vector<std::string>& Lines) {
    std::vector<TFileTypeCategory> categories;
    for (const std::string& line : Lines) {
        if (categories.size() == MaxFileTypeCategories) break;
        const auto open = line.find('(');
        const auto close = line.find(')');
        if (open == std::string::npos || (close != std::string::npos && close < open)) {
            base::TraceLog.LogEntry(base::ttWarning, "Invalid category " + line, "PopulateCategoriesList",
                                    "FileTypesListBuilder");
            categories.push_back({"?", "", {}});
            continue;
        }
        const std::string types = line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        categories.push_back({Trimmed(std::string_view(line).substr(0, open)), types, SplitTypeList(types)});
    }
    return categories;
}

std::vector<std::string> SplitTypeList(std::string_view Text) {
    std::vector<std::string> items;
    std::string item;
    for (const char c : Lower(Text) + ",") {
        if (c == ',' || static_cast<unsigned char>(c) <= ' ') {
            if (!item.empty()) items.push_back(std::move(item));
            item.clear();
        } else {
            item += c;
        }
    }
    return items;
}

bool CategoryChecked(const TFileTypeCategory& Category, const std::string& List) {
    const std::vector<std::string> items = SplitTypeList(List);
    return std::any_of(items.begin(), items.end(), [&](const std::string& item) { return Contains(Category.Types, item); });
}

std::string WithCategory(const TFileTypeCategory& Category, const std::string& List, bool Checked) {
    std::vector<std::string> items = SplitTypeList(List);
    if (Checked) {
        for (const std::string& type : Category.Types)
            if (!Contains(items, type)) items.push_back(type);
    } else {
        std::erase_if(items, [&](const std::string& item) { return Contains(Category.Types, item); });
    }
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : ", ") + item;
    return joined;
}

} // namespace ui
