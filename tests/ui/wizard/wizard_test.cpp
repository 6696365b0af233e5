// The set-up wizard driven as a user drives it, on real SQLite files: what each
// page enables and lists, what a failed Next keeps, and the one record Finish
// hands over.
#include "ui/wizard/frm_korvane_wizard.h"
#include "ui/wizard/show_wizard.h"

#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

using namespace korvane;
using namespace korvane::ui;
using namespace korvane::ui::test;

namespace {

class wizard_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        site = folder.filePath("site.sqlite");
        other = folder.filePath("other.sqlite");
        make_sqlite_file(site,
                         "create table pages (template_file text, page_file text, title text);"
                         "insert into pages values ('a.html', 'a_out.html', 'A');"
                         "create table MSysObjects (id integer);"
                         "create table msys_lower (id integer);"
                         "create table empty_pages (tmpl text, gen text);"
                         "create view page_view as select page_file, template_file from pages;");
        make_sqlite_file(other, "create table other_pages (x text, y text);");
        QDir(folder.path()).mkdir("templates");
        wizard.activate();
    }

    template <typename T = QWidget>
    T& c(const char* name) {
        return control<T>(wizard, name);
    }
    void click(const char* name) { c<QAbstractButton>(name).click(); }
    void type(const char* name, const QString& text) { c<QLineEdit>(name).setText(text); }
    void choose(const char* name, const QString& text) {
        ui::test::choose(c<QComboBox>(name), text);
    }
    bool enabled(const char* name) { return c(name).isEnabled(); }
    QColor base(const char* name) { return c(name).palette().color(QPalette::Base); }
    QColor colour(QPalette::ColorRole role) { return QGuiApplication::palette().color(role); }
    QString focus() { return wizard.focusWidget() ? wizard.focusWidget()->objectName() : ""; }

    void to_page_2(const QString& database) {
        type("txt_database_name", database);
        click("cmd_next");
        ASSERT_EQ(wizard.current_step(), 2) << messages.shown.size();
    }
    void to_page_3(const char* table) {
        to_page_2(site);
        click("opt_db_table");
        choose("lst_db_table", table);
        click("cmd_next");
        ASSERT_EQ(wizard.current_step(), 3);
    }

    QTemporaryDir folder;
    QString site, other;
    recording_messages messages;
    queued_file_dialogs dialogs;
    std::vector<GenerationSettings> handed;
    frm_korvane_wizard wizard{messages, dialogs,
                              [this](const GenerationSettings& s) { handed.push_back(s); }};
};

