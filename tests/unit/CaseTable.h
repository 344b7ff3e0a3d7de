#pragma once

// Test tables kept as text files under tests/data/unit/, as curl keeps its
// cases under tests/data: one case a line, fields apart by one or more tabs.
// A line starting with '#' and a blank line are no case. In a field "~" alone
// is the empty text, and \t \r \n \\ \0 \xHH stand for the byte they name.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace unittest {

struct TCase {
    std::string Where; // file and line, for the failure message
    std::vector<std::string> Fields;
    const std::string& operator[](std::size_t Index) const { return Fields.at(Index); }
    int Number(std::size_t Index) const { return std::stoi(Fields.at(Index)); }
    bool Flag(std::size_t Index) const { return Fields.at(Index) == "yes"; }
};

inline std::string UnescapeField(const std::string& Text) {
    std::string out;
    for (std::size_t i = 0; Text != "~" && i < Text.size(); ++i) {
        const char c = Text[i] == '\\' && i + 1 < Text.size() ? Text[++i] : '\0';
        if (c == 'x') out += static_cast<char>(std::stoi(Text.substr(i + 1, 2), nullptr, 16)), i += 2;
        else out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c == '0' ? '\0' : c ? c : Text[i];
    }
    return out;
}

// Every case of tests/data/unit/<Name>; a case with another number of fields fails the test.
inline std::vector<TCase> ReadCases(const std::string& Name, std::size_t FieldCount) {
    std::ifstream file(std::string(HARVEXIS_SOURCE_DIR) + "/tests/data/unit/" + Name);
    std::vector<TCase> cases;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        TCase row{Name + ":" + std::to_string(number), {}};
        for (std::size_t start = 0, end; start < line.size(); start = end + 1) {
            end = std::min(line.find('\t', start), line.size());
            if (end > start) row.Fields.push_back(UnescapeField(line.substr(start, end - start)));
        }
        EXPECT_EQ(row.Fields.size(), FieldCount) << row.Where;
        if (row.Fields.size() == FieldCount) cases.push_back(std::move(row));
    }
    EXPECT_FALSE(cases.empty()) << "no cases in " << Name;
    return cases;
}

} // namespace unittest
