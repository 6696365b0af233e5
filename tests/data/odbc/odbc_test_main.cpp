// gtest main for the ODBC tests: Qt SQL needs an application object to load
// its drivers, and the private ODBC configuration must exist before the first
// ODBC call.
#include "odbc_test_support.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    korvane::test::add_odbc_environment();
    return RUN_ALL_TESTS();
}
