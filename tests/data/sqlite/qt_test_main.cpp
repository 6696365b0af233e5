// SPDX-License-Identifier: Apache-2.0
// gtest main with a QCoreApplication: Qt SQL loads its drivers as plugins,
// which needs an application object.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
