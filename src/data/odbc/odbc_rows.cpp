// SPDX-License-Identifier: Apache-2.0
#include "data/odbc/odbc_rows.h"

#include "data/odbc/odbc_values.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <utility>

namespace korvane::data {
namespace {

// The rows of a forward result: the statement itself, fetched as the cursor
// moves; rewinding runs it again in the same transaction.
class query_rows final : public row_source {
public:
    explicit query_rows(QString connection_name) : name_(std::move(connection_name)) {}
    ~query_rows() override {
        query_.reset();
        if (db_.isOpen()) {
            db_.rollback();
            db_.close();
        }
        db_ = QSqlDatabase();  // no handle may outlive removeDatabase
        if (registered_) QSqlDatabase::removeDatabase(name_);
    }

    // Connects, runs the statement and counts its rows (up to the bound),
    // then stands before the first row again.
    bool open(const forward_source& source, const QString& sql, std::int64_t& count,
              std::vector<std::string>& names, std::string& error) {
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name_);
        registered_ = true;
        db_.setDatabaseName(source.database_name);
        db_.setConnectOptions(source.connect_options);
        if (!db_.open()) {
            error = describe(db_.lastError(), "Could not connect to the ODBC data source again to read the rows.");
            return false;
        }
        if (source.postgres) {
            // Both passes over the rows see one snapshot of the data.
            const QVariant handle = db_.driver()->handle();
            if (handle.isValid() && handle.metaType().sizeOf() == sizeof(SQLHANDLE)) {
                SQLSetConnectAttr(*static_cast<const SQLHANDLE*>(handle.constData()), SQL_ATTR_TXN_ISOLATION,
                                  reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_TXN_REPEATABLE_READ)), 0);
            }
        }
        // The cursor lives in a transaction, rolled back at the end so that
        // a statement that writes leaves the data source as it was.
        db_.transaction();
        sql_ = sql;
        if (!run(error)) return false;
        result_columns columns = read_columns(*query_);
        classes_ = std::move(columns.classes);
        names = std::move(columns.names);
        count = 0;
        while ((source.row_bound <= 0 || count < source.row_bound) && query_->next()) {
            if (++count % 1024 == 0 && source.stop.stop_requested()) {
                error = "The statement was stopped.";
                return false;
            }
        }
        if (query_->lastError().type() != QSqlError::NoError) {
            error = describe(query_->lastError(), "Reading the rows of the result failed.");
            return false;
        }
        return run(error);
    }

    bool rewind() override {
        std::string ignored;
        return run(ignored);
    }

    bool next_row(db_value* values) override {
        if (!query_ || !query_->next()) return false;
        read_row(*query_, classes_, values);
        return true;
    }

private:
    bool run(std::string& error) {
        query_.reset();
        query_.emplace(db_);
        query_->setForwardOnly(true);
        if (!query_->exec(sql_)) {
            error = describe(query_->lastError(), "The SQL statement failed.");
            return false;
        }
        if (!query_->isSelect()) {
            error = "The SQL statement returns no rows to read.";
            return false;
        }
        return true;
    }

    QString name_;
    QSqlDatabase db_;
    bool registered_ = false;
    QString sql_;
    std::optional<QSqlQuery> query_;
    std::vector<odbc_column> classes_;
};

}  // namespace

std::unique_ptr<record_set> open_forward_rows(const forward_source& source, const QString& sql,
                                              std::string& error) {
    auto rows = std::make_unique<query_rows>(source.connection_name);
    std::int64_t count = 0;
    std::vector<std::string> names;
    if (!rows->open(source, sql, count, names, error)) return nullptr;
    return std::make_unique<record_set>(std::move(names), count, std::move(rows));
}

}  // namespace korvane::data
