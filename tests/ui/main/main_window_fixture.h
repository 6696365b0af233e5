// A main window over recorders, in a temporary folder with a small SQLite
// site: pages (two rows), other (one of its fields), empty, a view, the
// system-looking tables MSysObjects and msysLower, templates/ and site/.
#pragma once

#include "ui/main/frm_main.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <memory>
#include <string>

namespace korvane::ui::test {

inline void make_sqlite_file(const QString& path, const std::string& script) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toStdString().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << script;
    sqlite3_close(db);
}

inline void write_text_file(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

inline std::string read_text_file(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

class main_window_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        make_sqlite_file(path("site.sqlite"),
                         "create table pages (template_file text, page_file text, title text);"
                         "insert into pages values ('page.html', 'one.html', 'One'),"
                         "  ('page.html', 'two.html', 'Two');"
                         "create table other (template_file text, name text);"
                         "insert into other values ('page.html', 'x');"
                         "create table empty (template_file text, page_file text);"
                         "create table MSysObjects (id); create table msysLower (id);"
                         "create view titles as select title, page_file from pages;");
        QDir(dir.path()).mkpath("templates");
        QDir(dir.path()).mkpath("site");
        write_text_file(path("templates/page.html"), "<p><!--MAIN_FIELD=title--></p>\r\n");
        make_window();
    }
    void TearDown() override {
        window.reset();
        QDir::setCurrent(previous_folder);
    }

    // A new window (after changing the services below) that has started up.
    void make_window(const QStringList& arguments = {}) {
        auto end = [this] { ++ended; };
        auto sources = [] { return std::vector<std::string>{"bookshop", "sales"}; };
        auto help = [this](const QString& name) { return path(name); };
        main_services s{&messages,
                        &dialogs,
                        &desktop,
                        end,
                        splash,
                        nullptr,
                        wizard,
                        sources,
                        help,
                        exit_interval_ms,
                        run_event_interval_ms};
        window.reset();
        window = std::make_unique<frm_main>(s);
        window->start_up(arguments);
    }

    template <typename T = QComboBox>
    T& c(const char* name) {
        return control<T>(*window, QString::fromUtf8(name));
    }
    QLineEdit& box(const char* name) { return c<QLineEdit>(name); }
    bool enabled(const char* name) { return c<QWidget>(name).isEnabled(); }
    bool generate_enabled() { return c<QAction>("mnu_run_gen").isEnabled(); }
    QString status() { return c<QLabel>("lbl_status").text(); }
    QStringList items(const char* name) {
        QStringList texts;
        for (int i = 0; i < c(name).count(); ++i) texts << c(name).itemText(i);
        return texts;
    }
    QStringList report() {
        QStringList lines;
        for (int i = 0; i < c<QListWidget>("lst_errors").count(); ++i)
            lines << c<QListWidget>("lst_errors").item(i)->text();
        return lines;
    }
    std::string last_caption() const {
        return messages.messages.empty() ? "" : messages.messages.back().caption;
    }
    std::string last_text() const {
        return messages.messages.empty() ? "" : messages.messages.back().text;
    }

    // The user's choice in a list, Enter in a box, leaving a box.
    void choose(const char* list, const QString& text) {
        QComboBox& box = c(list);
        const int index = box.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_TRUE(index >= 0 && box.isEnabled()) << list << ": " << text.toStdString();
        box.setCurrentIndex(index);
        emit box.activated(index);
    }
    void press_enter(const char* name) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(&box(name), &press);
    }
    void lose_focus(const char* name, Qt::FocusReason reason = Qt::TabFocusReason) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(&box(name), &out);
    }
    void open_site_database(const QString& file = "site.sqlite") {
        choose("lst_database", "Access Database");
        box("txt_database_name").setText(path(file));
        press_enter("txt_database_name");
    }
    // Database, Table, pages, both fields; the folders as full paths.
    void fill_panel_for_pages() {
        open_site_database();
        choose("lst_main_table", "Table");
        choose("lst_main_value", "pages");
        choose("lst_template_field", "template_file");
        choose("lst_generated_field", "page_file");
        box("txt_template_path").setText(path("templates/"));
        box("txt_generated_path").setText(path("site/"));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // The site's fields and folders with these four settings.
    QString write_settings(const QString& name, const std::string& db_type,
                           const std::string& db_name, const std::string& main_type,
                           const std::string& main_name) {
        write_text_file(path(name), "db_type=" + db_type + "\r\ndb_name=" + db_name +
                                        "\r\nmain_type=" + main_type +
                                        "\r\nmain_name=" + main_name +
                                        "\r\ntemplate_field=template_file\r\ngenerated_field="
                                        "page_file\r\ntemplate_path=templates/\r\n"
                                        "generated_path=site/\r\n");
        return path(name);
    }

    QTemporaryDir dir;
    QString previous_folder = QDir::currentPath();
    recording_message_port messages;
    queued_file_dialogs dialogs;
    recording_desktop desktop;
    int ended = 0;
    int exit_interval_ms = 1000;
    int run_event_interval_ms = 20;
    wizard_function wizard;
    std::function<void(QWidget*)> splash;
    std::unique_ptr<frm_main> window;
};

}  // namespace korvane::ui::test
