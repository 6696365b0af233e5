// SPDX-License-Identifier: Apache-2.0
#include "check/template_check.h"

#include "data/text_helpers.h"
#include "generator/tag_text.h"
#include "generator/template_syntax.h"
#include "template/template_engine.h"
#include "text/case_fold.h"

#include <optional>
#include <string>
#include <string_view>

namespace korvane::check {
namespace {

namespace syntax = generator::syntax;
constexpr std::string_view open_marker = syntax::tag_open;
constexpr std::string_view close_marker = syntax::tag_close;

std::string trim_blanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

// The name of the tag a comment that is not one was probably meant to be.
std::optional<std::string> meant_tag(std::string_view name) {
    std::string meant = korvane::text::upper_ascii(trim_blanks(name));
    if (syntax::kind_of(meant) == tag_kind::other) return std::nullopt;
    return meant;
}

// The name part of a comment's text (after "<!--"): up to the first "=" or
// the closing marker, whichever comes first.
std::string_view name_part(std::string_view after_open) {
    const auto stop = std::min(after_open.find('='), after_open.find(close_marker));
    return after_open.substr(0, stop);
}

std::string tag_text(std::string_view name) {
    return std::string(open_marker) + std::string(name) + std::string(close_marker);
}

class walker {
public:
    walker(const std::string& file, const std::vector<std::string>& lines,
           template_outline& outline)
        : file_(file), lines_(lines), outline_(outline) {}

    std::vector<finding> run() {
        std::size_t line = 0, column = 0;
        while (line < lines_.size()) {
            const std::string& text = lines_[line];
            const auto open = text.find(open_marker, column);
            if (open == std::string::npos) {
                ++line;
                column = 0;
                continue;
            }
            const std::string_view rest = std::string_view(text).substr(open);
            const auto close = rest.find(close_marker);
            if (close == std::string_view::npos) {
                skip_unclosed_comment(line, open);
                if (!advance_past_close(line, column, open + open_marker.size())) break;
                continue;
            }
            const std::string_view tag = rest.substr(0, close + close_marker.size());
            on_tag(static_cast<int>(line), static_cast<int>(open), tag);
            column = open + tag.size();
        }
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
            const auto& t = outline_.tags[static_cast<std::size_t>(*it)];
            add(t.line, t.column,
                t.kind == tag_kind::repeat
                    ? "repeating section is never closed: <!--END REPEAT--> is missing, so its "
                      "first row runs to the end of the template"
                    : "conditional section is never closed: <!--END IF--> is missing");
        }
        return std::move(findings_);
    }

private:
    void add(int line, int column, std::string message) {
        findings_.push_back({file_, line + 1, column + 1, std::move(message)});
    }

    // A comment whose closing marker is on a later line is copied as text up
    // to the next "-->", tags inside it included.
    void skip_unclosed_comment(std::size_t line, std::size_t open) {
        const std::string_view after =
            std::string_view(lines_[line]).substr(open + open_marker.size());
        if (const auto meant = meant_tag(name_part(after)); meant && !after.empty()) {
            add(static_cast<int>(line), static_cast<int>(open),
                "the closing \"-->\" of this " + tag_text(*meant) +
                    " tag is not on its line, so it is copied to the page as a comment");
        }
    }

    bool advance_past_close(std::size_t& line, std::size_t& column, std::size_t from) {
        const int start_line = static_cast<int>(line);
        for (; line < lines_.size(); ++line, from = 0) {
            const auto close = lines_[line].find(close_marker, from);
            // Tags swallowed by the comment never reach the generator.
            const auto hidden = lines_[line].find(open_marker, from);
            if (hidden != std::string::npos && (close == std::string::npos || hidden < close) &&
                static_cast<int>(line) != start_line) {
                const auto after =
                    std::string_view(lines_[line]).substr(hidden + open_marker.size());
                if (meant_tag(name_part(after))) {
                    add(static_cast<int>(line), static_cast<int>(hidden),
                        "this tag is inside a comment opened on line " +
                            std::to_string(start_line + 1) +
                            " that is not closed on its line; it is copied as text");
                }
            }
            if (close != std::string::npos) {
                column = close + close_marker.size();
                return true;
            }
        }
        return false;
    }

