// A main window over recorders, in a temporary folder with a small SQLite
// site: pages (two rows), other (one of the two fields), empty, a view, the
// system-looking tables MSysObjects and msysLower, templates/ and site/.
#pragma once

#include "ui/main/frm_main.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace korvane::ui::test {

// Runs each statement on a new SQLite file; fails the test on an error.
void make_sqlite_file(const QString& path, const std::vector<std::string>& statements);
void write_text_file(const QString& path, const std::string& text);
std::string read_text_file(const QString& path);

class main_window_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new window (after changing services) that has run its start-up.
    void make_window(const QStringList& arguments = {});
    main_services services();

    template <typename T>
    T& c(const char* name) {
        return control<T>(*window, QString::fromUtf8(name));
    }
    QComboBox& combo(const char* name) { return c<QComboBox>(name); }
    QLineEdit& box(const char* name) { return c<QLineEdit>(name); }
    QAction& action(const char* name) { return c<QAction>(name); }
    QString status() { return c<QLabel>("lbl_status").text(); }
    QStringList items(const char* name);
    QStringList error_lines();

    // A user's choice in a drop-down list.
    void choose(const char* list, const QString& text);
    void choose(const char* list, int index);
    void press_enter(const char* name);
    void lose_focus(const char* name, Qt::FocusReason reason = Qt::TabFocusReason);
    // Access Database, the site's database typed and Enter.
    void open_site_database();
    // The whole panel for pages: database, Table, pages, both fields.
    void fill_panel_for_pages();
    QString path(const QString& name) const { return dir.filePath(name); }
    // A settings file in the temporary folder; relative names as given.
    QString write_settings(const QString& name, const std::string& db_type,
                           const std::string& db_name, const std::string& main_type,
                           const std::string& main_name, const std::string& template_field,
                           const std::string& generated_field,
                           const std::string& template_path = "templates/",
                           const std::string& generated_path = "site/");
    std::vector<std::string> captions() const;

    QTemporaryDir dir;
    QString previous_folder;
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
