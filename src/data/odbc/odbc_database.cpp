// SPDX-License-Identifier: Apache-2.0
#include "odbc_database.h"

#include "data/odbc/odbc_dialect.h"
#include "data/odbc/odbc_rows.h"
#include "data/odbc/odbc_values.h"
#include "data/sql/access_sql.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <utility>

namespace korvane::data {
namespace {

const QString qt_driver = QStringLiteral("QODBC");

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

// psqlODBC by the name of its library (psqlodbcw.so, PSQLODBC35W.DLL).
bool is_psqlodbc(SQLHANDLE dbc) {
    SQLCHAR name[128] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DRIVER_NAME, name, sizeof name, &length))) return false;
    return QString::fromLatin1(reinterpret_cast<const char*>(name))
        .startsWith(QLatin1String("psqlodbc"), Qt::CaseInsensitive);
}

// The connection string of name asking psqlODBC for a cursor, unless it
// says itself how to fetch.
std::string with_cursor(const std::string& name) {
    const QString text = QString::fromUtf8(name);
    if (text.contains(QLatin1String("UseDeclareFetch"), Qt::CaseInsensitive)) return name;
    const std::string base = text.contains(u'=') ? name : "DSN=" + name;
    return base + ";" + cursor_attributes;
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
        name_ = name;
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
            const SQLHANDLE dbc = *static_cast<const SQLHANDLE*>(handle.constData());
            dialect_ = std::make_unique<odbc_dialect>(dbc);
            postgres_ = is_psqlodbc(dbc);
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
            result = translate_and_run(sql, error, [this](const std::string& text, std::string& why) {
                return run(text, why);
            });
        } catch (const std::exception& e) {
            error = std::string("Reading the result failed: ") + e.what();
            result.reset();
        }
        if (in_transaction) db_.rollback();
        return result;
    }

    // On a connection of its own, so that the statements of the pages run
    // on this one while its rows are read.
    std::unique_ptr<record_set> open_forward_record_set(const std::string& sql, std::string& error) override {
        if (!db_.isOpen()) {
            error = "The ODBC data source is closed.";
            return nullptr;
        }
        try {
            return translate_and_run(sql, error, [this](const std::string& text, std::string& why) {
                forward_source source;
                source.connection_name = connection_name_ + QStringLiteral("_rows") +
                                         QString::number(++forward_serial_);
                source.database_name = qt_database_name(postgres_ ? with_cursor(name_) : name_);
                source.connect_options = db_.connectOptions();
                source.postgres = postgres_;
                source.row_bound = row_bound_;
                source.stop = stop_;
                return open_forward_rows(source, QString::fromUtf8(text), why);
            });
        } catch (const std::exception& e) {
            error = std::string("Reading the result failed: ") + e.what();
            return nullptr;
        }
    }

    void set_row_bound(std::int64_t rows) override { row_bound_ = rows; }
    void set_stop(stop_token stop) override { stop_ = stop; }

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
    template <typename Run>
    std::unique_ptr<record_set> translate_and_run(const std::string& access_sql, std::string& error, Run run) {
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
        result_columns columns = read_columns(query);
        auto result = std::make_unique<record_set>(std::move(columns.names));
        // No more rows than the run could use, as SQLite reads.
        std::int64_t rows = 0;
        while ((row_bound_ <= 0 || rows < row_bound_) && query.next()) {
            ++rows;
            read_row(query, columns.classes, result->append_row());
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
    std::string name_;
    QSqlDatabase db_;
    bool registered_ = false;
    std::unique_ptr<odbc_dialect> dialect_;  // after a successful open
    bool access_sql_ = true;
    bool postgres_ = false;  // reached through psqlODBC
    std::int64_t row_bound_ = 0;
    stop_token stop_;
    unsigned forward_serial_ = 0;
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