    void on_tag(int line, int column, std::string_view tag) {
        std::string_view name, parameter_view;
        generator::split_tag(tag, open_marker, close_marker, name, parameter_view);
        const std::string parameter(parameter_view);

        const tag_kind kind = syntax::kind_of(name);
        if (kind == tag_kind::other) {
            if (const auto meant = meant_tag(name)) {
                const bool case_only = trim_blanks(name) == std::string(name);
                add(line, column,
                    "\"" + std::string(tag) + "\" is not a tag (" +
                        (case_only ? "tag names are upper case" : "no blanks around the tag name") +
                        "; did you mean " + tag_text(*meant) +
                        "?) and is copied to the page as a comment");
            }
            return;
        }
        const int index = static_cast<int>(outline_.tags.size());
        outline_.tags.push_back({kind, line, column, column + static_cast<int>(tag.size()),
                                 parameter, innermost_repeat()});
        switch (kind) {
            case tag_kind::other:
            case tag_kind::todays_date:
                break;
            case tag_kind::main_field:
            case tag_kind::repeat_field:
                add_field(kind == tag_kind::main_field, parameter, line, column,
                          "REPEAT_FIELD");
                break;
            case tag_kind::repeat:
                check_references(line, column, parameter);
                if (repeat_depth() >= syntax::max_repeat_levels) {
                    add(line, column,
                        "repeating sections nest deeper than six here; the generator skips this "
                        "section when it has rows");
                }
                open_section(index);
                break;
            case tag_kind::start_if:
                check_condition(line, column, parameter);
                check_references(line, column, parameter);
                open_section(index);
                break;
            case tag_kind::repeat_else:
            case tag_kind::end_repeat:
                close_or_divide(index, tag_kind::repeat);
                break;
            case tag_kind::else_tag:
            case tag_kind::end_if:
                close_or_divide(index, tag_kind::start_if);
                break;
        }
    }

    void open_section(int index) {
        const auto& t = outline_.tags[static_cast<std::size_t>(index)];
        // The generator counts nesting per line: a second opener of the same
        // kind on one line is counted once.
        for (std::size_t i = 0; i + 1 < outline_.tags.size(); ++i) {
            const auto& other = outline_.tags[i];
            if (other.kind == t.kind && other.line == t.line) {
                add(t.line, t.column,
                    "two " + std::string(t.kind == tag_kind::repeat ? "repeating" : "conditional") +
                        " sections open on one line; the generator counts nesting per line and "
                        "will "
                        "close them in the wrong place: put each opening tag on a line of its own");
                break;
            }
        }
        stack_.push_back(index);
        open_spans_.push_back(static_cast<int>(outline_.sections.size()));
        outline_.sections.push_back({index, -1, -1});
    }

    void close_or_divide(int index, tag_kind opener) {
        const auto& t = outline_.tags[static_cast<std::size_t>(index)];
        const bool closing = t.kind == tag_kind::end_repeat || t.kind == tag_kind::end_if;
        const std::string what = tag_text(t.kind == tag_kind::repeat_else  ? syntax::repeat_else
                                          : t.kind == tag_kind::end_repeat ? syntax::end_repeat
                                          : t.kind == tag_kind::else_tag   ? syntax::else_name
                                                                           : syntax::end_if);
        if (stack_.empty()) {
            add(t.line, t.column,
                what + " has no section to belong to; at the top of a page it ends the page here");
            return;
        }
        const auto& top = outline_.tags[static_cast<std::size_t>(stack_.back())];
        if (top.kind != opener) {
            add(t.line, t.column,
                what + " stands inside the " +
                    (top.kind == tag_kind::repeat ? "repeating" : "conditional") +
                    " section opened on line " + std::to_string(top.line + 1) +
                    ", which it ends early: sections must not overlap");
            // Recover as the author meant: close down to the matching section.
            for (std::size_t i = stack_.size(); i-- > 0;) {
                if (outline_.tags[static_cast<std::size_t>(stack_[i])].kind == opener) {
                    if (closing) {
                        stack_.resize(i);
                        open_spans_.resize(i);
                    }
                    return;
                }
            }
            return;
        }
        section_span& span = outline_.sections[static_cast<std::size_t>(open_spans_.back())];
        if (closing) {
            span.end = index;
            stack_.pop_back();
            open_spans_.pop_back();
        } else if (span.divider >= 0) {
            add(t.line, t.column,
                "a second " + what + " in one section ends the section's first part");
        } else {
            span.divider = index;
        }
    }

