// SPDX-License-Identifier: Apache-2.0
// The README's two commands share build/release: the example script and the
// test script must configure it alike, or the second rebuilds everything.
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

namespace {

std::string script(const std::string& name) {
    return korvane::test::read_file(std::string(KORVANE_SOURCE_DIR) + "/scripts/" + name);
}

// The options after -B <folder> on the first line matching pattern, as a set.
std::multiset<std::string> options_after(const std::string& text, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) return {"(no such line)"};
    std::istringstream words(match[1].str());
    std::multiset<std::string> options;
    for (std::string word; words >> word;) {
        if (word != "\"$@\"") options.insert(word);
    }
    return options;
}

TEST(scripts, example_and_test_scripts_configure_build_release_alike) {
    const auto example = options_after(script("example.sh"), R"(-B "\$root/build/release"([^\n]*))");
    auto test = options_after(script("test.sh"), R"(-B "\$root/build/\$dir"([^\n]*))");
    test.merge(options_after(script("test.sh"), R"(\nrun release([^\n]*))"));
    EXPECT_EQ(example, test);
}

}  // namespace
