// Data sources that cannot answer: a name the driver manager does not know, a
// PostgreSQL server that never ran, and one that stops while a connection to
// it is open. The working sources are in odbc_source_test.cpp.
#include "data/odbc/odbc_database.h"
#include "odbc_test_support.h"

#include <gtest/gtest.h>

namespace korvane::data {
namespace {

TEST(odbc_unreachable_source, fails_with_a_one_line_reason) {
    const std::pair<std::string, std::string> cases[] = {{"korvane_no_such_source", "not found"},
                                                         {"", "No ODBC data source"},
                                                         {test::postgres_down_dsn, "connect"}};
    for (const auto& [dsn, reason] : cases) {
        std::string error;
        EXPECT_EQ(open_odbc_connection(dsn, error), nullptr) << dsn;
        EXPECT_NE(error.find(reason), std::string::npos) << dsn << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos)
            << "one line for the error report: " << error;
    }
}

TEST(odbc_postgres_lost_server, reports_queries_after_the_server_stopped) {
    test::postgres_server server(test::sandbox().postgres_lost_dir, test::sandbox().postgres_port);
    const std::string setup_error =
        server.start("CREATE TABLE t(a int); INSERT INTO t VALUES (1);");
    ASSERT_TRUE(setup_error.empty()) << setup_error;
    std::string error;
    auto db = open_odbc_connection(test::postgres_lost_dsn, error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_NE(db->open_record_set("SELECT a FROM t", error), nullptr) << error;

    ASSERT_EQ(server.stop(), "");
    error.clear();
    EXPECT_EQ(db->open_record_set("SELECT a FROM t", error), nullptr);
    EXPECT_FALSE(error.empty());
    db->close(error);
}

}  // namespace
}  // namespace korvane::data
