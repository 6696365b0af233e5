// SPDX-License-Identifier: Apache-2.0
#include "generator/page_manifest.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <tuple>

namespace korvane::generator {
namespace fs = std::filesystem;
namespace {

constexpr const char* first_line = "# korvane page manifest 1: settings file<TAB>page";

// Where the working folder is, with a '/' after it.
const std::string& here() {
    static const std::string folder = [] {
        std::error_code ec;
        const fs::path current = fs::current_path(ec);
        return ec ? std::string() : current.string() + '/';
    }();
    return folder;
}

// folder with one '/' after it ("site/" from a generated_path of "site/").
std::string folder_start(const fs::path& folder) {
    std::string start = folder.string();
    if (!start.ends_with('/')) start += '/';
    return start;
}

// The rest of page after start when page plainly lies there (folder/name,
// nothing to normalise); "" otherwise. Most pages do: they are spared the
// path algebra, which costs more than the rest of a large run's bookkeeping.
std::string_view plainly_inside(std::string_view page, std::string_view start) {
    std::string_view rest;
    if (page.starts_with('/')) {
        if (!page.starts_with(start)) return {};
        rest = page.substr(start.size());
    } else {
        while (page.starts_with("./")) page.remove_prefix(2);  // a base folder of "."
        const std::string& cwd = here();
        if (cwd.empty() || !start.starts_with(cwd) || !page.starts_with(start.substr(cwd.size()))) return {};
        rest = page.substr(start.size() - cwd.size());
    }
    if (rest.find("//") != rest.npos || rest.find("/.") != rest.npos || rest.starts_with('.')) return {};
    return rest;
}

// Whether a name relative to the folder can be listed: inside it, not the
// manifest itself, on one line.
bool listable(std::string_view text) {
    return !text.empty() && text != "." && !text.starts_with("../") && text != ".." &&
           text != manifest_file_name && text.find_first_of("\t\r\n") == text.npos;
}

// The page relative to folder (whose folder_start is start), or "" when it
// lies outside it or its name cannot be kept on one manifest line.
std::string relative_page(const fs::path& folder, std::string_view start, const std::string& page) {
    std::string text(plainly_inside(page, start));
    if (text.empty()) {
        std::error_code ec;
        const fs::path absolute_page = fs::absolute(page, ec).lexically_normal();
        if (ec) return {};
        text = absolute_page.lexically_relative(folder).generic_string();
    }
    return listable(text) ? text : std::string();
}

bool by_bytes(const char* a, const char* b) { return std::strcmp(a, b) < 0; }

bool by_owner_and_page(const manifest_entry& a, const manifest_entry& b) {
    return std::tie(a.owner, a.page) < std::tie(b.owner, b.page);
}

// The manifest replaced whole, in (owner, page) order: the other owners'
// entries around owner's pages.
bool write_whole(const fs::path& folder, const std::vector<manifest_entry>& others,
                 const std::string& owner, const std::vector<const char*>& pages, std::string& error) {
    const fs::path target = folder / manifest_file_name;
    const fs::path temporary = folder / (std::string(manifest_file_name) + ".tmp" +
                                         std::to_string(::getpid()));
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) {
        error = "cannot write " + temporary.string();
        return false;
    }
    bool ok = std::fprintf(out, "%s\n", first_line) > 0;
    // A line a page, a million of them for a large site: no format to parse.
    auto put = [&](const std::string& entry_owner, const char* page) {
        ok &= std::fputs(entry_owner.c_str(), out) >= 0 && std::fputc('\t', out) != EOF &&
              std::fputs(page, out) >= 0 && std::fputc('\n', out) != EOF;
    };
    auto other = others.begin();
    for (; other != others.end() && other->owner < owner; ++other) put(other->owner, other->page.c_str());
    for (const char* page : pages) put(owner, page);
    for (; other != others.end(); ++other) put(other->owner, other->page.c_str());
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

page_list::page_list(std::filesystem::path folder)
    : folder_(std::move(folder)), start_(folder_start(folder_)) {}

void page_list::add(const std::string& page) {
    if (const std::string_view rest = plainly_inside(page, start_); listable(rest)) {
        add_listed(rest);
    } else if (const std::string p = relative_page(folder_, start_, page); !p.empty()) {
        add_listed(p);
    }
}

void page_list::add_listed(std::string_view page) {
    const std::size_t need = page.size() + 1;
    if (blocks_.empty() || blocks_.back().used + need > blocks_.back().size) {
        // Not zeroed: memory is touched only as names fill it, so a run of a
        // few pages does not pay for a megabyte it never uses.
        const std::size_t size = std::max<std::size_t>(1 << 20, need);
        blocks_.push_back({std::make_unique_for_overwrite<char[]>(size), size, 0});
    }
    block& b = blocks_.back();
    std::memcpy(b.bytes.get() + b.used, page.data(), page.size());
    b.bytes[b.used + page.size()] = '\0';
    b.used += need;
    ++count_;
}

std::vector<const char*> page_list::sorted() const {
    std::vector<const char*> pages;
    pages.reserve(count_);
    for (const block& b : blocks_) {
        for (std::size_t at = 0; at < b.used; at += std::strlen(b.bytes.get() + at) + 1) {
            pages.push_back(b.bytes.get() + at);
        }
    }
    std::sort(pages.begin(), pages.end(), by_bytes);
    pages.erase(std::unique(pages.begin(), pages.end(),
                            [](const char* a, const char* b) { return std::strcmp(a, b) == 0; }),
                pages.end());
    return pages;
}

manifest_update update_manifest(const std::string& owner, const page_list& written,
                                const page_list& named, bool clean) {
    const fs::path& folder = written.folder();
    manifest_update update;
    const std::vector<const char*> made = written.sorted();
    std::vector<const char*> keep;  // pages of owner this run stands for
    if (clean) {
        const std::vector<const char*> also = named.sorted();
        std::set_union(made.begin(), made.end(), also.begin(), also.end(), std::back_inserter(keep), by_bytes);
    }

    // The old list line by line: the other owners' entries as they are, the
    // owner's pages packed, since a large site lists a million.
    std::vector<manifest_entry> others;
    page_list listed_before(folder);
    const std::string start = folder_start(folder);
    std::size_t old_lines = 0, dropped = 0;
    std::ifstream in(folder / manifest_file_name, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (line.starts_with("#") || tab == std::string::npos) continue;
        ++old_lines;
        const std::string_view entry_owner = std::string_view(line).substr(0, tab);
        const std::string page = line.substr(tab + 1);
        const fs::path file = folder / page;
        std::error_code ec;
        const auto status = fs::symlink_status(file, ec);
        // What is gone, or is no longer a plain file, is no page to keep.
        const bool listed = !ec && fs::is_regular_file(status) && fs::path(page).is_relative() &&
                            relative_page(folder, start, file.string()) == page;
        if (!listed) {
            ++dropped;
            continue;
        }
        if (clean && entry_owner == owner && !std::binary_search(keep.begin(), keep.end(), page.c_str(), by_bytes)) {
            if (fs::remove(file, ec) && !ec) {
                update.removed.push_back(page);
                ++dropped;
                continue;
            }
            update.errors.push_back("cannot delete " + file.string() + ": " + ec.message());
        }
        if (entry_owner == owner) {
            listed_before.add_listed(page);
        } else {
            others.push_back({std::string(entry_owner), page});
        }
    }
    in.close();
    std::sort(others.begin(), others.end(), by_owner_and_page);
    others.erase(std::unique(others.begin(), others.end()), others.end());

    // The owner's pages: those listed before and still there, and those written.
    const std::vector<const char*> before = listed_before.sorted();
    const bool nothing_new = std::includes(before.begin(), before.end(), made.begin(), made.end(), by_bytes);
    std::vector<const char*> own;
    if (!nothing_new) {
        std::set_union(before.begin(), before.end(), made.begin(), made.end(), std::back_inserter(own), by_bytes);
    }
    const std::vector<const char*>& pages = nothing_new ? before : own;
    // An unchanged list leaves the folder untouched; no pages, no manifest.
    if (nothing_new && dropped == 0 && before.size() + others.size() == old_lines) return update;
    if (pages.empty() && others.empty() && old_lines == 0) return update;
    std::string error;
    if (!write_whole(folder, others, owner, pages, error)) update.errors.push_back(error);
    return update;
}

manifest_update run_pages::update(const std::string& settings_file, bool whole_run) const {
    std::error_code ec;
    const fs::path owner = fs::absolute(settings_file, ec).lexically_normal();
    return update_manifest(owner.string(), made_, named_, clean_ && whole_run);
}

}  // namespace korvane::generator
