// SPDX-License-Identifier: Apache-2.0
#include "template/template_engine.h"

#include "template/read_up_to.h"

#include "text/case_fold.h"
#include "text/utf8.h"
#include "text/windows_1252.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>

namespace korvane {

namespace {

constexpr std::string_view line_end = "\r\n";
constexpr std::size_t read_chunk = 64 * 1024;

// Index into text of the 1-based column; columns below 1 count as 1.
std::size_t index_of_column(int column) {
    return column > 1 ? static_cast<std::size_t>(column - 1) : 0;
}

// The index of the first occurrence of part in text at or after from, or npos.
// Markers begin with "<" and end with ">", characters rarer in a page than
// "-": the search looks for one of those and then compares the rest, which
// for short markers in short lines beats a general substring search.
std::size_t find_text(std::string_view text, std::string_view part, std::size_t from) {
    const std::size_t n = part.size();
    if (n == 0) return from <= text.size() ? from : std::string_view::npos;
    if (from > text.size() || n > text.size() - from) return std::string_view::npos;
    // The character looked for: the last one, unless it is a "-" and the
    // first is not.
    const std::size_t key = part[n - 1] == '-' && part[0] != '-' ? 0 : n - 1;
    const char* const begin = text.data();
    const char* p = begin + from + key;
    const char* const end = begin + text.size() - (n - 1 - key);
    while (p < end) {
        p = static_cast<const char*>(std::memchr(p, part[key], static_cast<std::size_t>(end - p)));
        if (p == nullptr) return std::string_view::npos;
        const char* const start = p - key;
        std::size_t i = 0;
        while (i < n && start[i] == part[i]) ++i;
        if (i == n) return static_cast<std::size_t>(start - begin);
        ++p;
    }
    return std::string_view::npos;
}

// The 1-based position of the first occurrence of part in text that starts at
// or after column, or 0 when there is none or column lies beyond the text.
int position_of(std::string_view part, std::string_view text, int column) {
    const std::size_t from = index_of_column(column);
    if (from >= text.size()) return 0;
    const std::size_t found = find_text(text, part, from);
    return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

// Markers a search text surely holds, told from its ends alone: the search
// texts are markers or tags, and this is asked on every scan.
std::uint8_t markers_at_ends(std::string_view text) {
    std::uint8_t markers = 0;
    if (text.starts_with("<!--")) markers |= 1;
    if (text.ends_with("-->")) markers |= 2;
    return markers;
}

// The characters of text from column to its end.
std::string_view rest_from(std::string_view text, int column) {
    const std::size_t from = index_of_column(column);
    return from >= text.size() ? std::string_view{} : text.substr(from);
}

// The characters of text from column up to (not including) position end.
std::string_view text_from_to(std::string_view text, int column, int end) {
    const std::size_t from = index_of_column(column);
    const std::size_t to = index_of_column(end);
    return from >= to || from >= text.size() ? std::string_view{} : text.substr(from, to - from);
}

// out = text with A-Z folded to a-z; other bytes (UTF-8 included) as they are.
std::string_view fold_ascii(std::string_view text, std::string& out) {
    out.assign(text);
    korvane::text::lower_ascii_in_place(out);
    return out;
}

// The whole file into bytes (size = file size, capacity kept between calls).
bool read_whole_file(const std::string& filename, std::string& bytes) {
    // O_NONBLOCK: a FIFO must not block the open; only a regular file is a
    // template (a device would never end).
    const int fd = ::open(filename.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    const std::size_t want = static_cast<std::size_t>(info.st_size) + 1;  // + 1: sees the end in one read
    if (bytes.size() < want) bytes.resize(want);
    std::size_t used = 0;
    bool ok = true;
    for (;;) {
        if (used == bytes.size()) bytes.resize(bytes.size() + read_chunk);
        const ssize_t n = read_up_to(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            ok = false;
            break;
        }
        used += static_cast<std::size_t>(n);
        if (used < bytes.size()) break;  // the end of the file
    }
    ::close(fd);
    bytes.resize(ok ? used : 0);
    // Positions are ints: a template of 2 GiB or more is not one.
    return ok && used < static_cast<std::size_t>(INT_MAX);
}

}  // namespace

// ---------------------------------------------------------------- template

bool template_engine::load_template(const std::string& filename) {
    line_count_ = read_template_lines(filename);
    reset_template_state();
    return line_count_ != 0;
}

bool template_engine::load_template_text(std::string_view bytes) {
    line_count_ = split_template_lines(bytes);
    reset_template_state();
    return line_count_ != 0;
}

int template_engine::read_template_lines(const std::string& filename) {
    if (!read_whole_file(filename, file_bytes_)) return 0;
    return split_template_lines(file_bytes_);
}

int template_engine::split_template_lines(std::string_view bytes) {
    // A template that is not UTF-8 is Windows-1252: it is taken as text here
    // and its page is written back in that code page at the close.
    windows_1252_ = !korvane::text::is_utf8(bytes);
    if (windows_1252_) {
        korvane::text::windows_1252::decode(bytes, converted_);
        bytes = converted_;
    }
    int count = 0;
    std::size_t start = 0;
    lines_.clear();
    line_starts_.clear();
    openers_.clear();
    first_opener_.clear();
    closers_.clear();
    first_closer_.clear();
    while (start < bytes.size()) {
        if (count == max_lines) return 0;  // one line more than the table holds
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = bytes.size();
        const auto index = static_cast<std::size_t>(count);
        const std::string_view line = bytes.substr(start, end - start);
        line_starts_.push_back(lines_.size());
        lines_ += line;
        lines_ += line_end;
        // Lists where each marker begins in the line; true when there is one.
        auto list_markers = [&](std::string_view marker, std::vector<int>& list,
                                std::vector<int>& first) {
            first.push_back(static_cast<int>(list.size()));
            for (std::size_t at = find_text(line, marker, 0); at != std::string_view::npos;
                 at = find_text(line, marker, at + 1)) {
                list.push_back(static_cast<int>(at));
            }
            return static_cast<int>(list.size()) > first.back();
        };
        const bool opens = list_markers("<!--", openers_, first_opener_);
        const bool closes = list_markers("-->", closers_, first_closer_);
        // A line that lacks a marker a search text holds cannot hold that
        // text, so the scans pass most lines of a page without searching them.
        if (index == line_markers_.size()) line_markers_.emplace_back();
        line_markers_[index] = static_cast<std::uint8_t>((opens ? 1 : 0) | (closes ? 2 : 0));
        ++count;
        start = end;
        if (start < bytes.size()) {
            start += bytes.compare(start, 2, line_end) == 0 ? 2 : 1;  // CRLF, LF or CR
        }
    }
    line_starts_.push_back(lines_.size());
    first_opener_.push_back(static_cast<int>(openers_.size()));
    first_closer_.push_back(static_cast<int>(closers_.size()));
    return count;
}

int template_engine::opener_position(int line, std::string_view part, std::string_view text,
                                     int column) const {
    const std::size_t from = index_of_column(column);
    const auto index = static_cast<std::size_t>(line);
    // Found by halving, not walked from the line's start: a line packed with
    // tags would make a page cost the square of its tags.
    const auto first = openers_.begin() + first_opener_[index];
    const auto last = openers_.begin() + first_opener_[index + 1];
    for (auto it = std::lower_bound(first, last, static_cast<int>(from)); it != last; ++it) {
        const auto at = static_cast<std::size_t>(*it);
        if (text.substr(at).starts_with(part)) return static_cast<int>(at) + 1;
    }
    return 0;
}

void template_engine::reset_template_state() {
    static std::atomic<std::uint64_t> templates_loaded{0};
    template_number_ = ++templates_loaded;
    tag_line_ = -1;  // the lines it pointed into are gone
    tag_ = {};
    tag_here_ = false;
    known_tags_.fill({});
    memo_.clear();  // and so are the scans of them
    initialise_cursor();
    pending_output_.clear();
    if (writer_.is_open()) writer_.bytes().resize(pending_start_);
    saved_lines_[0] = 0;
    saved_columns_[0] = 1;
}

void template_engine::initialise_cursor() {
    cursor_line_ = 0;
    cursor_column_ = 1;
    at_end_ = false;
}

void template_engine::place_cursor(int line, int column) {
    cursor_line_ = line;
    cursor_column_ = column;
    at_end_ = false;
}

bool template_engine::scan_lines(std::string_view search_text, std::string_view search_text2,
                                 std::string_view other_search_text, int line, int column,
                                 bool ignore_case, bool copy_to_output) {
    if (ignore_case) {
        search_text = fold_ascii(search_text, folded_search_[0]);
        search_text2 = fold_ascii(search_text2, folded_search_[1]);
        other_search_text = fold_ascii(other_search_text, folded_search_[2]);
    }
    const std::uint8_t needs[3] = {markers_at_ends(search_text), markers_at_ends(search_text2),
                                   markers_at_ends(other_search_text)};
    bool found = false;
    int depth = 0;
    int folded_index = -1;
    while (!found && line < line_count_) {
        const std::string_view original = line_text(line);
        const std::uint8_t markers = line_markers_[static_cast<std::size_t>(line)];
        auto position = [&](std::string_view part, int need, std::string_view in) {
            const std::uint8_t wanted = needs[need];
            if ((markers & wanted) != wanted) return 0;
            // A text that opens with a marker can only be where one opens.
            if (!ignore_case && (wanted & 1) != 0) return opener_position(line, part, in, column);
            return position_of(part, in, column);
        };
        std::string_view text = original;
        if (ignore_case) {
            if (folded_index != line) {
                fold_ascii(original, folded_line_);
                folded_index = line;
            }
            text = folded_line_;
        }

        // A line holding the opening text opens one level, counted again each
        // time the same line is looked at after a closing match was skipped.
        if (!other_search_text.empty() && position(other_search_text, 2, text) > 0) {
            ++depth;
        }
        int p1 = position(search_text, 0, text);
        const int p2 = search_text2.empty() ? 0 : position(search_text2, 1, text);
        if (p1 == 0 && p2 > 0) p1 = p2;
        if (p1 > 0 && p2 > 0 && p2 < p1) p1 = p2;

        if (p1 > 0 && depth > 0) {
            --depth;
            column = p1 + 1;
        } else if (p1 > 0) {
            if (copy_to_output) output_text(text_from_to(original, column, p1), false);
            column = p1;
            found = true;
        } else {
            if (copy_to_output) output_text(rest_from(original, column), true);
            ++line;
            column = 1;
        }
    }
    cursor_line_ = line;
    cursor_column_ = column;
    if (line == line_count_) at_end_ = true;
    return found;
}

bool template_engine::scan(std::string_view search_text, std::string_view search_text2,
                           std::string_view other_search_text, bool ignore_case,
                           bool copy_to_output) {
    const int line = cursor_line_;
    const int column = cursor_column_;
    // Copying while a nested section hides a closing match leaves the text
    // before that match out, which only the line by line copy does.
    if (ignore_case || (copy_to_output && !other_search_text.empty()) || line < 0 ||
        line >= line_count_) {
        return scan_lines(search_text, search_text2, other_search_text, line, column, ignore_case,
                          copy_to_output);
    }
    const std::uint64_t key = memo_.key(search_text, search_text2, other_search_text, line, column);
    bool found = false;
    if (const scan_end* end = memo_.find(key)) {
        cursor_line_ = end->line;
        cursor_column_ = end->column;
        if (cursor_line_ == line_count_) at_end_ = true;
        found = end->found;
    } else {
        found =
            scan_lines(search_text, search_text2, other_search_text, line, column, false, false);
        memo_.remember(key, {cursor_line_, cursor_column_, found});
    }
    if (copy_to_output) copy_to_cursor(line, column);
    return found;
}

void template_engine::copy_to_cursor(int line, int column) {
    const std::size_t start = line_starts_[static_cast<std::size_t>(line)];
    const std::size_t from = start + std::min(index_of_column(column), line_text(line).size());
    // The cursor's line up to the cursor: nothing when the scan found nothing
    // and the cursor stands at column 1 past the last line.
    const std::size_t to = line_starts_[static_cast<std::size_t>(cursor_line_)];
    const std::size_t end = to + index_of_column(cursor_column_);
    if (writer_.is_open()) {
        std::string& page = writer_.bytes();
        page.append(lines_, from, end - from);
        if (cursor_line_ != line) pending_start_ = page.size() - (end - to);
    } else if (cursor_line_ == line) {
        pending_output_.append(lines_, from, end - from);
    } else {
        pending_output_.assign(lines_, to, end - to);  // the lines before have nowhere to go
    }
}

bool template_engine::jump_to_line_containing(std::string_view search_text,
                                              std::string_view other_search_text,
                                              bool ignore_case) {
    return scan(search_text, {}, other_search_text, ignore_case, false);
}

bool template_engine::jump_past_line_containing(std::string_view search_text,
                                                std::string_view other_search_text,
                                                bool ignore_case) {
    // Past the end of the tag just read at the cursor: its "-->" is the first
    // one from there, which is where the scan would stop.
    if (search_text == "-->" && other_search_text.empty() && !ignore_case &&
        cursor_line_ == tag_line_ && cursor_column_ == tag_column_ && tag_here_) {
        cursor_column_ += static_cast<int>(tag_.size());
        return true;
    }
    const bool found = scan(search_text, {}, other_search_text, ignore_case, false);
    if (found) cursor_column_ += static_cast<int>(search_text.size());
    return found;
}

bool template_engine::jump_to_line_containing_either(std::string_view search_text,
                                                     std::string_view search_text2,
                                                     std::string_view other_search_text,
                                                     bool ignore_case) {
    return scan(search_text, search_text2, other_search_text, ignore_case, false);
}

bool template_engine::jump_past_line_containing_either(std::string_view search_text,
                                                       std::string_view search_text2,
                                                       std::string_view other_search_text,
                                                       bool ignore_case) {
    const bool found = scan(search_text, search_text2, other_search_text, ignore_case, false);
    // The first text's length, whichever of the two matched.
    if (found) cursor_column_ += static_cast<int>(search_text.size());
    return found;
}

bool template_engine::output_to_line_containing(std::string_view search_text,
                                                std::string_view other_search_text,
                                                bool ignore_case) {
    return scan(search_text, {}, other_search_text, ignore_case, true);
}

bool template_engine::output_past_line_containing(std::string_view search_text,
                                                  std::string_view other_search_text,
                                                  bool ignore_case) {
    const bool found = scan(search_text, {}, other_search_text, ignore_case, true);
    if (found) {
        cursor_column_ += static_cast<int>(search_text.size());
        output_text(search_text, false);
    }
    return found;
}

std::string_view template_engine::tag_at_cursor() const {
    if (cursor_line_ == tag_line_ && cursor_column_ == tag_column_) return tag_;
    tag_line_ = cursor_line_;
    tag_column_ = cursor_column_;
    const std::uint32_t place =
        static_cast<std::uint32_t>(cursor_line_) << 16 ^ static_cast<std::uint32_t>(cursor_column_);
    const std::uint32_t hash = place * 0x9E3779B1u;
    known_tag& known = known_tags_[hash >> 24];
    if (known.line == cursor_line_ && known.column == cursor_column_) {
        tag_ = std::string_view(lines_).substr(known.offset, known.size);
        tag_here_ = known.here;
        return tag_;
    }
    read_tag();
    const std::size_t offset =
        tag_.empty() ? 0 : static_cast<std::size_t>(tag_.data() - lines_.data());
    known = {cursor_line_, cursor_column_, offset, tag_.size(), tag_here_};
    return tag_;
}

void template_engine::read_tag() const {
    const bool inside = cursor_line_ >= 0 && cursor_line_ < line_count_;
    const std::string_view text =
        inside ? rest_from(line_text(cursor_line_), cursor_column_) : std::string_view{};
    if (text.starts_with("<!--")) {
        // The tag ends at the line's first "-->" from the cursor on.
        const std::size_t from = index_of_column(cursor_column_);
        const auto line = static_cast<std::size_t>(cursor_line_);
        const auto first = closers_.begin() + first_closer_[line];
        const auto last = closers_.begin() + first_closer_[line + 1];
        const auto it = std::lower_bound(first, last, static_cast<int>(from));
        tag_ = it == last ? std::string_view{}
                          : text.substr(0, static_cast<std::size_t>(*it) - from + 3);
        tag_here_ = it != last;
    } else {
        tag_ = text_between_markers(text, "<!--", "-->");
        tag_here_ = false;  // the first tag after the cursor, if any
    }
}

std::string_view template_engine::text_at_cursor() const {
    return rest_from(template_line(cursor_line_), cursor_column_);
}

std::string_view template_engine::template_line(int index) const {
    if (index < 0 || index >= line_count_) return {};
    return line_text(index);
}

std::string_view template_engine::text_between_markers(std::string_view text,
                                                       std::string_view open_marker,
                                                       std::string_view close_marker) {
    const std::size_t open = find_text(text, open_marker, 0);
    const std::size_t close = find_text(text, close_marker, 0);
    if (open == std::string_view::npos || close == std::string_view::npos || close <= open) {
        return {};
    }
    return text.substr(open, close - open + close_marker.size());
}

// Slot numbers outside 0 to 5 are ignored.
void template_engine::save_cursor_position(int save_position_number) {
    if (save_position_number < 0 || save_position_number >= saved_slots) return;
    const auto slot = static_cast<std::size_t>(save_position_number);
    saved_lines_[slot] = cursor_line_;
    saved_columns_[slot] = cursor_column_;
}

void template_engine::restore_cursor_position(int save_position_number) {
    if (save_position_number < 0 || save_position_number >= saved_slots) return;
    const auto slot = static_cast<std::size_t>(save_position_number);
    cursor_line_ = saved_lines_[slot];
    cursor_column_ = saved_columns_[slot];
    if (cursor_line_ > line_count_) at_end_ = true;  // never cleared here
}

// ---------------------------------------------------------------- output

// Completed lines go to the page being collected; a line completed while no
// output is open has nowhere to go and is dropped.
void template_engine::output_text(std::string_view text_to_output, bool end_the_line) {
    if (writer_.is_open()) {
        std::string& page = writer_.bytes();
        page += text_to_output;
        if (end_the_line) {
            page += line_end;
            pending_start_ = page.size();
        }
    } else if (end_the_line) {
        pending_output_.clear();
    } else {
        pending_output_ += text_to_output;
    }
}

bool template_engine::open_output_file(const std::string& filename, std::string& error) {
    if (!writer_.open(filename, error)) return false;
    // A line begun before the open is the page's first.
    std::string& page = writer_.bytes();
    pending_start_ = page.size();
    page += pending_output_;
    pending_output_.clear();
    return true;
}

close_result template_engine::close_output_file() {
    if (!writer_.is_open()) return {};
    if (!pending_output().empty()) output_text({}, true);  // nothing the page held is lost
    if (windows_1252_) {
        std::string& page = writer_.bytes();
        korvane::text::windows_1252::encode(page, converted_);
        page.swap(converted_);
    }
    return writer_.close();
}

}  // namespace korvane
