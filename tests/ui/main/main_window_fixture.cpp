#include "main_window_fixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>

#include <sqlite3.h>

namespace korvane::ui::test {

void make_sqlite_file(const QString& path, const std::vector<std::string>& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toStdString().c_str(), &db), SQLITE_OK);
    for (const std::string& sql : statements) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << sql << ": " << (error ? error : "");
        sqlite3_free(error);
    }
    sqlite3_close(db);
}

void write_text_file(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

std::string read_text_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
}

void main_window_test::SetUp() {
    ASSERT_TRUE(dir.isValid());
    previous_folder = QDir::currentPath();
    make_sqlite_file(path("site.sqlite"),
                     {"create table pages (template_file text, page_file text, title text)",
                      "insert into pages values ('page.html', 'one.html', 'One')",
                      "insert into pages values ('page.html', 'two.html', 'Two')",
                      "create table other (template_file text, name text)",
                      "insert into other values ('page.html', 'x')",
                      "create table empty (template_file text, page_file text)",
                      "create table MSysObjects (id integer)",
                      "create table msysLower (id integer)",
                      "create view titles as select title, page_file from pages"});
    QDir(dir.path()).mkdir("templates");
    QDir(dir.path()).mkdir("site");
    write_text_file(path("templates/page.html"),
                    "<p><!--MAIN_FIELD=title--></p>\r\n");
    make_window();
}

void main_window_test::TearDown() {
    window.reset();
    QDir::setCurrent(previous_folder);
}

main_services main_window_test::services() {
    main_services s;
    s.messages = &messages;
    s.dialogs = &dialogs;
    s.desktop = &desktop;
    s.end_program = [this] { ++ended; };
    s.run_wizard = wizard;
    s.show_splash = splash;
    s.odbc_sources = [] { return std::vector<std::string>{"bookshop", "sales"}; };
    s.help_file = [this](const QString& name) { return path(name); };
    s.exit_timer_interval_ms = exit_interval_ms;
    s.run_event_interval_ms = run_event_interval_ms;
    return s;
}

void main_window_test::make_window(const QStringList& arguments) {
    window.reset();
    window = std::make_unique<frm_main>(services());
    window->start_up(arguments);
}

QStringList main_window_test::items(const char* name) {
    QComboBox& list = combo(name);
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) texts << list.itemText(i);
    return texts;
}

QStringList main_window_test::error_lines() {
    QListWidget& list = c<QListWidget>("lst_errors");
    QStringList lines;
    for (int i = 0; i < list.count(); ++i) lines << list.item(i)->text();
    return lines;
}

void main_window_test::choose(const char* list, const QString& text) {
    const int index = combo(list).findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_GE(index, 0) << text.toStdString() << " is not in " << list;
    choose(list, index);
}

void main_window_test::choose(const char* list, int index) {
    QComboBox& box = combo(list);
    ASSERT_TRUE(box.isEnabled()) << list << " is disabled";
    box.setCurrentIndex(index);
    emit box.activated(index);
}

void main_window_test::press_enter(const char* name) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(&box(name), &press);
}

void main_window_test::lose_focus(const char* name, Qt::FocusReason reason) {
    QFocusEvent out(QEvent::FocusOut, reason);
    QCoreApplication::sendEvent(&box(name), &out);
}

void main_window_test::open_site_database() {
    choose("lst_database", 0);
    box("txt_database_name").setText(path("site.sqlite"));
    press_enter("txt_database_name");
}

void main_window_test::fill_panel_for_pages() {
    open_site_database();
    choose("lst_main_table", 0);
    choose("lst_main_value", "pages");
    choose("lst_template_field", "template_file");
    choose("lst_generated_field", "page_file");
}

QString main_window_test::write_settings(const QString& name, const std::string& db_type,
                                         const std::string& db_name,
                                         const std::string& main_type,
                                         const std::string& main_name,
                                         const std::string& template_field,
                                         const std::string& generated_field,
                                         const std::string& template_path,
                                         const std::string& generated_path) {
    const QString file = path(name);
    write_text_file(file, "db_type=" + db_type + "\r\ndb_name=" + db_name +
                              "\r\nmain_type=" + main_type + "\r\nmain_name=" + main_name +
                              "\r\ntemplate_field=" + template_field +
                              "\r\ngenerated_field=" + generated_field +
                              "\r\ntemplate_path=" + template_path +
                              "\r\ngenerated_path=" + generated_path + "\r\n");
    return file;
}

std::vector<std::string> main_window_test::captions() const {
    std::vector<std::string> out;
    for (const auto& m : messages.messages) out.push_back(m.caption);
    return out;
}

}  // namespace korvane::ui::test
