// SPDX-License-Identifier: Apache-2.0
// The set-up wizard driven as a user drives it, on real SQLite files: what each
// page enables and lists, what a failed Next keeps, and the one record Finish
// hands over.
#include "ui/wizard/frm_korvane_wizard.h"
#include "ui/wizard/show_wizard.h"
#include "ui_script.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace korvane;
using namespace korvane::ui;
using namespace korvane::ui::test;

namespace {

// The SQLite3 ODBC driver's library (scripts/setup.sh installs it), named
// directly so no odbcinst.ini is needed; "" when it is not installed.
QString sqlite_odbc_driver() {
    for (const QString& arch : QDir("/usr/lib").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString library = "/usr/lib/" + arch + "/odbc/libsqlite3odbc.so";
        if (QFileInfo::exists(library)) return library;
    }
    return {};
}

class wizard_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        make_sqlite_file(site, read_text_file(KORVANE_SOURCE_DIR "/tests/ui/wizard/site.sql"));
        make_sqlite_file(other, "create table other_pages (x text, y text);");
        QDir(folder.path()).mkdir("templates");
        wizard.activate();
    }

    QTemporaryDir folder;
    const QString site = folder.filePath("site.sqlite"), other = folder.filePath("other.sqlite");
    recording_messages messages;
    queued_file_dialogs dialogs;
    frm_korvane_wizard wizard{messages, dialogs};
    const ui_script script{wizard, messages, dialogs, folder.path(), QPalette::Button};
    const std::string scenarios = "ui/wizard/wizard_scenarios.tsv";
};

TEST_F(wizard_test, page_1_opens_for_access_swaps_to_odbc_and_stays_on_a_failure) {
    script.run(scenarios, "page_1");
}

TEST_F(wizard_test, page_2_lists_without_selection_or_system_tables_and_stays_on_bad_sql) {
    script.run(scenarios, "page_2");
}

TEST_F(wizard_test, page_3_offers_finish_only_with_both_fields_chosen) {
    script.run(scenarios, "page_3");
    EXPECT_EQ(dialogs.calls.at(0).folder, QDir::currentPath());  // an empty box starts here
}

TEST_F(wizard_test, going_back_keeps_choices_and_refills_only_without_a_selection) {
    script.run(scenarios, "back");
    control<QComboBox>(wizard, "lst_db_table").setCurrentIndex(-1);
    script.run(scenarios, "back_2");
}

TEST_F(wizard_test, finish_completes_checks_and_hands_over_once) {
    script.run(scenarios, "finish");
    EXPECT_EQ(messages.shown.at(0).text, "The template directory does not exist:\r  nowhere_t/");
    const GenerationSettings expected{"", 0, site.toStdString(), 1, "page_view", "template_file", "page_file",
                                      folder.filePath("templates/").toStdString(), ""};
    EXPECT_EQ(wizard.handed_over(), expected);
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
}

TEST_F(wizard_test, cancel_escape_and_close_hand_nothing_over) {
    script.run(scenarios, "page_3");  // both fields chosen
    for (int end = 0; end < 3; ++end) {
        wizard.show();
        if (end == 0) control<QAbstractButton>(wizard, "cmd_cancel").click();
        if (end == 1) QTest::keyClick(&wizard, Qt::Key_Escape);
        if (end == 2) wizard.close();
        EXPECT_FALSE(wizard.isVisible());
    }
    // The modal road: closed at once, it reports no hand-over.
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    EXPECT_EQ(show_korvane_wizard(nullptr, messages, dialogs), std::nullopt);
    EXPECT_EQ(wizard.handed_over(), std::nullopt);
}

TEST_F(wizard_test, the_database_browse_judges_the_file_by_its_contents_not_its_name) {
    write_text_file(folder.filePath("notes.mdb"), "just some notes\n");
    ASSERT_TRUE(QFile::copy(site, folder.filePath("site.MDB")));
    // An Access file is known by its engine's name at offset 4.
    write_text_file(folder.filePath("access.sqlite"),
                    std::string("\0\1\0\0Standard Jet DB\0", 20) + std::string(12, '\0'));
    script.run(scenarios, "browse");
}

TEST_F(wizard_test, access_files_and_odbc_connection_strings_open) {
    if (QFileInfo::exists(KORVANE_TESTDATA_DIR "/access/Northwind.mdb")) script.run(scenarios, "northwind");
    ASSERT_FALSE(sqlite_odbc_driver().isEmpty()) << "apt-get install libsqliteodbc";
    control<QAbstractButton>(wizard, "opt_dsn").click();
    control<QLineEdit>(wizard, "txt_odbc_dsn").setText("Driver=" + sqlite_odbc_driver() + ";Database=" + site);
    script.run(scenarios, "odbc");
    EXPECT_EQ(wizard.wizard_settings().database_type, 1);
}

TEST_F(wizard_test, the_example_site_chosen_in_the_wizard_is_its_settings_file) {
    GenerationSettings file;
    ASSERT_EQ(read_settings_file(file, KORVANE_EXAMPLE_DIR "/bookshop.kvn"), 8);
    const QString current = QDir::currentPath();
    QDir::setCurrent(KORVANE_EXAMPLE_DIR);  // relative names, from the example's folder
    script.run(scenarios, "example");
    QDir::setCurrent(current);
    file.filename.clear();
    EXPECT_EQ(wizard.handed_over(), file);
}

}  // namespace
