// SPDX-License-Identifier: Apache-2.0
#include "data/global.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace korvane::global {
namespace {

const char* const database_problem = "Korvane - Database problem";
const char* const sql_problem = "Korvane - Problem running SQL";

// The engine's description, or a general one when it gave none.
std::string described(std::string error, const char* fallback) {
    return error.empty() ? std::string(fallback) : std::move(error);
}

// Shared end of both kinds of open.
std::int16_t take_opened(std::unique_ptr<data::database> opened, std::string error,
                         std::unique_ptr<data::database>& database, message_port& messages,
                         std::string* error_out) {
    if (opened) {
        database = std::move(opened);
        if (error_out) error_out->clear();
        return 0;
    }
    database.reset();
    // A driver may quote the connection string back, password and all.
    error = mask_passwords(described(std::move(error), "The database could not be opened."));
    messages.show_message(database_problem, error, message_icon::critical);
    if (error_out) *error_out = std::move(error);
    return -1;
}

// Closes what the reference held before it gets a new database.
void release(std::unique_ptr<data::database>& database) {
    if (!database) return;
    std::string ignored;
    database->close(ignored);
    database.reset();
}

void fill_names(bool (data::database::*names_of)(std::vector<std::string>&, std::string&),
                data::database& database, list_port& list, message_port& messages) {
    list.clear();
    std::vector<std::string> names;
    std::string error;
    if (!(database.*names_of)(names, error)) {
        messages.show_message(database_problem,
                              described(std::move(error), "The database could not be read."),
                              message_icon::critical);
        return;
    }
    for (const auto& name : names) list.add_item(name);
}

}  // namespace

std::int16_t open_database(std::unique_ptr<data::database>& database, std::int16_t database_type,
                           const std::string& database_name, message_port& messages,
                           std::string* error, stop_token stop) {
    switch (database_type) {
        case 0:
            return open_access_database(database_name, database, messages, error, stop);
        case 1:
            return open_odbc_database(database_name, database, messages, error);
        default:
            // Callers let only 0 and 1 through; anything else opens nothing.
            release(database);
            if (error) error->clear();
            return 0;
    }
}

std::int16_t open_access_database(const std::string& path,
                                  std::unique_ptr<data::database>& database,
                                  message_port& messages, std::string* error,
                                  stop_token stop) {
    release(database);
    std::string why;
    auto opened = data::open_database_file(path, why, stop);
    return take_opened(std::move(opened), std::move(why), database, messages, error);
}

std::int16_t open_odbc_database(const std::string& name, std::unique_ptr<data::database>& database,
                                message_port& messages, std::string* error) {
    release(database);
    std::string why;
    auto opened = data::open_odbc_source(name, why);
    return take_opened(std::move(opened), std::move(why), database, messages, error);
}

std::int16_t close_database(std::unique_ptr<data::database>& database) {
    if (!database) return 0;
    std::string ignored;
    const bool closed = database->close(ignored);
    database.reset();
    return closed ? 0 : -1;
}

std::int16_t open_main_result(data::database& database, std::unique_ptr<data::record_set>& result,
                              std::int16_t main_type, const std::string& main_name,
                              message_port& messages) {
    result.reset();
    const std::string sql = build_main_sql(main_type, main_name);
    std::string error;
    result = database.open_record_set(sql, error);
    if (!result) {
        messages.show_message(sql_problem,
                              described(std::move(error), "The SQL statement could not be run."),
                              message_icon::exclamation);
        return -1;
    }
    // An empty result cannot move to its last row: no rows, no message.
    if (!result->move_last()) return 0;
    const std::int64_t count = result->record_count();
    if (count < 1 || count > std::numeric_limits<std::int16_t>::max()) return 0;
    return static_cast<std::int16_t>(count);
}

void list_tables(data::database& database, list_port& list, message_port& messages) {
    fill_names(&data::database::table_names, database, list, messages);
}

void list_queries(data::database& database, list_port& list, message_port& messages) {
    fill_names(&data::database::query_names, database, list, messages);
}

void remove_system_tables(list_port& list) {
    for (int i = 0; i < list.count();) {
        if (list.item(i).compare(0, 4, "MSys") == 0) {
            list.remove_item(i);  // the next entry moves up to i
        } else {
            ++i;
        }
    }
}

void list_fields(const data::record_set& result, list_port& list) {
    list.clear();
    for (const auto& name : result.field_names()) list.add_item(name);
}

std::int16_t find_list_entry(const std::string& text, const list_port& list) {
    const int last = std::min(list.count(), static_cast<int>(std::numeric_limits<std::int16_t>::max()) + 1);
    for (int i = 0; i < last; ++i) {
        if (list.item(i) == text) return static_cast<std::int16_t>(i);
    }
    return -1;
}

}  // namespace korvane::global