TEST_F(wizard_test, page_1_opens_for_access_swaps_to_odbc_and_stays_on_a_failure) {
    EXPECT_EQ(wizard.windowTitle(), "Step 1 of 3");
    EXPECT_TRUE(c("fra_steps_0").isVisibleTo(&wizard));
    EXPECT_FALSE(c("fra_steps_1").isVisibleTo(&wizard) || c("fra_steps_2").isVisibleTo(&wizard));
    EXPECT_TRUE(c<QRadioButton>("opt_access").isChecked());
    EXPECT_FALSE(enabled("cmd_previous") || enabled("cmd_finish") || enabled("cmd_next"));
    EXPECT_TRUE(c<QPushButton>("cmd_next").isDefault());
    EXPECT_EQ(focus(), "txt_database_name");

    type("txt_database_name", "x");
    EXPECT_TRUE(enabled("cmd_next"));
    type("txt_database_name", "");
    EXPECT_FALSE(enabled("cmd_next"));

    click("opt_dsn");
    EXPECT_TRUE(enabled("txt_odbc_dsn"));
    EXPECT_EQ(base("txt_odbc_dsn"), colour(QPalette::Base));
    EXPECT_FALSE(enabled("txt_database_name"));
    EXPECT_EQ(base("txt_database_name"), colour(QPalette::Button));
    EXPECT_EQ(focus(), "txt_odbc_dsn");
    type("txt_odbc_dsn", "pages");
    EXPECT_TRUE(enabled("cmd_next"));

    // A database that does not open keeps the page and the name typed.
    click("opt_access");
    type("txt_database_name", folder.filePath("missing.sqlite"));
    click("cmd_next");
    EXPECT_EQ(wizard.windowTitle(), "Step 1 of 3");
    EXPECT_EQ(c<QLineEdit>("txt_database_name").text(), folder.filePath("missing.sqlite"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Korvane - Database problem");
}

TEST_F(wizard_test, page_2_lists_without_selection_or_system_tables_and_stays_on_bad_sql) {
    to_page_2(site);
    EXPECT_EQ(wizard.windowTitle(), "Step 2 of 3");
    auto& tables = c<QComboBox>("lst_db_table");
    auto& queries = c<QComboBox>("lst_db_query");
    EXPECT_EQ(items(tables), QStringList({"pages", "msys_lower", "empty_pages"}));
    EXPECT_EQ(items(queries), QStringList({"page_view"}));
    EXPECT_EQ(tables.currentIndex() + queries.currentIndex(), -2);
    for (const char* input : {"lst_db_table", "lst_db_query", "txt_db_sql"}) {
        EXPECT_FALSE(enabled(input)) << input;
        EXPECT_EQ(base(input), colour(QPalette::Button)) << input;
    }
    EXPECT_FALSE(enabled("cmd_next"));

    click("opt_db_table");
    EXPECT_TRUE(enabled("lst_db_table"));
    EXPECT_FALSE(enabled("lst_db_query") || enabled("txt_db_sql"));
    EXPECT_EQ(focus(), "lst_db_table");
    EXPECT_FALSE(enabled("cmd_next"));
    choose("lst_db_table", "pages");
    EXPECT_TRUE(enabled("cmd_next"));

    // The box refills the tables only, leaving none chosen and Next alone.
    click("chk_sys_tables");
    EXPECT_TRUE(items(tables).contains("MSysObjects"));
    EXPECT_EQ(tables.currentIndex(), -1);
    EXPECT_TRUE(enabled("cmd_next"));
    click("chk_sys_tables");
    EXPECT_FALSE(items(tables).contains("MSysObjects"));
    EXPECT_EQ(items(queries), QStringList({"page_view"}));

    // A statement that fails keeps the page and the statement.
    click("opt_db_sql");
    type("txt_db_sql", "selec nothing");
    click("cmd_next");
    EXPECT_EQ(wizard.current_step(), 2);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Korvane - Problem running SQL");
    EXPECT_EQ(c<QLineEdit>("txt_db_sql").text(), "selec nothing");
}

TEST_F(wizard_test, page_3_offers_finish_only_with_both_fields_chosen) {
    to_page_3("empty_pages");  // no rows is no failure
    EXPECT_EQ(wizard.windowTitle(), "Step 3 of 3");
    EXPECT_EQ(items(c<QComboBox>("lst_field_gen")), QStringList({"tmpl", "gen"}));
    EXPECT_EQ(c<QComboBox>("lst_field_gen").currentIndex(), -1);

    choose("lst_field_tmp", "tmpl");
    EXPECT_TRUE(enabled("txt_field_tmp"));
    EXPECT_FALSE(enabled("txt_field_gen") || enabled("cmd_finish"));
    EXPECT_TRUE(c<QPushButton>("cmd_next").isDefault());

    // A folder chosen before both fields leaves the focus where it was.
    dialogs.answers[dialog_kind::folder].push_back(folder.path());
    const QString before = focus();
    click("cmd_temp_browse");
    EXPECT_EQ(c<QLineEdit>("txt_field_tmp").text(), folder.path());
    EXPECT_EQ(focus(), before);
    EXPECT_EQ(dialogs.calls.at(0).title, "Select the directory containing the temlate(s)");
    EXPECT_EQ(dialogs.calls.at(0).folder, QDir::currentPath());

    choose("lst_field_gen", "gen");
    EXPECT_TRUE(enabled("cmd_finish"));
    EXPECT_TRUE(c<QPushButton>("cmd_finish").isDefault());
    EXPECT_FALSE(c<QPushButton>("cmd_next").isDefault() || enabled("cmd_next"));
}

TEST_F(wizard_test, going_back_keeps_choices_and_refills_only_without_a_selection) {
    to_page_3("pages");
    choose("lst_field_tmp", "template_file");
    click("cmd_previous");
    EXPECT_EQ(wizard.current_step(), 2);
    EXPECT_EQ(c<QComboBox>("lst_db_table").currentText(), "pages");
    click("cmd_next");
    EXPECT_EQ(c<QComboBox>("lst_field_tmp").currentIndex(), -1);  // refilled at each Next

    // Another database with a table chosen keeps the first database's lists.
    click("cmd_previous");
    click("cmd_previous");
    EXPECT_EQ(wizard.current_step(), 1);
    EXPECT_FALSE(enabled("cmd_previous"));
    to_page_2(other);
    EXPECT_TRUE(items(c<QComboBox>("lst_db_table")).contains("pages"));

    // Without a selection they are refilled from the database just opened.
    c<QComboBox>("lst_db_table").setCurrentIndex(-1);
    click("cmd_previous");
    to_page_2(other);
    EXPECT_EQ(items(c<QComboBox>("lst_db_table")), QStringList({"other_pages"}));
    EXPECT_TRUE(items(c<QComboBox>("lst_db_query")).isEmpty());
}

TEST_F(wizard_test, finish_completes_checks_and_hands_over_once) {
    to_page_2(site);
    click("opt_db_query");
    choose("lst_db_query", "page_view");
    click("cmd_next");
    choose("lst_field_tmp", "template_file");
    choose("lst_field_gen", "page_file");

    // Both folders missing: two messages in turn, nothing handed over.
    type("txt_field_tmp", "  nowhere_t ");
    type("txt_field_gen", folder.filePath("nowhere_g"));
    click("cmd_finish");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].caption, "Korvane - Directory does not exist");
    EXPECT_EQ(messages.shown[0].text, "The template directory does not exist:\r  nowhere_t/");
    EXPECT_EQ(messages.shown[1].text, "The generated files directory does not exist:\r  " +
                                          folder.filePath("nowhere_g/").toStdString());
    EXPECT_EQ(messages.shown[1].icon, message_icon::exclamation);
    EXPECT_TRUE(handed.empty());
    EXPECT_EQ(wizard.current_step(), 3);
    EXPECT_EQ(c<QLineEdit>("txt_field_tmp").text(), "nowhere_t/");

    // A completed folder with blanks is kept and checked as it stands.
    type("txt_field_tmp", "  " + folder.filePath("templates/"));
    type("txt_field_gen", "");
    click("cmd_finish");
    EXPECT_EQ(messages.shown.size(), 3u);
    type("txt_field_tmp", " " + folder.filePath("templates") + " ");
    click("cmd_finish");
    EXPECT_EQ(messages.shown.size(), 3u);
    ASSERT_EQ(handed.size(), 1u);
    const GenerationSettings expected{"WiZaRd",
                                      0,
                                      site.toStdString(),
                                      1,
                                      "page_view",
                                      "template_file",
                                      "page_file",
                                      folder.filePath("templates/").toStdString(),
                                      ""};
    EXPECT_EQ(handed[0], expected);
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
}

