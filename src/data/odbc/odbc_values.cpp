// SPDX-License-Identifier: Apache-2.0
#include "data/odbc/odbc_values.h"

#include <QDate>
#include <QDateTime>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>
#include <QTime>

#include <sql.h>
#include <sqlext.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace korvane::data {
namespace {

odbc_column classify(const QSqlField& field, const std::string& type_name) {
    switch (field.typeID()) {
        case SQL_BIT:
            return odbc_column::boolean;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return odbc_column::decimal;
        case SQL_REAL:
            return odbc_column::single;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            // psqlODBC reports PostgreSQL's money as SQL_FLOAT.
            return type_name == "money" ? odbc_column::money : odbc_column::real;
        default:
            break;
    }
    switch (field.metaType().id()) {
        case QMetaType::Bool:
            return odbc_column::boolean;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Char:
        case QMetaType::SChar:
            return odbc_column::integer;
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UChar:
            return odbc_column::unsigned_integer;
        case QMetaType::Double:
            return odbc_column::real;
        case QMetaType::Float:
            return odbc_column::single;
        case QMetaType::QDate:
            return odbc_column::date;
        case QMetaType::QTime:
            return odbc_column::time;
        case QMetaType::QDateTime:
            return odbc_column::date_time;
        case QMetaType::QByteArray:
            return odbc_column::binary;
        default:
            // Strings, and whatever the driver reports that Qt has no type
            // for: a column declared integer that the driver reports as text
            // stays text.
            return odbc_column::text;
    }
}

// The driver's own name of a column's type ("money", "numeric"); "" when the
// statement handle is not at hand.
std::string column_type_name(const QSqlQuery& query, int column) {
    const QSqlResult* result = query.result();
    if (result == nullptr) return {};
    const QVariant handle = result->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE)) return {};
    SQLHANDLE statement = *static_cast<const SQLHANDLE*>(handle.constData());
    if (statement == nullptr) return {};
    SQLCHAR name[128] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLColAttribute(statement, static_cast<SQLUSMALLINT>(column + 1), SQL_DESC_TYPE_NAME,
                                        name, sizeof name, &length, nullptr);
    if (!SQL_SUCCEEDED(r)) return {};
    return std::string(reinterpret_cast<const char*>(name));
}

std::string two_digits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string date_text(const QDate& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-", d.year());
    return buf + two_digits(d.month()) + "-" + two_digits(d.day());
}

std::string time_text(const QTime& t) {
    return two_digits(t.hour()) + ":" + two_digits(t.minute()) + ":" + two_digits(t.second());
}

// "$1,234.50", "-$3.00" and "($3.00)" as decimal text; a format this does not
// know (another lc_monetary) stays as the server wrote it.
db_value money_value(const std::string& written) {
    std::string digits;
    bool negative = false;
    for (const char c : written) {
        if (c == '-' || c == '(') {
            negative = true;
        } else if ((c >= '0' && c <= '9') || c == '.') {
            digits += c;
        } else if (c != '$' && c != ',' && c != ')' && c != ' ') {
            return db_value::from_text(written);
        }
    }
    if (digits.empty()) return db_value::from_text(written);
    return db_value::from_text(negative ? "-" + digits : digits, value_kind::decimal);
}

// Reals come as doubles; should a driver hand one over as text, it is read
// without the locale.
template <typename T>
db_value real_value(const QVariant& v, bool single) {
    T number{};
    if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float) {
        number = static_cast<T>(v.toDouble());
    } else {
        const std::string text = utf8(v.toString().trimmed());
        const char* begin = text.data();
        if (!text.empty() && text.front() == '+') ++begin;
        const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), number);
        if (ec != std::errc{} || end != text.data() + text.size()) return db_value::from_text(text);
    }
    return single ? db_value::from_single(static_cast<float>(number))
                  : db_value::from_real(static_cast<double>(number));
}

db_value convert(const QVariant& v, odbc_column kind) {
    switch (kind) {
        case odbc_column::integer:
            return db_value::from_integer(v.toLongLong());
        case odbc_column::unsigned_integer: {
            const qulonglong u = v.toULongLong();
            if (u > static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max())) {
                return db_value::from_text(std::to_string(u), value_kind::decimal);
            }
            return db_value::from_integer(static_cast<std::int64_t>(u));
        }
        case odbc_column::boolean:
            return db_value::from_boolean(v.toLongLong() != 0);
        case odbc_column::real:
            return real_value<double>(v, false);
        case odbc_column::single:
            return real_value<float>(v, true);
        case odbc_column::decimal:
            return db_value::from_text(utf8(v.toString().trimmed()), value_kind::decimal);
        case odbc_column::money:
            return money_value(utf8(v.toString().trimmed()));
        case odbc_column::date: {
            const QDate d = v.toDate();
            return d.isValid() ? db_value::from_text(date_text(d), value_kind::date) : db_value::from_text(utf8(v.toString()));
        }
        case odbc_column::time: {
            const QTime t = v.toTime();
            return t.isValid() ? db_value::from_text(time_text(t), value_kind::time) : db_value::from_text(utf8(v.toString()));
        }
        case odbc_column::date_time: {
            const QDateTime dt = v.toDateTime();
            if (!dt.isValid()) return db_value::from_text(utf8(v.toString()));
            return db_value::from_text(date_text(dt.date()) + " " + time_text(dt.time()), value_kind::date_time);
        }
        case odbc_column::binary: {
            const QByteArray bytes = v.toByteArray();
            return db_value::from_text(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                       value_kind::binary);
        }
        case odbc_column::text:
            break;
    }
    if (v.metaType().id() == QMetaType::QByteArray) {
        const QByteArray bytes = v.toByteArray();
        return db_value::from_text(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    return db_value::from_text(utf8(v.toString()));
}

}  // namespace

std::string utf8(const QString& s) {
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The ODBC diagnostics when there are any; Qt's own text ("QODBC: Unable to
// connect") says little beside them.
std::string describe(const QSqlError& e, const std::string& fallback) {
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) text = e.text();
    text = text.simplified();  // one line for message boxes and the error report
    return text.isEmpty() ? fallback : utf8(text);
}

result_columns read_columns(const QSqlQuery& query) {
    const QSqlRecord record = query.record();
    const int columns = record.count();
    result_columns result;
    result.names.reserve(static_cast<std::size_t>(columns));
    result.classes.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        const QSqlField field = record.field(i);
        result.names.push_back(utf8(field.name()));
        const bool floating = field.typeID() == SQL_FLOAT || field.typeID() == SQL_DOUBLE;
        result.classes.push_back(classify(field, floating ? column_type_name(query, i) : std::string()));
    }
    return result;
}

void read_row(QSqlQuery& query, const std::vector<odbc_column>& classes, db_value* values) {
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const odbc_column kind = classes[i];
        const int column = static_cast<int>(i);
        // QODBC reads a row's cells in order when first asked, with the
        // policy set at that moment: decimals as the driver's text, every
        // digit kept; reals as binary doubles, no text between.
        const bool as_text = kind == odbc_column::decimal || kind == odbc_column::money;
        query.setNumericalPrecisionPolicy(as_text ? QSql::HighPrecision : QSql::LowPrecisionDouble);
        values[i] = query.isNull(column) ? db_value::null_value() : convert(query.value(column), kind);
    }
}

}  // namespace korvane::data