    void check_condition(int line, int column, const std::string& condition) {
        if (condition.empty()) {
            add(line, column, "empty condition: the section is left out and reported");
            return;
        }
        std::string_view left, op, right;
        if (syntax::split_condition(condition, left, op, right)) {
            if ((!left.empty() && (left.back() == ' ' || left.back() == '\t')) ||
                (!right.empty() && (right.front() == ' ' || right.front() == '\t'))) {
                add(line, column,
                    "blanks around the operator \"" + std::string(op) +
                        "\" belong to the operands" +
                        (op == "==" || op == "<>"
                             ? ", so equal values compare as different"
                             : ", so special words like number_of_records stop working"));
            }
            if ((op == "<" || op == ">") && !right.empty() && right.front() == '=') {
                add(line, column,
                    "\"" + std::string(op) +
                        "=\" is not an operator: the condition compares with \"" +
                        std::string(right) + "\"");
            }
            return;
        }
        add(line, column,
            "the condition has none of the operators <>, <, >, == (to compare for equality write "
            "==): the section is left out and reported");
    }

    // #--MAIN_FIELD=...--# and #--REPEAT_FIELD=...--# inside a parameter.
    void check_references(int line, int column, const std::string& text) {
        for (std::size_t from = 0;;) {
            const syntax::field_reference reference = syntax::find_field_reference(text, from);
            if (reference.open == std::string::npos) return;
            if (reference.end == std::string::npos) {
                add(line, column,
                    text.find(syntax::reference_close) < reference.open
                        ? "a field reference opened with \"#--\" has no closing \"--#\"; the text "
                          "is cut there"
                        : "a field reference opened with \"#--\" has no closing \"--#\" anywhere; "
                          "the whole text is left empty");
                return;
            }
            if (reference.name == syntax::main_field || reference.name == syntax::repeat_field) {
                add_field(reference.name == syntax::main_field, std::string(reference.parameter),
                          line, column, "#--REPEAT_FIELD=...--#");
            } else {
                add(line, column,
                    "the field reference \"" +
                        text.substr(reference.open, reference.end - reference.open) +
                        "\" names neither MAIN_FIELD nor REPEAT_FIELD and is removed");
            }
            from = reference.end;
        }
    }

    // A field named by a tag or a reference; written is how a REPEAT_FIELD
    // one reads in the template.
    void add_field(bool main, const std::string& parameter, int line, int column,
                   const std::string& written) {
        if (!main && innermost_repeat() < 0) {
            add(line, column,
                written + " outside any repeating section always gives the not-found text");
        }
        outline_.fields.push_back(
            {main, field_name_of_parameter(parameter), line, column, innermost_repeat()});
    }

    int innermost_repeat() const {
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
            if (outline_.tags[static_cast<std::size_t>(*it)].kind == tag_kind::repeat) return *it;
        }
        return -1;
    }

    int repeat_depth() const {
        int depth = 0;
        for (int i : stack_)
            depth += outline_.tags[static_cast<std::size_t>(i)].kind == tag_kind::repeat;
        return depth;
    }

    const std::string& file_;
    const std::vector<std::string>& lines_;
    template_outline& outline_;
    std::vector<finding> findings_;
    std::vector<int> stack_;       // open sections, as tag indices
    std::vector<int> open_spans_;  // their indices in outline_.sections
};

// The generator leaves out part of a section with two scans of the template
// engine: past the opener to the section's divider or end (no rows, a false
// condition), and from the divider past the end (after the rows, or a true
// condition). Both count nesting per line and end a level at a nested
// divider as well as at a nested end, so a section can be left somewhere its
// author did not mean. Replaying the scans on the real engine finds where.
class scan_replay {
public:
    scan_replay(const std::string& file, const std::vector<std::string>& lines,
                const template_outline& outline, std::vector<finding>& findings)
        : file_(file), outline_(outline), findings_(findings) {
        std::string text;
        for (const auto& line : lines) (text += line) += '\n';
        loaded_ = engine_.load_template_text(text);
    }

