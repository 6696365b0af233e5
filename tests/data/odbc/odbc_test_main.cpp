// SPDX-License-Identifier: Apache-2.0
// gtest main for the ODBC tests: Qt SQL needs an application object to load
// its drivers, and the private ODBC configuration must exist before the first
// ODBC call.
#include "odbc_test_support.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <dlfcn.h>

// The SQLite3 ODBC driver reads its settings through libodbcinst, which keeps
// what it parsed for good; the driver then unloads the library, so a leak
// report would name whatever is mapped there later. Pinning the library (in
// main) keeps the reports attributable, and only those are suppressed.
extern "C" const char* __lsan_default_suppressions() { return "leak:libodbcinst.so\n"; }

int main(int argc, char** argv) {
    dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    korvane::test::add_odbc_environment();
    return RUN_ALL_TESTS();
}
