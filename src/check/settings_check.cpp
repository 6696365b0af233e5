// SPDX-License-Identifier: Apache-2.0
#include "check/settings_check.h"

#include "data/global.h"
#include "data/settings.h"
#include "data/text_helpers.h"
#include "generator/path_confinement.h"
#include "generator/template_syntax.h"
#include "text/utf8.h"
#include "text/windows_1252.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace korvane::check {
namespace {

namespace fs = std::filesystem;

using generator::syntax::max_template_lines;

// Line numbers of the keys in the settings file, for pointing at them.
std::map<std::string, int> key_lines(const std::string& path) {
    std::map<std::string, int> lines;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    int number = 0;
    for (const auto& line : split_lines(bytes)) {
        ++number;
        std::string key, value;
        split_setting_line(line, key, value);
        if (!key.empty()) lines[key] = number;  // the later line wins, as in the reader
    }
    return lines;
}

std::string resolve(const fs::path& base, const std::string& name) {
    return resolve_path(name, base.string());
}

std::string text_of(const data::db_value* v) { return v ? data::value_to_text(*v) : std::string(); }

// A section's statement with its references filled from the rows a run
// would see first.
struct reference_source {
    const data::record_set* main = nullptr;
    const data::record_set* section = nullptr;  // nullptr: the enclosing row is unknown
};

bool fill_references(std::string_view text, const reference_source& source, std::string& filled) {
    namespace syntax = generator::syntax;
    filled.clear();
    std::size_t from = 0;
    for (;;) {
        const syntax::field_reference reference = syntax::find_field_reference(text, from);
        if (reference.open == std::string_view::npos || reference.end == std::string_view::npos) {
            // A reference never closed ends the statement where it opens.
            filled += text.substr(from, reference.open - from);
            return true;
        }
        filled += text.substr(from, reference.open - from);
        if (reference.name == syntax::main_field || reference.name == syntax::repeat_field) {
            const data::record_set* rows = reference.name == syntax::main_field ? source.main : source.section;
            if (!rows) return false;
            filled += text_of(rows->value(field_name_of_parameter(std::string(reference.parameter))));
        }
        from = reference.end;
    }
}

// Where a setting stands in a file the writer wrote: the eight keys in order.
std::map<std::string, int> written_key_lines() {
    const char* const keys[] = {"db_type",        "db_name",         "main_type",     "main_name",
                                "template_field", "generated_field", "template_path", "generated_path"};
    std::map<std::string, int> lines;
    for (int i = 0; i < 8; ++i) lines[keys[i]] = i + 1;
    return lines;
}

class checker {
public:
    checker(GenerationSettings settings, std::string settings_path, fs::path base,
            std::map<std::string, int> keys, long row_limit)
        : settings_path_(std::move(settings_path)), row_limit_(row_limit), base_(std::move(base)),
          settings_(std::move(settings)), keys_(std::move(keys)) {}

    std::vector<finding> run() {
        check_database_and_templates();
        return std::move(findings_);
    }

private:
    void at_key(const std::string& key, std::string message, bool path_warning = false) {
        const auto it = keys_.find(key);
        findings_.push_back(
            {settings_path_, it == keys_.end() ? 1 : it->second, 1, std::move(message), path_warning});
    }