    void run() {
        if (!loaded_) return;
        for (const section_span& span : outline_.sections) {
            if (span.end >= 0) replay(span);
        }
    }

private:
    struct texts {
        std::string_view opener, divider, end, left_out, skipped_part;
    };

    void replay(const section_span& span) {
        const template_tag& opener = tag(span.opener);
        const bool repeat = opener.kind == tag_kind::repeat;
        const texts t = repeat
                            ? texts{syntax::repeat_opener, syntax::repeat_else_tag,
                                    syntax::end_repeat_tag,
                                    "when this section has no rows",
                                    "after the rows of this section, the generator skips its "
                                    "REPEAT ELSE part"}
                            : texts{syntax::if_opener, syntax::else_tag, syntax::end_if_tag,
                                    "when this condition is false",
                                    "when this condition holds, the generator skips its ELSE part"};
        // The search for a divider or an end also ends a nesting level at a
        // nested divider; the search for an end alone counts ends only.
        const std::string cause =
            std::string(" (the generator counts nesting per line and ends a level at a nested ") +
            (repeat ? "REPEAT ELSE" : "ELSE") + " as well as at a nested " +
            (repeat ? "END REPEAT" : "END IF") + ")";
        const std::string end_cause =
            " (the generator counts nesting per line: put each opening tag on a line of its own)";

        // Skipping the first part: the cursor stands just past the opener.
        const template_tag& first_stop = tag(span.divider >= 0 ? span.divider : span.end);
        engine_.place_cursor(opener.line, opener.end_column + 1);
        const bool found =
            engine_.jump_to_line_containing_either(t.end, t.divider, t.opener, false);
        const std::string looks_for = std::string(t.left_out) + ", the generator looks for its " +
                                      std::string(span.divider >= 0 ? t.divider : t.end) +
                                      " on line " + std::to_string(first_stop.line + 1);
        if (!found) {
            add(opener, looks_for + " but finds none and leaves out the rest of the page" + cause);
        } else if (!at(first_stop, 0)) {
            add(opener, looks_for + " but stops at the " + std::string(engine_.tag_at_cursor()) +
                            " on line " + std::to_string(engine_.cursor_line() + 1) +
                            ", and writes what follows it as if outside the section" + cause);
        }

        // Skipping the second part: the cursor stands at the divider.
        if (span.divider < 0) return;
        const template_tag& divider = tag(span.divider);
        const template_tag& end = tag(span.end);
        engine_.place_cursor(divider.line, divider.column + 1);
        const bool found_end = engine_.jump_past_line_containing(t.end, t.opener, false);
        const int stop = static_cast<int>(t.end.size());
        if (!found_end) {
            add(divider, std::string(t.skipped_part) + " but finds no " + std::string(t.end) +
                             " and leaves out the rest of the page" + end_cause);
        } else if (!at(end, stop)) {
            add(divider, std::string(t.skipped_part) + " to the " + std::string(t.end) +
                             " on line " + std::to_string(engine_.cursor_line() + 1) +
                             ", not to the section's own on line " + std::to_string(end.line + 1) +
                             end_cause);
        }
    }

    const template_tag& tag(int index) const {
        return outline_.tags[static_cast<std::size_t>(index)];
    }

    // The cursor stands at the tag (plus offset bytes into it).
    bool at(const template_tag& t, int offset) const {
        return engine_.cursor_line() == t.line && engine_.cursor_column() == t.column + 1 + offset;
    }

    void add(const template_tag& t, std::string message) {
        findings_.push_back({file_, t.line + 1, t.column + 1, std::move(message)});
    }

    const std::string& file_;
    const template_outline& outline_;
    std::vector<finding>& findings_;
    template_engine engine_;
    bool loaded_ = false;
};

}  // namespace

std::string format_finding(const finding& f) {
    return f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) +
           ": warning: " + f.message;
}

std::vector<finding> check_template_lines(const std::string& file,
                                          const std::vector<std::string>& lines,
                                          template_outline& outline) {
    std::vector<finding> findings = walker(file, lines, outline).run();
    scan_replay(file, lines, outline, findings).run();
    return findings;
}

std::string field_name_of_parameter(const std::string& parameter) {
    const std::string lowered = lower_case(parameter);
    const std::string_view option = generator::get_tag_option(lowered, "field");
    return option.empty() ? parameter : std::string(option);
}

}  // namespace korvane::check
