// SPDX-License-Identifier: Apache-2.0
// The real program as a scheduled job starts it: `korvane /auto site.kvn`
// writes the example's pages and ends by itself, with status 0, after the
// splash and the count-down.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>

TEST(korvane_program, auto_writes_the_example_site_and_ends_after_the_count_down) {
    QTemporaryDir dir;
    const std::filesystem::path site = dir.filePath("example").toStdString();
    std::filesystem::copy(KORVANE_EXAMPLES_DIR, site, std::filesystem::copy_options::recursive);
    std::filesystem::remove_all(site / "site");
    std::filesystem::create_directory(site / "site");

    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(site.string()));
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    program.start(KORVANE_PROGRAM, {"/auto", "bookshop.kvn"});  // relative, as users type it
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_GE(clock.elapsed(), 9000);  // the splash's 4.5 s, then the count-down's 5 s
    EXPECT_GE(QDir(QString::fromStdString((site / "site").string())).entryList({"*.html"}).size(),
              10);
}
