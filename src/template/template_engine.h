// One template held as lines with a cursor that moves forward through it,
// and the one output page being written from it. The generator walks the
// template with the scans below; the text they pass over is copied to the
// page. Templates are bytes: whatever the generator does not touch reaches the
// page unchanged. Positions are byte positions, 1-based; line indices 0-based.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

enum class close_status {
    written,    // the page was replaced (or created)
    unchanged,  // the page already held these bytes; the file was not touched
    failed,     // the page could not be written; the file there is as it was
    not_open,   // no output was open
};

struct close_result {
    close_status status = close_status::not_open;
    std::string error;  // why, when failed
};

class template_engine {
public:
    static constexpr int max_lines = 2001;
    static constexpr int saved_slots = 6;

    // Reads the file as lines (ending at LF, CRLF or a lone CR). False when it
    // cannot be read, is empty or has more than max_lines lines.
    bool load_template(const std::string& filename);

    // Prepares the page: false with a reason for a missing folder, a name that
    // is a folder, a read-only file, a folder without write permission, or an
    // output already open. Nothing is written before the close.
    bool open_output_file(const std::string& filename, std::string& error);
    // Writes a non-empty pending line as the last line, then replaces the page
    // atomically (temporary file in the same folder, renamed over it), unless
    // the page already holds exactly these bytes.
    close_result close_output_file();

    void initialise_cursor();
    bool jump_to_line_containing(std::string_view search_text, std::string_view other_search_text,
                                 bool case_sensitive);
    bool jump_past_line_containing(std::string_view search_text,
                                   std::string_view other_search_text, bool case_sensitive);
    bool jump_to_line_containing_either(std::string_view search_text,
                                        std::string_view search_text2,
                                        std::string_view other_search_text, bool case_sensitive);
    bool jump_past_line_containing_either(std::string_view search_text,
                                          std::string_view search_text2,
                                          std::string_view other_search_text,
                                          bool case_sensitive);
    bool output_to_line_containing(std::string_view search_text,
                                   std::string_view other_search_text, bool case_sensitive);
    bool output_past_line_containing(std::string_view search_text,
                                     std::string_view other_search_text, bool case_sensitive);

    // The comment tag starting at the cursor, markers included, or "". The
    // view stays valid until the next load_template.
    std::string_view tag_at_cursor() const;
    std::string_view text_at_cursor() const;

    void save_cursor_position(int save_position_number);
    void restore_cursor_position(int save_position_number);
    bool end_of_file() const { return at_end_; }

    void output_text(std::string_view text_to_output, bool end_the_line);

    // Observers, for tests and tools.
    int line_count() const { return line_count_; }
    int cursor_line() const { return cursor_line_; }
    int cursor_column() const { return cursor_column_; }
    const std::string& pending_output() const { return pending_output_; }
    bool output_is_open() const { return output_open_; }

private:
    // ... the implementation's own members and helpers
    std::vector<std::string> template_lines_;
    int line_count_ = 0;
    int cursor_line_ = 0;
    int cursor_column_ = 0;
    bool at_end_ = false;
    std::array<int, saved_slots> saved_lines_{};
    std::array<int, saved_slots> saved_columns_{};
    std::string pending_output_;
    bool output_open_ = false;
};

}  // namespace korvane