    void check_database_and_templates() {
        const struct {
            bool missing;
            const char* key;
            const char* what;
        } required[] = {
            {settings_.database_type == -1, "db_type", "the database type"},
            {settings_.database_name.empty(), "db_name", "the database"},
            {settings_.main_type == -1, "main_type", "the main type (table, query or SQL)"},
            {settings_.main_name.empty(), "main_name", "the main table, query or SQL statement"},
            {settings_.template_field.empty(), "template_field", "the template field"},
            {settings_.generated_field.empty(), "generated_field", "the generated-file field"},
        };
        for (const auto& r : required) {
            if (r.missing) at_key(r.key, std::string("the settings are incomplete: ") + r.what + " is not set");
        }
        if (settings_.database_type != 0 && settings_.database_type != 1 && settings_.database_type != -1) {
            at_key("db_type", "db_type must be 0 (database file) or 1 (ODBC data source)");
            return;
        }
        if (settings_.database_type == -1 || settings_.database_name.empty()) return;

        std::string error;
        const std::string name = settings_.database_type == 0
                                     ? resolve(base_, settings_.database_name)
                                     : settings_.database_name;
        null_message_port quiet;
        if (global::open_database(database_, settings_.database_type, name, quiet, &error) != 0 || !database_) {
            at_key("db_name", "the database does not open: " + error);
            return;
        }
        database_->set_access_sql(settings_.sql_dialect != sql_dialect_native);
        if (settings_.main_type == -1 || settings_.main_name.empty()) return;
        const std::string sql = build_main_sql(settings_.main_type, settings_.main_name);
        if (sql.empty()) {
            at_key("main_type", "main_type must be 0 (table), 1 (query) or 2 (SQL)");
            return;
        }
        main_ = database_->open_record_set(sql, error);
        if (!main_) {
            at_key("main_name", "the main SQL fails: " + error + " (SQL: " + sql + ")");
            return;
        }
        if (main_->record_count() == 0) at_key("main_name", "the main result has no rows: no pages are written");
        if (row_limit_ > 0 && main_->record_count() > row_limit_) {
            at_key("main_name", "the main result has " + std::to_string(main_->record_count()) +
                                    " rows, more than " + std::to_string(row_limit_) +
                                    ": no pages are written (korvane-cli generate --no-row-limit lifts the limit)");
        }
        bool fields_ok = true;
        for (const auto& [key, field] : {std::pair{"template_field", &settings_.template_field},
                                         std::pair{"generated_field", &settings_.generated_field}}) {
            if (!field->empty() && main_->field_index(*field) < 0) {
                at_key(key, "'" + *field + "' is not a field of the main result");
                fields_ok = false;
            }
        }
        if (fields_ok && !settings_.template_field.empty()) check_rows();
    }

    void check_rows() {
        std::map<std::string, long> first_row_of_template;
        std::map<std::string, long> first_row_of_folder;
        long row = 0;
        for (bool more = main_->move_first(); more; more = main_->move_next()) {
            ++row;
            const std::string file =
                settings_.template_path + text_of(main_->value(settings_.template_field));
            first_row_of_template.emplace(file, row);
            if (!settings_.generated_field.empty()) {
                check_confined(row, file, settings_.generated_path +
                                              text_of(main_->value(settings_.generated_field)));
            }
            if (!settings_.generated_field.empty()) {
                const std::string output = resolve(
                    base_, settings_.generated_path + text_of(main_->value(settings_.generated_field)));
                const auto folder = fs::path(output).parent_path().string();
                if (!first_row_of_folder.emplace(folder, row).second || folder.empty()) continue;
                // A path the system refuses (too long, not searchable) is a
                // finding like a missing folder, never the end of the check.
                std::error_code ec;
                const bool is_folder = fs::is_directory(folder, ec);
                const std::string writes = "main row " + std::to_string(row) + " writes '" + output;
                if (ec && ec != std::errc::no_such_file_or_directory) {
                    at_key("generated_path", writes + "', but its folder cannot be used (" + ec.message() + ")");
                } else if (!is_folder) {
                    at_key("generated_path", writes + "', but its folder does not exist");
                }
            }
        }
        for (const auto& [file, first_row] : first_row_of_template) check_template(file, first_row);
    }

    // Every row whose files leave their folders, as a warning a confined run
    // turns into a refusal.
    void check_confined(long row, const std::string& template_file, const std::string& page) {
        using generator::escape_kind;
        const struct {
            const char* key;
            const std::string& path_setting;
            const std::string& name;
            bool is_template;
            const char* names;
            const char* outside;
        } files[] = {
            {"template_field", settings_.template_path, template_file, true, " reads the template '",
             "' from outside the template folder '"},
            {"generated_field", settings_.generated_path, page, false, " writes the page '",
             "' outside the generated folder '"},
        };
        for (const auto& f : files) {
            const auto escape = generator::find_escape(f.path_setting, f.name, base_.string(), f.is_template);
            if (escape.kind == escape_kind::none) continue;
            const bool outside = escape.kind == escape_kind::outside_folder;
            at_key(f.key,
                   "main row " + std::to_string(row) + f.names + resolve(base_, f.name) +
                       (outside ? f.outside + escape.folder : "' through the symbolic link '" + escape.link) +
                       "' (generate --confine refuses the row)",
                   true);
        }
    }

