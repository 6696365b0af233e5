// SPDX-License-Identifier: Apache-2.0
#include "generator/page_manifest.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <system_error>
#include <tuple>

namespace korvane::generator {
namespace fs = std::filesystem;
namespace {

constexpr const char* first_line = "# korvane page manifest 1: settings file<TAB>page";

// The page relative to folder, or "" when it lies outside it or its name
// cannot be kept on one manifest line.
std::string relative_page(const fs::path& folder, const std::string& page) {
    std::string text;
    // Most pages are plainly folder/name: spare them the path algebra, which
    // costs more than the rest of a large run's bookkeeping.
    static const std::string here = [] {
        std::error_code ec;
        const fs::path current = fs::current_path(ec);
        return ec ? std::string() : current.string() + '/';
    }();
    const std::string start = folder.string() + '/';
    const std::string absolute_text = page.starts_with('/') ? page : here + page;
    if (absolute_text.starts_with(start)) {
        text = absolute_text.substr(start.size());
        if (text.find("//") != std::string::npos || text.find("/.") != std::string::npos ||
            text.starts_with(".")) {
            text.clear();
        }
    }
    if (text.empty()) {
        std::error_code ec;
        const fs::path absolute_page = fs::absolute(page, ec).lexically_normal();
        if (ec) return {};
        text = absolute_page.lexically_relative(folder).generic_string();
    }
    if (text.empty() || text == "." || text.starts_with("../") || text == ".." ||
        text == manifest_file_name || text.find_first_of("\t\r\n") != std::string::npos) {
        return {};
    }
    return text;
}

bool write_whole(const fs::path& folder, const std::vector<manifest_entry>& entries,
                 std::string& error) {
    const fs::path target = folder / manifest_file_name;
    const fs::path temporary = folder / (std::string(manifest_file_name) + ".tmp" +
                                         std::to_string(::getpid()));
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) {
        error = "cannot write " + temporary.string();
        return false;
    }
    bool ok = std::fprintf(out, "%s\n", first_line) > 0;
    for (const auto& e : entries) ok &= std::fprintf(out, "%s\t%s\n", e.owner.c_str(), e.page.c_str()) > 0;
    ok &= std::fflush(out) == 0 && ::fsync(::fileno(out)) == 0;
    ok &= std::fclose(out) == 0;
    std::error_code ec;
    if (ok) fs::rename(temporary, target, ec);
    if (!ok || ec) {
        fs::remove(temporary, ec);
        error = "cannot write " + target.string();
        return false;
    }
    return true;
}

}  // namespace

fs::path manifest_folder(const std::string& base_folder, const std::string& generated_path) {
    fs::path path = fs::path(base_folder.empty() ? "." : base_folder) / generated_path;
    if (!generated_path.empty() && generated_path.back() != '/') path = path.parent_path();
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return (ec ? path : absolute).lexically_normal();
}

std::vector<manifest_entry> read_manifest(const fs::path& folder) {
    std::vector<manifest_entry> entries;
    std::ifstream in(folder / manifest_file_name, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        if (line.starts_with("#") || tab == std::string::npos) continue;
        entries.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return entries;
}

manifest_update update_manifest(const fs::path& folder, const std::string& owner,
                                const std::vector<std::string>& written,
                                const std::vector<std::string>& named, bool clean) {
    manifest_update update;
    const std::vector<manifest_entry> old_entries = read_manifest(folder);
    std::set<std::string> keep;  // pages of owner this run stands for
    for (const auto* list : {&written, &named}) {
        for (const auto& page : *list) {
            if (auto p = relative_page(folder, page); !p.empty()) keep.insert(p);
        }
    }

    std::vector<manifest_entry> entries;
    for (const auto& e : old_entries) {
        const fs::path file = folder / e.page;
        std::error_code ec;
        const auto status = fs::symlink_status(file, ec);
        // What is gone, or is no longer a plain file, is no page to keep.
        if (ec || !fs::is_regular_file(status)) continue;
        const bool listed = fs::path(e.page).is_relative() && relative_page(folder, file.string()) == e.page;
        if (clean && listed && e.owner == owner && !keep.contains(e.page)) {
            if (fs::remove(file, ec) && !ec) {
                update.removed.push_back(e.page);
                continue;
            }
            update.errors.push_back("cannot delete " + file.string() + ": " + ec.message());
        }
        if (listed) entries.push_back(e);
    }
    for (const auto& page : written) {
        const std::string p = relative_page(folder, page);
        if (!p.empty()) entries.push_back({owner, p});
    }
    std::sort(entries.begin(), entries.end(), [](const manifest_entry& a, const manifest_entry& b) {
        return std::tie(a.owner, a.page) < std::tie(b.owner, b.page);
    });
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());

    auto sorted_old = old_entries;
    std::sort(sorted_old.begin(), sorted_old.end(), [](const manifest_entry& a, const manifest_entry& b) {
        return std::tie(a.owner, a.page) < std::tie(b.owner, b.page);
    });
    // An unchanged list leaves the folder untouched; no pages, no manifest.
    if (entries == sorted_old || (entries.empty() && old_entries.empty())) return update;
    std::string error;
    if (!write_whole(folder, entries, error)) update.errors.push_back(error);
    return update;
}

}  // namespace korvane::generator
