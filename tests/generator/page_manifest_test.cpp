// SPDX-License-Identifier: Apache-2.0
#include "generator/page_manifest.h"
#include "../support/case_table.h"

#include <algorithm>
#include <cstdlib>

namespace korvane::generator {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> list_of(const std::string& field) {
    std::vector<std::string> items;
    if (field == "-") return items;
    std::istringstream in(field);
    for (std::string item; std::getline(in, item, ',');) items.push_back(item);
    return items;
}

std::string joined(std::vector<std::string> items) {
    if (items.empty()) return "-";
    std::sort(items.begin(), items.end());
    std::string text;
    for (const auto& i : items) text += (text.empty() ? "" : ",") + i;
    return text;
}

TEST(page_manifest, clean_deletes_exactly_the_stale_pages_korvane_wrote) {
    const std::string owner_a = "/sites/a.kvn", owner_b = "/sites/b.kvn";
    for (const auto& row : test::read_case_table("generator/page_manifests.tsv", 7)) {
        char name[] = "/tmp/korvane_manifest_XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        const fs::path root(name), folder = root / "out";
        fs::create_directories(folder);
        if (row[0] != "-") {
            std::ofstream manifest(folder / manifest_file_name);
            manifest << "# header\n";
            for (const auto& e : list_of(row[0])) {
                const bool other = e.starts_with("b:");
                manifest << (other ? owner_b : owner_a) << '\t' << e.substr(e.find(':') + 1) << '\n';
            }
        }
        for (const auto& f : list_of(row[1])) {
            if (const auto arrow = f.find("->"); arrow != std::string::npos) {
                fs::create_symlink(f.substr(arrow + 2), folder / f.substr(0, arrow));
            } else if (f.ends_with('/')) {
                fs::create_directories(folder / f);
            } else {
                fs::create_directories((folder / f).parent_path());
                std::ofstream(folder / f) << "page";
            }
        }
        auto paths = [&](const std::string& field) {
            page_list out(folder);
            for (const auto& p : list_of(field)) out.add((folder / p).string());
            return out;
        };
        const auto before = [&] {
            std::vector<std::string> files;
            for (const auto& e : fs::recursive_directory_iterator(root)) {
                files.push_back(fs::relative(e.path(), folder).generic_string());
            }
            return files;
        }();

        const auto update = update_manifest(owner_a, paths(row[3]), paths(row[2]), row[4] == "clean");
        EXPECT_TRUE(update.errors.empty()) << row.where;
        EXPECT_EQ(joined(update.removed), row[5]) << row.where;
        std::vector<std::string> gone;
        for (const auto& f : before) {
            std::error_code ec;
            if (!fs::exists(fs::symlink_status(folder / f, ec))) gone.push_back(f);
        }
        EXPECT_EQ(joined(gone), row[5]) << row.where << ": the files gone";
        std::vector<std::string> after;
        for (const auto& e : read_manifest(folder)) after.push_back((e.owner == owner_b ? "b:" : "a:") + e.page);
        const std::string expected_after =
            fs::exists(folder / manifest_file_name) ? joined(after) : "none";
        EXPECT_EQ(expected_after, row[6]) << row.where;
        fs::remove_all(root);
    }
}

// Names packed in blocks of a MiB: a list spanning several gives each page
// once, in byte order, and leaves out what lies outside its folder.
TEST(page_manifest, a_page_list_spanning_blocks_gives_each_page_once_in_order) {
    const fs::path folder = "/sites/out";
    page_list pages(folder);
    std::vector<std::string> expected;
    for (int i = 2999; i >= 0; --i) {
        const std::string name = "p" + std::to_string(i) + std::string(500, 'x') + ".html";
        pages.add((folder / name).string());
        if (i % 3 == 0) pages.add_listed(name);  // again, already relative
        expected.push_back(name);
    }
    pages.add("/sites/elsewhere/page.html");
    pages.add((folder / "../out2/page.html").string());
    std::sort(expected.begin(), expected.end());
    const std::vector<const char*> sorted = pages.sorted();
    ASSERT_EQ(sorted.size(), expected.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) ASSERT_EQ(sorted[i], expected[i]) << i;
}

}  // namespace
}  // namespace korvane::generator
