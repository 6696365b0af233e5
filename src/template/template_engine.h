// SPDX-License-Identifier: Apache-2.0
// One template held as lines with a cursor that moves forward through it,
// and the one output page being written from it. The generator walks the
// template with the scans below; the text they pass over is copied to the
// page. Templates are bytes: whatever the generator does not touch reaches the
// page unchanged. Positions are byte positions, 1-based; line indices 0-based.
#pragma once

#include "template/page_writer.h"
#include "template/scan_memo.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class template_engine {
public:
    static constexpr int max_lines = 2001;
    static constexpr int saved_slots = 6;

    template_engine() = default;
    template_engine(const template_engine&) = delete;
    template_engine& operator=(const template_engine&) = delete;

    // Reads the file as lines (ending at LF, CRLF or a lone CR). False when it
    // cannot be read, is empty or has more than max_lines lines.
    bool load_template(const std::string& filename);
    // The same from bytes already in memory, for tools that check templates.
    bool load_template_text(std::string_view bytes);

    // Prepares the page: false with a reason for a missing folder, a name that
    // is a folder, a read-only file, a folder without write permission, or an
    // output already open. A page that is not there yet is created empty here;
    // nothing is written before the close.
    bool open_output_file(const std::string& filename, std::string& error);
    // Writes a non-empty pending line as the last line, then writes a new page
    // into the file created at the open (removing it again when that fails),
    // or replaces an existing page atomically (temporary file in the same
    // folder, renamed over it) unless it already holds exactly these bytes.
    close_result close_output_file();

    // Cursor to line 0, column 1; end_of_file() false again.
    void initialise_cursor();
    // Cursor to a line index and 1-based column, end_of_file() false; for
    // tools that replay the generator's scans from a tag.
    void place_cursor(int line, int column);
    // The scans move the cursor to (or just past) the next search_text. A line
    // holding other_search_text opens a nested section whose closing match is
    // skipped. ignore_case true compares with ASCII case folded away
    // (callers pass false). False when the text does not come again: the
    // cursor is then past the last line and end_of_file() is true. The output_
    // scans also copy the text they pass over to the page.
    bool jump_to_line_containing(std::string_view search_text, std::string_view other_search_text,
                                 bool ignore_case);
    bool jump_past_line_containing(std::string_view search_text, std::string_view other_search_text,
                                   bool ignore_case);
    bool jump_to_line_containing_either(std::string_view search_text, std::string_view search_text2,
                                        std::string_view other_search_text, bool ignore_case);
    bool jump_past_line_containing_either(std::string_view search_text,
                                          std::string_view search_text2,
                                          std::string_view other_search_text, bool ignore_case);
    bool output_to_line_containing(std::string_view search_text, std::string_view other_search_text,
                                   bool ignore_case);
    bool output_past_line_containing(std::string_view search_text,
                                     std::string_view other_search_text, bool ignore_case);

    // The comment tag starting at the cursor, markers included, or "". The
    // view stays valid until the next load_template.
    std::string_view tag_at_cursor() const;
    std::string_view text_at_cursor() const;

    // Slots 0 to saved_slots - 1; other numbers are ignored. A restore never
    // clears end_of_file().
    void save_cursor_position(int save_position_number);
    void restore_cursor_position(int save_position_number);
    bool end_of_file() const { return at_end_; }

    // Joins text to the pending line; end_the_line writes that line with CRLF.
    void output_text(std::string_view text_to_output, bool end_the_line);

    // Observers, for tests and tools.
    int line_count() const { return line_count_; }
    // Line index of the loaded template, or "" outside 0 to line_count() - 1.
    std::string_view template_line(int index) const;
    int cursor_line() const { return cursor_line_; }
    int cursor_column() const { return cursor_column_; }
    std::string_view pending_output() const {
        return writer_.is_open() ? std::string_view(writer_.bytes()).substr(pending_start_)
                                 : std::string_view(pending_output_);
    }
    bool output_is_open() const { return writer_.is_open(); }
    // The loaded template's number, which no other template loaded by any
    // engine of the process has: views into the template (tag_at_cursor)
    // stay valid while it stays the same. 0 before the first load.
    std::uint64_t template_number() const { return template_number_; }

