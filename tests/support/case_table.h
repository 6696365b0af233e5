// Long lists of cases live in data files beside their tests: one case a line,
// fields separated by tabs, lines starting with "#" and empty lines ignored.
// In a field, \t \n \r \\ and \xHH stand for their bytes.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace korvane::test {

struct table_row {
    std::string where;  // "file:line", for the failure message
    std::vector<std::string> fields;
    const std::string& operator[](std::size_t i) const { return fields.at(i); }
};

inline std::string unescape_field(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 't') out += '\t';
        else if (c == 'n') out += '\n';
        else if (c == 'r') out += '\r';
        else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else out += c;
    }
    return out;
}

// The rows of tests/<name> in the source tree; each must have at least
// min_fields fields, else the test fails there.
inline std::vector<table_row> read_case_table(const std::string& name, std::size_t min_fields) {
    const std::string path = std::string(KORVANE_SOURCE_DIR) + "/tests/" + name;
    std::ifstream in(path, std::ios::binary);
    std::vector<table_row> rows;
    if (!in) ADD_FAILURE() << "cannot read " << path;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        table_row row{name + ":" + std::to_string(number), {}};
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            row.fields.push_back(unescape_field(line.substr(start, tab - start)));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (row.fields.size() < min_fields) ADD_FAILURE() << row.where << ": too few fields";
        else rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace korvane::test
