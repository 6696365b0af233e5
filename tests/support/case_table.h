// SPDX-License-Identifier: Apache-2.0
// Long lists of cases live in data files beside their tests: one case a line,
// fields separated by tabs. Empty lines and lines that are "#" or start with
// "# " or "##" are comments ("#1/2/95#" is an Access date). In a field,
// \t \n \r \\ and \xHH stand for their bytes.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace korvane::test {

struct table_row {
    std::string where;  // "file:line", for the failure message
    std::vector<std::string> fields;
    const std::string& operator[](std::size_t i) const { return fields.at(i); }
};

// The rows of tests/<name>; a row with fewer than min_fields fields fails.
inline std::vector<table_row> read_case_table(const std::string& name, std::size_t min_fields) {
    std::ifstream in(std::string(KORVANE_SOURCE_DIR) + "/tests/" + name, std::ios::binary);
    if (!in) ADD_FAILURE() << "cannot read tests/" << name;
    std::vector<table_row> rows;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line == "#" || line.starts_with("# ") || line.starts_with("##")) continue;
        table_row row{name + ":" + std::to_string(number), {""}};
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '\t') {
                row.fields.emplace_back();
            } else if (c != '\\' || i + 1 == line.size()) {
                row.fields.back() += c;
            } else if (const char e = line[++i]; e == 'x' && i + 2 < line.size()) {
                row.fields.back() += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                row.fields.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
            }
        }
        if (row.fields.size() < min_fields) ADD_FAILURE() << row.where << ": too few fields";
        else rows.push_back(std::move(row));
    }
    return rows;
}

// got is expected, or, when expected is "error: <part>", a failure
// ("error: ...") whose text holds <part>.
inline void expect_outcome(const std::string& got, const std::string& expected, const std::string& where) {
    if (expected.starts_with("error: ") && got.starts_with("error: ")) {
        EXPECT_NE(got.find(expected.substr(7)), std::string::npos) << where << "\n  got " << got;
    } else {
        EXPECT_EQ(got, expected) << where;
    }
}

// The blank-separated words of a field, "key" or "key=number", each handed
// to take(key, number), the number 0 when there is none.
inline void for_each_word(const std::string& field, const std::function<void(const std::string&, int)>& take) {
    std::istringstream words(field);
    for (std::string word; words >> word;) {
        const auto eq = word.find('=');
        take(word.substr(0, eq), eq == std::string::npos ? 0 : std::stoi(word.substr(eq + 1)));
    }
}

// The names whose flag is set, blank-separated.
inline std::string names_set(std::initializer_list<std::pair<const char*, bool>> flags) {
    std::string names;
    for (const auto& [name, set] : flags)
        if (set) names += (names.empty() ? "" : " ") + std::string(name);
    return names;
}

}  // namespace korvane::test
