// SPDX-License-Identifier: Apache-2.0
// The pages Korvane wrote into an output folder, listed in the folder's
// ".korvane-manifest" per settings file, so that a later run can delete the
// pages no row names any more (korvane-cli generate --clean) and never
// touches a file it did not write.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::generator {

inline constexpr const char* manifest_file_name = ".korvane-manifest";

struct manifest_entry {
    std::string owner;  // the settings file whose run wrote the page
    std::string page;   // relative to the manifest's folder, '/' between names
    bool operator==(const manifest_entry&) const = default;
};

// The folder whose manifest lists a run's pages: generated_path with the base
// folder applied, without a trailing file-name prefix ("site/" and
// "site/page-" both give "site").
std::filesystem::path manifest_folder(const std::string& base_folder,
                                      const std::string& generated_path);

std::vector<manifest_entry> read_manifest(const std::filesystem::path& folder);

// Pages relative to a manifest's folder, their names packed one after the
// other in large blocks: a million pages take little more than the bytes of
// their names, never a string each.
class page_list {
public:
    explicit page_list(std::filesystem::path folder);
    // A page as the run opened it; one outside the folder, or whose name
    // cannot be kept on one manifest line, is not listed.
    void add(const std::string& page);
    // A name already relative to the folder.
    void add_listed(std::string_view page);
    const std::filesystem::path& folder() const { return folder_; }
    // Every page once, in byte order (the names stay in the list).
    std::vector<const char*> sorted() const;

private:
    struct block {
        std::unique_ptr<char[]> bytes;  // names, each ended by a NUL
        std::size_t size = 0, used = 0;
    };
    std::filesystem::path folder_;
    std::string start_;  // the folder with a '/' after it
    std::vector<block> blocks_;
    std::size_t count_ = 0;
};

struct manifest_update {
    std::vector<std::string> removed;  // pages deleted, relative to the folder
    std::vector<std::string> errors;   // one line each: what could not be done
};

// After a run of owner: lists the pages it wrote (written) in the folder's
// manifest, replaced whole, never half-written. With clean, first deletes
// the pages the manifest lists for owner that the run neither wrote nor
// named (named: every page a row named, made or not). Only plain files the
// manifest lists inside the folder are ever deleted. The folder is that of
// written; named is read only with clean.
manifest_update update_manifest(const std::string& owner, const page_list& written,
                                const page_list& named, bool clean);

// The pages of one run as its rows end: those made (written or left as they
// were) and, only when the run cleans, every page a row named. Both the
// command line's run and the window's keep their list this way.
class run_pages {
public:
    run_pages(const std::filesystem::path& folder, bool clean)
        : made_(folder), named_(folder), clean_(clean) {}
    // page: as the row's run opened it ("" when its fields could not be read).
    void row_ended(const std::string& page, bool made) {
        if (page.empty()) return;
        if (clean_) named_.add(page);
        if (made) made_.add(page);
    }
    // Lists the pages in the manifest for the settings file's run; removes
    // the stale ones only when cleaning after a run through every row.
    manifest_update update(const std::string& settings_file, bool whole_run) const;

private:
    page_list made_, named_;
    bool clean_;
};

}  // namespace korvane::generator
