// SPDX-License-Identifier: Apache-2.0
#include "odbc_database.h"

#include "data/odbc/odbc_dialect.h"
#include "data/sql/access_sql.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QStringList>
#include <QTime>

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdint>
#include <exception>
#include <limits>
#include <utility>

namespace korvane::data {
namespace {

const QString qt_driver = QStringLiteral("QODBC");

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

// The attributes of a connection string, split at ";" outside {braces}.
QStringList split_attributes(const QString& text) {
    QStringList parts;
    QString current;
    bool in_braces = false;
    for (const QChar c : text) {
        if (c == u'{') in_braces = true;
        if (c == u'}') in_braces = false;
        if (c == u';' && !in_braces) {
            if (!current.trimmed().isEmpty()) parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.trimmed().isEmpty()) parts << current;
    return parts;
}

// QODBC builds its connect text itself: it passes the name unchanged only when
// it holds "DRIVER=" or "SERVER=", treats one holding ".dsn" as a file DSN and
// otherwise puts "DSN=" in front. So a plain name goes as it is, and a
// connection string that names its DSN goes with the DSN's value first and its
// key left for QODBC to add.
QString qt_database_name(const std::string& name) {
    const QString text = QString::fromUtf8(name);
    if (!text.contains(u'=')) return text;
    if (text.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
        text.contains(QLatin1String("SERVER="), Qt::CaseInsensitive)) {
        return text;
    }
    QStringList attributes = split_attributes(text);
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        const QString& attribute = attributes[i];
        const qsizetype eq = attribute.indexOf(u'=');
        const QString key = attribute.left(eq).trimmed().toUpper();
        const QString value = attribute.mid(eq + 1);
        const bool file_dsn =
            key == QLatin1String("FILEDSN") && value.contains(QLatin1String(".dsn"), Qt::CaseInsensitive);
        if (key == QLatin1String("DSN") || file_dsn) {
            attributes.removeAt(i);
            attributes.prepend(value);
            return attributes.join(u';');
        }
    }
    return text;  // QODBC's "DSN=" prefix makes this fail with the driver manager's own message
}

// How the cells of one result column become values, decided once per column
// from the ODBC SQL type (QSqlField::typeID under QODBC) and Qt's type.
enum class column_class {
    integer,
    unsigned_integer,
    boolean,
    real,
    single,
    decimal,
    money,
    date,
    time,
    date_time,
    text,
    binary,
};

column_class classify(const QSqlField& field, const std::string& type_name) {
    switch (field.typeID()) {
        case SQL_BIT:
            return column_class::boolean;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return column_class::decimal;
        case SQL_REAL:
            return column_class::single;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            // psqlODBC reports PostgreSQL's money as SQL_FLOAT.
            return type_name == "money" ? column_class::money : column_class::real;
        default:
            break;
    }
    switch (field.metaType().id()) {
        case QMetaType::Bool:
            return column_class::boolean;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Char:
        case QMetaType::SChar:
            return column_class::integer;
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UChar:
            return column_class::unsigned_integer;
        case QMetaType::Double:
            return column_class::real;
        case QMetaType::Float:
            return column_class::single;
        case QMetaType::QDate:
            return column_class::date;
        case QMetaType::QTime:
            return column_class::time;
        case QMetaType::QDateTime:
            return column_class::date_time;
        case QMetaType::QByteArray:
            return column_class::binary;
        default:
            // Strings, and whatever the driver reports that Qt has no type
            // for: a column declared integer that the driver reports as text
            // stays text.
            return column_class::text;
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

db_value convert(const QVariant& v, column_class kind) {
    switch (kind) {
        case column_class::integer:
            return db_value::from_integer(v.toLongLong());
        case column_class::unsigned_integer: {
            const qulonglong u = v.toULongLong();
            if (u > static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max())) {
                return db_value::from_text(std::to_string(u), value_kind::decimal);
            }
            return db_value::from_integer(static_cast<std::int64_t>(u));
        }
        case column_class::boolean:
            return db_value::from_boolean(v.toLongLong() != 0);
        case column_class::real:
            return real_value<double>(v, false);
        case column_class::single:
            return real_value<float>(v, true);
        case column_class::decimal:
            return db_value::from_text(utf8(v.toString().trimmed()), value_kind::decimal);
        case column_class::money:
            return money_value(utf8(v.toString().trimmed()));
        case column_class::date: {
            const QDate d = v.toDate();
            return d.isValid() ? db_value::from_text(date_text(d), value_kind::date) : db_value::from_text(utf8(v.toString()));
        }
        case column_class::time: {
            const QTime t = v.toTime();
            return t.isValid() ? db_value::from_text(time_text(t), value_kind::time) : db_value::from_text(utf8(v.toString()));
        }
        case column_class::date_time: {
            const QDateTime dt = v.toDateTime();
            if (!dt.isValid()) return db_value::from_text(utf8(v.toString()));
            return db_value::from_text(date_text(dt.date()) + " " + time_text(dt.time()), value_kind::date_time);
        }
        case column_class::binary: {
            const QByteArray bytes = v.toByteArray();
            return db_value::from_text(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                       value_kind::binary);
        }
        case column_class::text:
            break;
    }
    if (v.metaType().id() == QMetaType::QByteArray) {
        const QByteArray bytes = v.toByteArray();
        return db_value::from_text(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    return db_value::from_text(utf8(v.toString()));
}

std::atomic<unsigned long long> connection_serial{0};

class odbc_database final : public database {
public:
    explicit odbc_database(QString connection_name) : connection_name_(std::move(connection_name)) {}
    ~odbc_database() override {
        std::string ignored;
        close(ignored);
    }

    // Connects; on failure the object is closed and error says why.
    bool open(const std::string& name, std::string& error) {
        db_ = QSqlDatabase::addDatabase(qt_driver, connection_name_);
        registered_ = true;
        if (!db_.isValid()) {
            error = "The ODBC driver of Qt SQL (QODBC) is not available.";
            return false;
        }
        db_.setDatabaseName(qt_database_name(name));
        // Drivers that know the attribute refuse writes; the others ignore it
        // (QODBC only warns), and the rollback after each query covers them.
        db_.setConnectOptions(QStringLiteral("SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY"));
        if (!db_.open()) {
            error = describe(db_.lastError(), "Could not connect to the ODBC data source '" + name + "'.");
            return false;
        }
        const QVariant handle = db_.driver()->handle();
        if (handle.isValid() && handle.metaType().sizeOf() == sizeof(SQLHANDLE)) {
            dialect_ = std::make_unique<odbc_dialect>(*static_cast<const SQLHANDLE*>(handle.constData()));
        }
        return true;
    }

    void set_access_sql(bool on) override { access_sql_ = on; }

    std::unique_ptr<record_set> open_record_set(const std::string& sql, std::string& error) override {
        if (!db_.isOpen()) {
            error = "The ODBC data source is closed.";
            return nullptr;
        }
        // Every query runs in a transaction that is rolled back, so a
        // statement that writes leaves the data source as it was.
        const bool in_transaction = db_.transaction();
        std::unique_ptr<record_set> result;
        try {
            result = translate_and_run(sql, error);
        } catch (const std::exception& e) {
            error = std::string("Reading the result failed: ") + e.what();
            result.reset();
        }
        if (in_transaction) db_.rollback();
        return result;
    }

    bool table_names(std::vector<std::string>& names, std::string& error) override {
        return list(QSql::Tables, names, error);
    }

    bool query_names(std::vector<std::string>& names, std::string& error) override {
        return list(QSql::Views, names, error);
    }

    bool close(std::string& error) override {
        if (!registered_) return true;
        bool ok = true;
        if (db_.isOpen()) {
            db_.close();
            if (db_.lastError().type() != QSqlError::NoError) {
                error = describe(db_.lastError(), "Closing the ODBC connection failed.");
                ok = false;
            }
        }
        dialect_.reset();  // it holds the connection handle
        db_ = QSqlDatabase();  // no handle may outlive removeDatabase
        QSqlDatabase::removeDatabase(connection_name_);
        registered_ = false;
        return ok;
    }

private:
    // Templates hold Access SQL whatever the source; it goes out in the
    // source's own dialect unless the settings ask for it unchanged.
    std::unique_ptr<record_set> translate_and_run(const std::string& access_sql, std::string& error) {
        if (!access_sql_ || !dialect_) return run(access_sql, error);
        const sql::translated_sql t = sql::translate_access_sql(access_sql, dialect_->target());
        if (!t.error.empty()) {
            error = t.error + " (With sql_dialect=native statements go to the data source unchanged.)";
            return nullptr;
        }
        auto result = run(t.sql, error);
        if (result == nullptr && t.sql != access_sql) {
            error += " [sent to " + std::string(sql::target_name(dialect_->target().kind)) + " as: " + t.sql + "]";
        }
        return result;
    }

    std::unique_ptr<record_set> run(const std::string& sql, std::string& error) {
        QSqlQuery query(db_);
        // Some drivers (MDBTools) cannot scroll; the snapshot makes up for it.
        query.setForwardOnly(true);
        if (!query.exec(QString::fromUtf8(sql))) {
            error = describe(query.lastError(), "The SQL statement failed.");
            return nullptr;
        }
        if (!query.isSelect()) {
            error = "The SQL statement returns no rows to read.";
            return nullptr;
        }
        const QSqlRecord record = query.record();
        const int columns = record.count();
        std::vector<std::string> field_names;
        std::vector<column_class> classes;
        field_names.reserve(static_cast<std::size_t>(columns));
        classes.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i) {
            const QSqlField field = record.field(i);
            field_names.push_back(utf8(field.name()));
            const bool floating = field.typeID() == SQL_FLOAT || field.typeID() == SQL_DOUBLE;
            classes.push_back(classify(field, floating ? column_type_name(query, i) : std::string()));
        }
        auto result = std::make_unique<record_set>(std::move(field_names));
        while (query.next()) {
            std::vector<db_value> row;
            row.reserve(static_cast<std::size_t>(columns));
            for (int i = 0; i < columns; ++i) {
                const column_class kind = classes[static_cast<std::size_t>(i)];
                // QODBC reads a row's cells in order when first asked, with the
                // policy set at that moment: decimals as the driver's text,
                // every digit kept; reals as binary doubles, no text between.
                const bool as_text = kind == column_class::decimal || kind == column_class::money;
                query.setNumericalPrecisionPolicy(as_text ? QSql::HighPrecision : QSql::LowPrecisionDouble);
                row.push_back(query.isNull(i) ? db_value::null_value() : convert(query.value(i), kind));
            }
            result->add_row(std::move(row));
        }
        if (query.lastError().type() != QSqlError::NoError) {
            error = describe(query.lastError(), "Reading the rows of the result failed.");
            return nullptr;
        }
        return result;
    }

    bool list(QSql::TableType type, std::vector<std::string>& names, std::string& error) {
        names.clear();
        if (!db_.isOpen()) {
            error = "The ODBC data source is closed.";
            return false;
        }
        const QStringList tables = db_.tables(type);
        names.reserve(static_cast<std::size_t>(tables.size()));
        for (const QString& t : tables) names.push_back(utf8(t));
        return true;
    }

    QString connection_name_;
    QSqlDatabase db_;
    bool registered_ = false;
    std::unique_ptr<odbc_dialect> dialect_;  // after a successful open
    bool access_sql_ = true;
};

}  // namespace

std::unique_ptr<database> open_odbc_connection(const std::string& name, std::string& error) {
    try {
        if (name.empty()) {
            error = "No ODBC data source name was given.";
            return nullptr;
        }
        const QString connection_name =
            QStringLiteral("korvane_odbc_%1").arg(connection_serial.fetch_add(1) + 1);
        auto db = std::make_unique<odbc_database>(connection_name);
        if (!db->open(name, error)) return nullptr;  // the destructor unregisters it
        return db;
    } catch (const std::exception& e) {
        error = std::string("Could not open the ODBC data source: ") + e.what();
        return nullptr;
    }
}

}  // namespace korvane::data
