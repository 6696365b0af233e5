// SPDX-License-Identifier: Apache-2.0
#include "data/settings.h"

#include "data/engine/database.h"
#include "data/text_helpers.h"
#include "text/windows_1252.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <QStringDecoder>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace korvane {
namespace {

constexpr int max_settings_lines = 31;

// A file that is not UTF-8 is Windows-1252.
std::string decode_settings_bytes(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        std::string decoded;
        korvane::text::windows_1252::decode(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), decoded);
        return decoded;
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text.toStdString();
}

// The whole text as a 16-bit integer, blanks around it allowed and a fraction
// rounded to even; nullopt for anything else.
std::optional<std::int16_t> strict_int16(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const auto last = text.find_last_not_of(' ');
    std::string_view number(text.data() + first, last - first + 1);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    double value = 0.0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc{} || end != number.data() + number.size()) return std::nullopt;
    return round_to_int16(value);
}

// Replaces path as a whole with a file only its owner may read (0600): it
// is made so (mkstemp) before a byte is written, so no other user can open
// it at any moment, then renamed over the old file.
bool write_private_file(const std::string& path, const std::string& text, std::string& error) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    const int saved_errno = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    error = std::strerror(ok ? errno : saved_errno);
    ::unlink(temp.c_str());
    return false;
}

}  // namespace

void reset_settings(GenerationSettings& settings) { settings = GenerationSettings{}; }

void reset_settings(std::unique_ptr<data::database>& database,
                    std::unique_ptr<data::record_set>& result, GenerationSettings& settings) {
    result.reset();
    if (database) {
        std::string ignored;
        database->close(ignored);
    }
    database.reset();
    reset_settings(settings);
}

bool settings_are_complete(const GenerationSettings& s) {
    return s.database_type != -1 && !s.database_name.empty() && s.main_type != -1 &&
           !s.main_name.empty() && !s.template_field.empty() && !s.generated_field.empty();
}

bool write_settings_file(const GenerationSettings& s, std::string& error) {
    const std::string text = "db_type=" + std::to_string(s.database_type) + "\r\n" +
                             "db_name=" + s.database_name + "\r\n" +
                             "main_type=" + std::to_string(s.main_type) + "\r\n" +
                             "main_name=" + s.main_name + "\r\n" +
                             "template_field=" + s.template_field + "\r\n" +
                             "generated_field=" + s.generated_field + "\r\n" +
                             "template_path=" + s.template_path + "\r\n" +
                             "generated_path=" + s.generated_path + "\r\n" +
                             (s.sql_dialect.empty() ? "" : "sql_dialect=" + s.sql_dialect + "\r\n");
    // A connection string holding a password or token is the user's secret.
    if (mask_passwords(s.database_name) != s.database_name) return write_private_file(s.filename, text, error);
    QSaveFile file(QString::fromStdString(s.filename));
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    const qint64 size = static_cast<qint64>(text.size());
    if (file.write(text.data(), size) != size || !file.commit()) {
        error = file.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    return true;
}

std::int16_t read_settings_file(GenerationSettings& s, const std::string& path) {
    // Only a regular file: a FIFO would block the read for ever, a device
    // never end. A settings file is a few lines; reading stops at 1 MiB.
    constexpr qint64 max_settings_bytes = 1024 * 1024;
    QFileInfo info(QString::fromStdString(path));
    if (!info.isFile()) return -1;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = file.read(max_settings_bytes + 1);
    if (bytes.size() > max_settings_bytes) return -1;
    if (file.error() != QFileDevice::NoError) return -1;

    const auto lines = split_lines(decode_settings_bytes(bytes));
    int count = 0;
    for (const auto& line : lines) {
        if (++count > max_settings_lines) return -1;
        std::string key, value;
        split_setting_line(line, key, value);
        if (key == "db_type") {
            const auto number = leading_number_value(value);
            const auto type = number ? round_to_int16(*number) : std::nullopt;
            if (!type) return -1;
            s.database_type = *type;
        } else if (key == "db_name") {
            s.database_name = value;
        } else if (key == "main_type") {
            const auto type = strict_int16(value);
            if (!type) return -1;
            s.main_type = *type;
        } else if (key == "main_name") {
            s.main_name = value;
        } else if (key == "template_field") {
            s.template_field = value;
        } else if (key == "generated_field") {
            s.generated_field = value;
        } else if (key == "template_path") {
            s.template_path = value;
        } else if (key == "generated_path") {
            s.generated_path = value;
        } else if (key == "sql_dialect") {
            if (value != sql_dialect_access && value != sql_dialect_native) return -1;
            s.sql_dialect = value;
        }
    }
    if (count > 0) s.filename = path;
    return static_cast<std::int16_t>(count);
}

void split_setting_line(const std::string& line, std::string& key, std::string& value) {
    const auto p = line.find('=');
    if (p == std::string::npos) {
        key.clear();
        value.clear();
        return;
    }
    key = line.substr(0, p);
    value = line.substr(p + 1);
}

}  // namespace korvane
