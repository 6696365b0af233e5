// Reads the case tables of the Access tests: one case a line,
// "[files:] statement ==> expected"; "# " or "##" starts a comment line. In expected,
// \r and \n stand for CR and LF; "error: <part>" asks for a failure whose
// text holds <part>.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace korvane::testing_support {

struct test_case {
    int line = 0;
    std::string files;  // before ": " when the table names files
    std::string statement, expected;
};

inline std::vector<test_case> read_cases(const std::string& path, bool with_files = false) {
    std::vector<test_case> cases;
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot read " << path;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        // "# " and "##" begin comments; "#1/2/95#" begins a date.
        if (text.empty() || text == "#" || text.starts_with("# ") || text.starts_with("##")) continue;
        const auto arrow = text.find(" ==> ");
        EXPECT_NE(arrow, std::string::npos) << path << ":" << line;
        if (arrow == std::string::npos) continue;
        test_case c{line, {}, text.substr(0, arrow), {}};
        for (std::size_t i = arrow + 5; i < text.size(); ++i) {
            if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'r' || text[i + 1] == 'n')) {
                c.expected += text[++i] == 'r' ? '\r' : '\n';
            } else {
                c.expected += text[i];
            }
        }
        if (with_files) {
            const auto colon = c.statement.find(": ");
            c.files = c.statement.substr(0, colon);
            c.statement.erase(0, colon + 2);
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

inline void expect_result(const test_case& c, const std::string& got, const std::string& where = "") {
    if (c.expected.starts_with("error: ") && got.starts_with("error: ")) {
        EXPECT_NE(got.find(c.expected.substr(7)), std::string::npos)
            << "line " << c.line << where << ": " << c.statement << "\n  got " << got;
    } else {
        EXPECT_EQ(got, c.expected) << "line " << c.line << where << ": " << c.statement;
    }
}

}  // namespace korvane::testing_support
