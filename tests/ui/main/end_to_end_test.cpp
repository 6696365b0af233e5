// The real program, as a scheduled job starts it: `korvane /auto site.kvn`
// writes the example's pages and ends by itself, with status 0, after the
// count-down.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

bool copy_folder(const QString& from, const QString& to) {
    QDir source(from);
    if (!QDir().mkpath(to)) return false;
    for (const QFileInfo& entry :
         source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + '/' + entry.fileName();
        if (entry.isDir() ? !copy_folder(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

QProcess* start(QProcess& program, const QString& folder, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder);
    program.start(KORVANE_PROGRAM, arguments);
    return &program;
}

}  // namespace

TEST(korvane_program, auto_writes_the_example_site_and_ends_after_the_count_down) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString site = dir.filePath("example");
    ASSERT_TRUE(copy_folder(KORVANE_EXAMPLES_DIR, site));
    QDir(site + "/site").removeRecursively();
    QDir(site).mkdir("site");

    QProcess program;
    QElapsedTimer clock;
    clock.start();
    // Relative to the current folder, as users type it.
    start(program, site, {"/auto", "bookshop.kvn"});
    ASSERT_TRUE(program.waitForFinished(60000)) << program.readAllStandardError().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    // The splash (4.5 s) and the count-down (5 s) are the program's own pace.
    EXPECT_GE(clock.elapsed(), 4500);
    EXPECT_TRUE(QFileInfo::exists(site + "/site/index.html"));
    EXPECT_GE(QDir(site + "/site").entryList({"*.html"}).size(), 10);
}

TEST(korvane_program, help_and_version_need_no_display) {
    for (const char* option : {"--help", "--version"}) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        program.setProcessEnvironment(env);
        program.start(KORVANE_PROGRAM, {option});
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitCode(), 0) << option;
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        EXPECT_TRUE(out.startsWith(std::string(option) == "--help" ? "usage: korvane" : "korvane "))
            << out.toStdString();
    }
}