private:
    // Fills the line table from the file; the number of lines, 0 on any
    // failure. Lines of a failed read stay in the table but are not counted.
    int read_template_lines(const std::string& filename);
    int split_template_lines(std::string_view bytes);
    // position_of for a part that begins with "<!--", from the line's list of
    // where those begin.
    int opener_position(int line, std::string_view part, std::string_view text, int column) const;
    // Line index 0 to line_count() - 1, unchecked.
    std::string_view line_text(int index) const {
        const auto i = static_cast<std::size_t>(index);
        return std::string_view(lines_).substr(line_starts_[i],
                                               line_starts_[i + 1] - line_starts_[i] - 2);
    }
    // Cursor at the start, no pending text, slot 0 at the start.
    void reset_template_state();
    // tag_ and tag_here_ for the cursor, found in its line.
    void read_tag() const;
    // The one scan under every jump and output operation: from (line, column)
    // to the next search_text or search_text2 (the earlier wins; at the same
    // position search_text), skipping one match per line that held
    // other_search_text. With copy_to_output the text passed over goes to the
    // page. Leaves the cursor where it stopped.
    bool scan_lines(std::string_view search_text, std::string_view search_text2,
                    std::string_view other_search_text, int line, int column, bool ignore_case,
                    bool copy_to_output);
    // scan_lines from the cursor, its end taken from the memo where it can be.
    bool scan(std::string_view search_text, std::string_view search_text2,
              std::string_view other_search_text, bool ignore_case, bool copy_to_output);
    // Copies the text from (line, column) to the cursor as the output_ scans
    // do, each line passed over with its CRLF, in one piece.
    void copy_to_cursor(int line, int column);
    // The text from the first open_marker through the first close_marker, or
    // "" when either is missing or the close comes first.
    static std::string_view text_between_markers(std::string_view text,
                                                 std::string_view open_marker,
                                                 std::string_view close_marker);

    // The lines, each followed by CRLF as on the page, so that the lines a
    // scan passes over are copied in one piece. Only the first line_count_
    // lines are ever read.
    std::string lines_;
    std::vector<std::size_t> line_starts_;  // where each line begins in lines_; one more at the end
    std::vector<std::uint8_t> line_markers_;  // per line: bit 0 it holds "<!--", bit 1 "-->"
    std::vector<int> openers_;       // where each "<!--" begins in its line, line by line
    std::vector<int> first_opener_;  // a line's first entry in openers_; one more at the end
    std::vector<int> closers_;       // the same for "-->"
    std::vector<int> first_closer_;
    int line_count_ = 0;
    int cursor_line_ = 0;
    int cursor_column_ = 0;
    bool at_end_ = false;
    std::array<int, saved_slots> saved_lines_{};
    std::array<int, saved_slots> saved_columns_{};
    // The line not yet ended: while a page is open, the end of its bytes
    // from pending_start_ on, so that text reaches the page in one copy;
    // otherwise pending_output_.
    std::string pending_output_;
    std::size_t pending_start_ = 0;
    page_writer writer_;
    std::string file_bytes_;       // the template file while it is split into lines
    bool windows_1252_ = false;    // the template, and so its page, is Windows-1252
    std::string converted_;        // a template or page while it changes encoding
    // The tag last read and where: the processor reads a tag, then often
    // again, and then jumps past it.
    mutable int tag_line_ = -1;
    mutable int tag_column_ = 0;
    mutable std::string_view tag_;
    mutable bool tag_here_ = false;             // tag_ begins at the cursor
    // Tags read before, by where: each page reads the tags of the page before
    // at the same places. A place whose slot another took reads its tag again.
    struct known_tag {
        int line = -1;
        int column = 0;
        std::size_t offset = 0;  // where the tag begins in lines_
        std::size_t size = 0;
        bool here = false;
    };
    mutable std::array<known_tag, 256> known_tags_{};
    std::array<std::string, 3> folded_search_;  // search texts in lower case
    std::string folded_line_;                   // the scanned line in lower case
    scan_memo memo_;                            // the scans of the loaded template
    std::uint64_t template_number_ = 0;
};

}  // namespace korvane
