// SPDX-License-Identifier: Apache-2.0
#include "cli/json_report.h"

#include "ports/report_problems.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace korvane::cli {
namespace {

QString text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Unknown values are null rather than missing, so every problem has the same keys.
QJsonValue text_or_null(const std::string& s) { return s.empty() ? QJsonValue() : QJsonValue(text(s)); }

QJsonObject problem_object(const std::string& kind, const std::string& message) {
    return {{"kind", text(kind)},  {"message", text(message)}, {"description", QJsonValue()},
            {"template_file", QJsonValue()}, {"line", QJsonValue()}, {"column", QJsonValue()},
            {"output_file", QJsonValue()}, {"row", QJsonValue()}, {"sql", QJsonValue()},
            {"details", QJsonObject()}, {"lines", QJsonArray()}};
}

std::string to_text(const QJsonObject& document) {
    return QJsonDocument(document).toJson(QJsonDocument::Indented).toStdString();
}

// The problems of one row's report lines (or of the lines around the rows,
// row 0), with the row's files where a line does not name them.
void append_problems(QJsonArray& problems, const std::vector<std::string>& group, std::int64_t row,
                     const row_files* files) {
    for (const auto& p : problems_of_report(group)) {
        QJsonObject o = problem_object(p.kind, p.message);
        if (!p.descriptions.empty()) o["description"] = text(p.descriptions.front());
        std::string template_file = p.detail("Template");
        std::string output_file = p.detail("File");
        if (files) {
            if (template_file.empty()) template_file = files->template_file;
            if (output_file.empty()) output_file = files->output_file;
        }
        o["template_file"] = text_or_null(template_file);
        o["output_file"] = text_or_null(output_file);
        if (row > 0) o["row"] = static_cast<double>(row);
        o["sql"] = text_or_null(p.detail("SQL"));
        QJsonObject details;
        for (const auto& [label, value] : p.details) details[text(label)] = text(value);
        o["details"] = details;
        QJsonArray raw;
        for (const auto& line : p.lines) raw.append(text(line));
        o["lines"] = raw;
        problems.append(o);
    }
}

}  // namespace

std::string generate_json(const run_summary& summary, const std::vector<report_line>& lines,
                          const std::map<std::int64_t, row_files>& files_of_rows) {
    QJsonArray problems;
    // The lines of one row, or of the run around the rows, at a time.
    for (std::size_t from = 0; from < lines.size();) {
        std::size_t to = from;
        std::vector<std::string> group;
        while (to < lines.size() && lines[to].row == lines[from].row) group.push_back(lines[to++].text);
        const std::int64_t row = lines[from].row;
        const auto files = files_of_rows.find(row);
        append_problems(problems, group, row,
                        files == files_of_rows.end() ? nullptr : &files->second);
        from = to;
    }
    const QJsonObject counts{
        {"rows", static_cast<double>(summary.rows)},
        {"pages_written", static_cast<double>(summary.pages_written)},
        {"pages_unchanged", static_cast<double>(summary.pages_unchanged)},
        {"rows_with_problems", static_cast<double>(summary.rows_with_problems)},
        {"pages_removed", static_cast<double>(summary.pages_removed)},
        {"problems", problems.size()},
        {"seconds", summary.seconds},
    };
    return to_text({{"command", "generate"},
                    {"settings_file", text(summary.settings_file)},
                    {"exit_status", summary.exit_status},
                    {"run_failed", summary.run_failed},
                    {"stopped", summary.stopped},
                    {"summary", counts},
                    {"problems", problems}});
}

std::string watch_json_line(const rebuild_summary& rebuild, const std::vector<std::string>& run_lines,
                            const std::map<std::string, std::vector<std::string>>& page_lines) {
    QJsonArray problems;
    append_problems(problems, run_lines, 0, nullptr);
    for (const auto& [page, lines] : page_lines) {
        const row_files files{"", page};
        append_problems(problems, lines, 0, &files);
    }
    const QJsonObject counts{
        {"pages_written", static_cast<double>(rebuild.pages_written)},
        {"pages_unchanged", static_cast<double>(rebuild.pages_unchanged)},
        {"rows_with_problems", static_cast<double>(rebuild.rows_with_problems)},
        {"problems", problems.size()},
        {"seconds", rebuild.seconds},
    };
    return json_line({{"event", "rebuild"},
                      {"changed", text(rebuild.changed)},
                      {"summary", counts},
                      {"problems", problems}});
}

std::string json_line(const QJsonObject& event) {
    return QJsonDocument(event).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

std::string check_json(const std::string& settings_file, int exit_status,
                       const std::vector<check::finding>& findings) {
    QJsonArray problems;
    for (const auto& f : findings) {
        QJsonObject o = problem_object(f.path_warning ? "path_warning" : "finding", f.message);
        o["template_file"] = text_or_null(f.file);
        o["line"] = f.line;
        o["column"] = f.column;
        o["lines"] = QJsonArray{text(check::format_finding(f))};
        problems.append(o);
    }
    return to_text({{"command", "check"},
                    {"settings_file", text(settings_file)},
                    {"exit_status", exit_status},
                    {"summary", QJsonObject{{"problems", problems.size()}}},
                    {"problems", problems}});
}

}  // namespace korvane::cli
