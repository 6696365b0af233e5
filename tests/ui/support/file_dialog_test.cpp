// The windows' filter text as Qt's name filters, the save dialog's default
// suffix and the lookup of the documentation files.
#include "ui/support/file_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace korvane::ui;

namespace {
const QString database_filter = QStringLiteral(
    "MS Access Database (*.mdb) | *.mdb | Access 2007 and later (*.accdb) | *.accdb | "
    "SQLite database (*.sqlite *.sqlite3 *.db) | *.sqlite;*.sqlite3;*.db | All files (*) | *");
}

TEST(file_dialog, filter_text_becomes_qt_name_filters) {
    const QStringList expected{"MS Access Database (*.mdb)", "Access 2007 and later (*.accdb)",
                               "SQLite database (*.sqlite *.sqlite3 *.db)", "All files (*)"};
    EXPECT_EQ(qt_name_filters(database_filter), expected);
    // A final "|" changes nothing.
    EXPECT_EQ(qt_name_filters(database_filter + " |"), expected);
    EXPECT_EQ(qt_name_filters("Korvane Settings (*.kvn) | *.kvn |"),
              QStringList{"Korvane Settings (*.kvn)"});
    // The pattern half decides what Qt lists, whatever the description says.
    EXPECT_EQ(qt_name_filters("Web pages | *.htm;*.html"), QStringList{"Web pages (*.htm *.html)"});
    EXPECT_EQ(qt_name_filters("Pages (html) | *.html"), QStringList{"Pages (html) (*.html)"});
    // A description without its pattern is dropped rather than listing nothing.
    EXPECT_EQ(qt_name_filters("Korvane Settings (*.kvn) | *.kvn | Dangling"),
              QStringList{"Korvane Settings (*.kvn)"});
    EXPECT_TRUE(qt_name_filters("").isEmpty());
}

TEST(file_dialog, default_suffix_comes_from_the_first_pattern) {
    EXPECT_EQ(default_suffix("Korvane Settings (*.kvn) | *.kvn"), "kvn");
    EXPECT_EQ(default_suffix("Korvane Settings (*.kvn) | *.kvn |"), "kvn");
    EXPECT_EQ(default_suffix(database_filter), "mdb");
    EXPECT_EQ(default_suffix("SQLite | *.sqlite;*.db"), "sqlite");
    EXPECT_EQ(default_suffix("All files (*) | *"), "");
    EXPECT_EQ(default_suffix("All files | *.*"), "");
    EXPECT_EQ(default_suffix(""), "");
}

TEST(file_dialog, documentation_is_found_in_the_first_folder_that_has_it) {
    QTemporaryDir first, second;
    ASSERT_TRUE(first.isValid() && second.isValid());
    QFile notes(second.filePath(release_notes_file_name));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    QDir(first.path()).mkdir(release_notes_file_name);  // a folder of that name does not count
    const QStringList folders{first.path(), second.path()};
    EXPECT_EQ(find_file_in(folders, release_notes_file_name),
              second.filePath(release_notes_file_name));
    EXPECT_EQ(find_file_in(folders, documentation_file_name), "");
    EXPECT_EQ(documentation_folders().front(), QCoreApplication::applicationDirPath());
}

namespace {

// Calls act on the modal widget of type T once one shows, polling the loop.
template <typename T, typename F>
void when_shown(F act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*widget);
        }
    });
    timer->start(10);
}

}  // namespace

TEST(file_dialog, save_adds_the_suffix_before_asking_about_overwriting) {
    QTemporaryDir folder;
    QFile existing(folder.filePath("x.kvn"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    QString question;
    when_shown<QFileDialog>([&](QFileDialog& dialog) {
        when_shown<QMessageBox>([&](QMessageBox& box) {
            question = box.text();
            box.button(QMessageBox::Yes)->click();
        });
        dialog.findChild<QLineEdit*>("fileNameEdit")->setText("x");
        QMetaObject::invokeMethod(&dialog, "accept");
    });
    qt_file_dialog dialogs;
    const QString chosen = dialogs.save_file_dialog(nullptr, "Korvane Settings (*.kvn) | *.kvn",
                                                    "Save As", folder.path());
    EXPECT_EQ(chosen, folder.filePath("x.kvn"));
    EXPECT_TRUE(question.contains("x.kvn")) << question.toStdString();

    // Cancelling the folder dialog answers "".
    when_shown<QFileDialog>(
        [](QFileDialog& dialog) { QMetaObject::invokeMethod(&dialog, "reject"); });
    EXPECT_EQ(dialogs.browse_for_folder(nullptr, "Template directory", folder.path()), "");
}
