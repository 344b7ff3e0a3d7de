#pragma once

#include "base/AsciiText.h"
#include "jobs/Base64.h"
#include "jobs/IniFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace jobs {

// One key of an INI file bound to a member of Record: the one place that names
// its section, its key and what a missing key reads as. Tables of these drive
// loading, saving and the lookup of a key's section.
template <class Record>
struct TIniField {
    using TMember = std::variant<std::string Record::*, bool Record::*, std::int32_t Record::*,
                                 std::int64_t Record::*>;
    const char* Section;
    const char* Key;
    TMember Member;
    std::int64_t Default = 0;  // numbers and booleans; a missing string reads as ""
    bool Base64 = false;  // saved Base64-encoded (empty stays empty); read as stored, the record decodes it
};

template <class Record>
void LoadIniField(const TIniText& Text, const TIniField<Record>& Field, Record& Into) {
    std::visit(
        [&](auto Member) {
            auto& value = Into.*Member;
            using T = std::remove_reference_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::string>)
                value = Text.ReadString(Field.Section, Field.Key, "");
            else if constexpr (std::is_same_v<T, bool>)
                value = Text.ReadBool(Field.Section, Field.Key, Field.Default != 0);
            else if constexpr (std::is_same_v<T, std::int32_t>)
                value = Text.ReadInteger(Field.Section, Field.Key, static_cast<std::int32_t>(Field.Default));
            else
                value = Text.ReadInt64(Field.Section, Field.Key, Field.Default);
        },
        Field.Member);
}

// The text a field is saved as.
template <class Record>
std::string IniFieldText(const TIniField<Record>& Field, const Record& From) {
    return std::visit(
        [&](auto Member) -> std::string {
            const auto& value = From.*Member;
            using T = std::remove_cv_t<std::remove_reference_t<decltype(value)>>;
            if constexpr (std::is_same_v<T, std::string>)
                return Field.Base64 && !value.empty() ? StrToBase64(value) : value;
            else if constexpr (std::is_same_v<T, bool>)
                return value ? "1" : "0";
            else
                return std::to_string(value);
        },
        Field.Member);
}

// The section of the field named Key (any case); nullptr when the table has none.
template <class Record>
const char* SectionOfIniKey(const std::vector<TIniField<Record>>& Fields, std::string_view Key) {
    for (const auto& field : Fields)
        if (base::SameTextAscii(field.Key, Key)) return field.Section;
    return nullptr;
}

} // namespace jobs
