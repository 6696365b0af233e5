// SPDX-License-Identifier: Apache-2.0
// The pages Korvane wrote into an output folder, listed in the folder's
// ".korvane-manifest" per settings file, so that a later run can delete the
// pages no row names any more (korvane-cli generate --clean) and never
// touches a file it did not write.
#pragma once

#include <filesystem>
#include <string>
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

struct manifest_update {
    std::vector<std::string> removed;  // pages deleted, relative to the folder
    std::vector<std::string> errors;   // one line each: what could not be done
};

// After a run of owner: lists the pages it wrote (written) in the folder's
// manifest, replaced whole, never half-written. With clean, first deletes
// the pages the manifest lists for owner that the run neither wrote nor
// named (named: every page a row named, made or not). Only plain files the
// manifest lists inside the folder are ever deleted. Paths are as the run
// opened them; pages outside the folder are not listed.
manifest_update update_manifest(const std::filesystem::path& folder, const std::string& owner,
                                const std::vector<std::string>& written,
                                const std::vector<std::string>& named, bool clean);

}  // namespace korvane::generator