TEST_F(wizard_test, cancel_escape_and_close_hand_nothing_over) {
    to_page_3("pages");
    choose("lst_field_tmp", "template_file");
    choose("lst_field_gen", "page_file");
    for (const auto& end : std::vector<std::function<void()>>{
             [&] { click("cmd_cancel"); }, [&] { QTest::keyClick(&wizard, Qt::Key_Escape); },
             [&] { wizard.close(); }}) {
        wizard.show();
        end();
        EXPECT_FALSE(wizard.isVisible());
    }
    EXPECT_TRUE(handed.empty());

    // The modal road: closed at once, it reports no hand-over.
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    EXPECT_FALSE(show_korvane_wizard(nullptr, messages, dialogs,
                                     [this](const GenerationSettings& s) { handed.push_back(s); }));
    EXPECT_TRUE(handed.empty());
}

TEST_F(wizard_test, the_database_browse_chooses_access_and_refuses_other_endings) {
    click("opt_dsn");
    dialogs.answers[dialog_kind::open] = {"/data/shop.MDB", "/data/shop.sqlite", " "};
    click("cmd_ms_db_browse");
    EXPECT_TRUE(c<QRadioButton>("opt_access").isChecked() && enabled("txt_database_name"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption + messages.shown[0].text,
              "Korvane - Invalid fileThis is not an access database");
    EXPECT_EQ(c<QLineEdit>("txt_database_name").text(), "");
    EXPECT_EQ(dialogs.calls.at(0).title, "Select an access database");

    click("cmd_ms_db_browse");
    EXPECT_EQ(c<QLineEdit>("txt_database_name").text(), "/data/shop.sqlite");
    EXPECT_EQ(focus(), "cmd_next");
    click("cmd_ms_db_browse");  // cancelled
    EXPECT_EQ(c<QLineEdit>("txt_database_name").text(), "/data/shop.sqlite");
    EXPECT_EQ(focus(), "txt_database_name");
}

TEST_F(wizard_test, access_files_and_odbc_connection_strings_open) {
    const QString northwind = KORVANE_TESTDATA_DIR "/access/Northwind.mdb";
    if (QFileInfo::exists(northwind)) {
        to_page_2(northwind);
        EXPECT_TRUE(items(c<QComboBox>("lst_db_table")).contains("Customers"));
        EXPECT_FALSE(items(c<QComboBox>("lst_db_query")).isEmpty());
        click("cmd_previous");
    }
    click("opt_dsn");
    type("txt_odbc_dsn", "Driver=SQLite3;Database=" + site);
    click("cmd_next");
    if (wizard.current_step() != 2) GTEST_SKIP() << "no SQLite3 ODBC driver";
    EXPECT_EQ(items(c<QComboBox>("lst_db_table")),
              QStringList({"pages", "msys_lower", "empty_pages"}));
    EXPECT_EQ(wizard.wizard_settings().database_type, 1);
}

TEST_F(wizard_test, the_example_site_chosen_in_the_wizard_is_its_settings_file) {
    const QString examples = KORVANE_EXAMPLE_DIR;
    GenerationSettings file;
    ASSERT_EQ(read_settings_file(file, (examples + "/bookshop.kvn").toStdString()), 8);
    const QString current = QDir::currentPath();
    QDir::setCurrent(examples);
    to_page_2("bookshop.sqlite");
    click("opt_db_table");
    choose("lst_db_table", "pages");
    click("cmd_next");
    choose("lst_field_tmp", "template_file");
    choose("lst_field_gen", "page_file");
    dialogs.answers[dialog_kind::folder] = {"templates", "site"};
    click("cmd_temp_browse");
    click("cmd_gen_browse");
    click("cmd_finish");
    QDir::setCurrent(current);
    ASSERT_EQ(handed.size(), 1u);
    file.filename = "WiZaRd";
    EXPECT_EQ(handed[0], file);
}

}  // namespace
