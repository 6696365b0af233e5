// SPDX-License-Identifier: Apache-2.0
// The windows' filter text as Qt's name filters, the save dialog's default
// suffix and the lookup of the documentation files.
#include "ui/support/file_dialog.h"
#include "support/case_table.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace korvane::ui;

TEST(file_dialog, filter_text_becomes_qt_name_filters_and_the_default_suffix) {
    for (const auto& row : korvane::test::read_case_table("ui/support/file_filters.tsv", 2)) {
        const QString filter = QString::fromStdString(row[1]);
        QStringList expected;
        for (std::size_t i = 2; i < row.fields.size(); ++i)
            expected << QString::fromStdString(row[i]);
        if (row[0] == "suffix")
            EXPECT_EQ(default_suffix(filter), expected.value(0)) << row.where;
        else
            EXPECT_EQ(qt_name_filters(filter), expected) << row.where;
    }
}

TEST(file_dialog, documentation_is_found_in_the_first_folder_that_has_it) {
    QTemporaryDir first, second;
    ASSERT_TRUE(first.isValid() && second.isValid());
    test::write_text_file(second.filePath(release_notes_file_name), "");
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
    test::write_text_file(folder.filePath("x.kvn"), "");

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