    void check_template(const std::string& file, long row) {
        const std::string path = resolve(base_, file);
        const std::string named = "main row " + std::to_string(row) + " names the template '" + path + "'";
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) {
            const bool refused = ec && ec != std::errc::no_such_file_or_directory;
            at_key("template_field",
                   named + (refused ? ", which cannot be used (" + ec.message() + ")" : ", which does not exist"));
            return;
        }
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        if (!in && !in.eof()) {
            at_key("template_field", named + ", which cannot be read");
            return;
        }
        // Read as a run reads it: a template that is not UTF-8 is Windows-1252.
        if (!korvane::text::is_utf8(bytes)) {
            std::string decoded;
            korvane::text::windows_1252::decode(bytes, decoded);
            bytes.swap(decoded);
        }
        const auto lines = split_lines(bytes);
        if (lines.empty()) {
            at_key("template_field", named + ", which is empty");
            return;
        }
        if (lines.size() > max_template_lines) {
            at_key("template_field", named + ", which has " + std::to_string(lines.size()) +
                                         " lines; templates hold at most " +
                                         std::to_string(max_template_lines));
            return;
        }
        template_outline outline;
        for (auto& f : check_template_lines(path, lines, outline)) findings_.push_back(std::move(f));

        // Fields and section SQL, seen from the first main row that uses the template.
        main_->move_first();
        for (long r = 1; r < row; ++r) main_->move_next();
        std::map<int, std::unique_ptr<data::record_set>> section_results;
        for (std::size_t i = 0; i < outline.tags.size(); ++i) {
            const auto& tag = outline.tags[i];
            if (tag.kind != tag_kind::repeat) continue;
            reference_source source{main_.get(), nullptr};
            if (tag.section >= 0) {
                const auto outer = section_results.find(tag.section);
                if (outer == section_results.end() || !outer->second->has_current_row()) continue;
                source.section = outer->second.get();
            }
            std::string sql, error;
            if (!fill_references(tag.parameter, source, sql)) continue;
            auto result = database_->open_record_set(sql, error);
            if (!result) {
                findings_.push_back({path, tag.line + 1, tag.column + 1,
                                     "the section's SQL fails: " + error + " (SQL, filled from main row " +
                                         std::to_string(row) + ": " + sql + ")"});
                continue;
            }
            result->move_first();
            section_results.emplace(static_cast<int>(i), std::move(result));
        }
        for (const auto& use : outline.fields) {
            const data::record_set* source = main_.get();
            std::string where = "the main result";
            if (!use.main) {
                const auto it = section_results.find(use.section);
                if (it == section_results.end()) continue;  // unknown, or already reported
                source = it->second.get();
                where = "its section's result";
            }
            if (source->field_index(use.name) < 0) {
                findings_.push_back({path, use.line + 1, use.column + 1,
                                     std::string(use.main ? "MAIN_FIELD" : "REPEAT_FIELD") + " '" +
                                         use.name + "' is not a field of " + where +
                                         "; the page shows \"Korvane: Field, " + use.name + " not found\""});
            }
        }
    }

    std::string settings_path_;
    long row_limit_;
    fs::path base_;
    GenerationSettings settings_;
    std::map<std::string, int> keys_;
    std::unique_ptr<data::database> database_;
    std::unique_ptr<data::record_set> main_;
    std::vector<finding> findings_;
};

}  // namespace

check_outcome check_settings_file(const std::string& settings_path, long row_limit) {
    check_outcome outcome;
    GenerationSettings settings;
    if (read_settings_file(settings, settings_path) < 0) return outcome;
    outcome.settings_read = true;
    outcome.findings = checker(std::move(settings), settings_path,
                               fs::path(settings_path).parent_path(), key_lines(settings_path),
                               row_limit)
                           .run();
    return outcome;
}

std::vector<finding> check_settings(const GenerationSettings& settings,
                                    const std::string& base_folder, long row_limit) {
    // The keys' lines in the file the record came from, while it has them.
    std::map<std::string, int> keys;
    std::error_code ec;
    if (!settings.filename.empty() && fs::is_regular_file(settings.filename, ec))
        keys = key_lines(settings.filename);
    if (keys.empty()) keys = written_key_lines();
    const std::string named = settings.filename.empty() ? "(unsaved settings)" : settings.filename;
    return checker(settings, named, fs::path(base_folder), std::move(keys), row_limit).run();
}

}  // namespace korvane::check
