// SPDX-License-Identifier: Apache-2.0
// The floor for the generation benchmark: the pages of the benchmark's site
// written by hand-coded logic, with nothing a general generator needs. What
// korvane-cli costs beyond this is what generality costs.
//
// korvane_floor DATABASE OUTPUT_FOLDER DATE [--one-statement | --fields]
// DATE is the page's "Generated" text. By default the section statement is
// prepared afresh for every page, since its text changes from page to page
// as a template's does; --one-statement binds the page into one statement;
// --fields writes the pages of the lighter workload, without the section.
// --whole writes each page as korvane-cli must, never seen half-written.
// --part K/N makes only the rows whose number modulo N is K, so that N copies
// side by side show what the machine gives N processes that share nothing.
#include "bench_site.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace korvane::bench;

std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

void add_text(std::string& page, sqlite3_stmt* s, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    if (text) page.append(text, static_cast<std::size_t>(sqlite3_column_bytes(s, column)));
}

// Blank ; / ? : @ & = + $ , as %XX.
void add_url_escaped(std::string& page, sqlite3_stmt* s, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    for (; text && *text; ++text) {
        if (std::strchr(" ;/?:@&=+$,", *text)) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(*text));
            page += hex;
        } else {
            page += *text;
        }
    }
}

void add_currency(std::string& page, double amount) {
    long long units = std::llround(amount * 10000.0);
    if (units < 0) {
        page += '-';
        units = -units;
    }
    char digits[32];
    std::snprintf(digits, sizeof digits, "%lld", units / 10000);
    page += digits;
    int fraction = static_cast<int>(units % 10000);
    if (fraction == 0) return;
    std::snprintf(digits, sizeof digits, ".%04d", fraction);
    std::size_t end = std::strlen(digits);
    while (digits[end - 1] == '0') --end;
    page.append(digits, end);
}

void add_real(std::string& page, double value) {
    char digits[40];
    std::snprintf(digits, sizeof digits, "%.15G", value);
    page += digits;
}

bool write_page(const std::string& path, const std::string& page) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool ok = ::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size());
    return ::close(fd) == 0 && ok;
}

// The cheapest way to a page that is never seen half-written: a file without
// a name in the folder (open as folder), named once it is whole. One system
// call more than write_page.
bool write_whole_page(int folder, const char* name, const std::string& page) {
    const int fd = ::openat(folder, ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = ::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size());
    ok = ok && ::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0;
    return ::close(fd) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: korvane_floor DATABASE OUTPUT_FOLDER DATE [--one-statement | --fields]"
                             " [--whole] [--part K/N]\n");
        return 2;
    }
    bool one_statement = false;
    bool fields_only = false;
    bool whole = false;
    long part = 0, parts = 1;  // rows whose number modulo parts is part
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--one-statement") == 0) one_statement = true;
        if (std::strcmp(argv[i], "--fields") == 0) fields_only = true;
        if (std::strcmp(argv[i], "--whole") == 0) whole = true;
        if (std::strcmp(argv[i], "--part") == 0 && i + 1 < argc &&
            std::sscanf(argv[i + 1], "%ld/%ld", &part, &parts) != 2) {
            return 2;
        }
    }
    const std::string folder = std::string(argv[2]) + "/";
    const int folder_fd = ::open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd < 0) return 1;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);

    const std::string tpl = page_template();
    auto between = [&](std::string_view from, std::string_view to) {
        const std::size_t a = tpl.find(from) + from.size();
        return crlf(std::string_view(tpl).substr(a, tpl.find(to, a) - a));
    };
    const std::string head = crlf("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>");
    const std::string title_to_h1 = between("<title><!--MAIN_FIELD=title-->", "<!--MAIN_FIELD=title--></h1>");
    const std::string h1_to_author = "</h1>\r\n<p class=\"by\">by <a href=\"author.html?name=";
    const std::string in_stock = "\r\n<p class=\"stock\">In stock</p>\r\n\r\n";
    const std::string out_of_stock = "\r\n<p class=\"stock\">Out of stock</p>\r\n\r\n";
    const std::string table_head = between("<p><!--MAIN_FIELD=summary-->", "<!--REPEAT=");
    const std::string fields_footer = "</table>\r\n</main>\r\n<footer>\r\n" + crlf(footer_lines()) +
                                      "<p>Generated " + argv[3] + "</p>\r\n</footer>\r\n</body>\r\n</html>\r\n";
    const std::string footer = "\r\n\r\n" + fields_footer;

    sqlite3_stmt* rows = nullptr;
    sqlite3_stmt* lines = nullptr;
    if (sqlite3_prepare_v2(db, "select * from pages", -1, &rows, nullptr) != SQLITE_OK) return 1;
    if (one_statement &&
        sqlite3_prepare_v2(db, (section_statement + "?" + section_order).c_str(), -1, &lines,
                           nullptr) != SQLITE_OK) {
        return 1;
    }
    std::string page, sql;
    long pages = 0;
    for (long row = 0; sqlite3_step(rows) == SQLITE_ROW; ++row) {
        if (parts > 1 && row % parts != part) continue;
        page.assign(head);
        add_text(page, rows, 3);
        page += title_to_h1;
        add_text(page, rows, 3);
        page += h1_to_author;
        add_url_escaped(page, rows, 4);
        page += "\">";
        add_text(page, rows, 4);
        page += "</a>, published ";
        page.append(reinterpret_cast<const char*>(sqlite3_column_text(rows, 6)), 10);
        page += "</p>\r\n<p class=\"price\">Price: ";
        add_currency(page, sqlite3_column_double(rows, 5));
        page += " (rating ";
        add_real(page, sqlite3_column_double(rows, 8));
        page += ")</p>\r\n";
        page += sqlite3_column_int(rows, 7) != 0 ? in_stock : out_of_stock;
        page += "<p>";
        add_text(page, rows, 9);
        page += table_head;

        if (fields_only) {
            page += fields_footer;
        } else {
            const sqlite3_int64 id = sqlite3_column_int64(rows, 0);
            if (one_statement) {
                sqlite3_reset(lines);
                sqlite3_bind_int64(lines, 1, id);
            } else {
                sql = section_statement + std::to_string(id) + section_order;
                if (sqlite3_prepare_v2(db, sql.c_str(), -1, &lines, nullptr) != SQLITE_OK) return 1;
            }
            bool first = true;
            while (sqlite3_step(lines) == SQLITE_ROW) {
                page += first ? "\r\n<tr><td>" : "<tr class=\"sep\"></tr>\r\n\r\n<tr><td>";
                first = false;
                add_text(page, lines, 0);
                page += "</td><td>";
                add_text(page, lines, 1);
                page += "</td><td>";
                add_currency(page, sqlite3_column_double(lines, 2));
                page += "</td></tr>\r\n";
            }
            page += footer;
            if (!one_statement) sqlite3_finalize(lines);
        }

        const auto* file = reinterpret_cast<const char*>(sqlite3_column_text(rows, 2));
        if (whole ? !write_whole_page(folder_fd, file, page) : !write_page(folder + file, page)) {
            std::fprintf(stderr, "korvane_floor: cannot write %s%s\n", folder.c_str(), file);
            return 1;
        }
        ++pages;
    }
    if (one_statement) sqlite3_finalize(lines);
    sqlite3_finalize(rows);
    sqlite3_close(db);
    ::close(folder_fd);
    return pages > 0 ? 0 : 1;
}
