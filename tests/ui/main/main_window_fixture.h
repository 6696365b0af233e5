// SPDX-License-Identifier: Apache-2.0
// A main window over recorders, in a temporary folder with a small SQLite
// site (site.sql), templates/ and site/.
#pragma once

#include "ui/main/frm_main.h"
#include "ui_script.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>

#include <memory>

namespace korvane::ui::test {

class main_window_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        make_sqlite_file(path("site.sqlite"), read_text_file(KORVANE_SOURCE_DIR "/tests/ui/main/site.sql"));
        QDir(dir.path()).mkpath("templates");
        QDir(dir.path()).mkpath("site");
        write_text_file(path("templates/page.html"), "<p><!--MAIN_FIELD=title--></p>\r\n");
        services.messages = &messages;
        services.dialogs = &dialogs;
        services.desktop = &desktop;
        services.end_program = [this] { ++ended; };
        services.odbc_sources = [] { return std::vector<std::string>{"bookshop", "sales"}; };
        services.help_file = [this](const QString& name) { return path(name); };
        make_window();
    }
    void TearDown() override {
        window.reset();
        QDir::setCurrent(previous_folder);
    }

    // A new window over `services` that has started up.
    void make_window(const QStringList& arguments = {}) {
        window.reset();
        window = std::make_unique<frm_main>(services);
        window->start_up(arguments);
    }

    template <typename T = QComboBox>
    T& c(const char* name) {
        return control<T>(*window, QString::fromUtf8(name));
    }
    QLineEdit& box(const char* name) { return c<QLineEdit>(name); }
    bool generate_enabled() { return c<QAction>("mnu_run_gen").isEnabled(); }
    QString status() { return c<QLabel>("lbl_status").text(); }
    QStringList report() {
        QStringList lines;
        for (int i = 0; i < c<QListWidget>("lst_errors").count(); ++i)
            lines << c<QListWidget>("lst_errors").item(i)->text();
        return lines;
    }
    // The last message (throws when there is none).
    const korvane::test::shown_message& last() const {
        return messages.shown.at(messages.shown.size() - 1);
    }

    // The user leaving a box.
    void lose_focus(const char* name, Qt::FocusReason reason = Qt::TabFocusReason) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(&box(name), &out);
    }
    // Database, Table, pages, both fields; the folders as full paths.
    void fill_panel_for_pages() { script().run(scenarios, "fill"); }
    ui_script script() { return {*window, messages, dialogs, dir.path()}; }
    QString path(const QString& name) const { return dir.filePath(name); }
    // A settings file with these four settings and the site's fields and folders.
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
    recording_messages messages;
    queued_file_dialogs dialogs;
    recording_desktop desktop;
    int ended = 0;
    main_services services;
    std::unique_ptr<frm_main> window;
    const std::string scenarios = "ui/main/main_window_scenarios.tsv";
};

}  // namespace korvane::ui::test

// The window tests name the window's types, the core's records and these
// helpers unqualified.
using namespace korvane;
using namespace korvane::ui;
using namespace korvane::ui::test;
