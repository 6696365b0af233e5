// SPDX-License-Identifier: Apache-2.0
// The main window: the settings panel filled from top to bottom (database,
// main table, query or SQL statement, the two fields, the two folders), the
// File, Run and Help menus, the error report and the status line, and the
// program's start-up with its unattended "/auto" run.
#pragma once

#include "data/engine/database.h"
#include "data/engine/record_set.h"
#include "data/settings.h"
#include "ports/stop_token.h"
#include "ui/main/main_services.h"
#include "ui/support/qt_ports.h"

#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>

class QAction;
class QComboBox;
class QCompleter;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStringListModel;
class QTimer;

namespace korvane::ui {

struct run_feed;
class site_preview;

class frm_main final : public QMainWindow {
    Q_OBJECT

public:
    explicit frm_main(main_services services, QWidget* parent = nullptr);
    ~frm_main() override;

    // The whole start-up: reset, control states, splash, the window shown,
    // the command line (the arguments after the program's name) and, for
    // "/auto", a run followed by the count-down.
    void start_up(const QStringList& arguments);

    // -1: nothing usable or the file could not be read; 1: a settings file
    // was read and shown; 2: the same, asking for an unattended run.
    std::int16_t process_command_line(const QStringList& arguments);

    // Stores the record and names the window after its file; the controls
    // are not touched.
    void set_current_settings(const GenerationSettings& settings);
    void show_current_settings();
    void clear_settings_controls();
    void update_control_states();
    void open_named_database(const QString& name);
    void run_main_sql(const QString& text);

    // The menu commands.
    void file_new();
    void file_open();
    // File > Open from the point where a file was chosen (also a dropped file).
    void open_settings_file(const QString& path);
    void file_save();
    void file_save_as();
    void file_exit();
    void generate_pages();
    // Run > Remove stale pages: a run deletes the pages an earlier run of the
    // same settings file wrote and no row names any more.
    bool remove_stale_pages() const;
    // Run > Keep pages in their folders: rows whose template or page lies
    // outside its folder, or behind a link, are refused.
    bool keep_pages_in_folders() const;
    void stop_generation();
    // Run > Preview in browser: the edit loop on a port of this machine.
    void preview_site();
    bool previewing() const;
    void stop_preview();
    void check_templates();
    void run_wizard();
    void help_documentation();
    void help_release_notes();
    void help_about();

    const GenerationSettings& current_settings() const { return current_settings_; }
    bool has_database() const { return current_database_ != nullptr; }
    bool has_recordset() const { return current_recordset_ != nullptr; }
    // The folder relative names are taken from: the settings file's, or the
    // current folder's when there is none.
    std::string base_folder() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void build_controls();
    void build_menus();
    void connect_controls();

    void on_database_click();
    void on_main_table_click();
    void on_main_value_click();
    void on_template_field_click();
    void on_generated_field_click();
    void on_browse_click(int index);
    void refill_field_lists();
    void check_directory_box(QLineEdit& box);
    void on_exit_timer_tick();

    void on_text_changed(QLineEdit& box);
    void on_enter(QLineEdit& box);
    void on_focus_lost(QLineEdit& box);

    void show_loaded_settings();
    void run_generation(const GenerationSettings& settings);
    void release_recordset() { current_recordset_.reset(); }
    void release_database();
    void apply_panel_state();
    // A path box's text, shown from its end, the whole path in its tool tip.
    void set_path_text(QLineEdit& box, const QString& text);
    void set_status(const QString& text);
    void set_caption_from(const std::string& path);
    void write_settings();
    void pump_events() { step_pump_.process_pending_events(); }
    void show_run_feed(run_feed&& feed);
    void end_program();
    void show_message(const std::string& caption, const std::string& text, message_icon icon);
    void open_help_file(const char* name, const std::string& what, const std::string& program);

    main_services services_;
    std::unique_ptr<data::database> current_database_;
    std::unique_ptr<data::record_set> current_recordset_;
    GenerationSettings current_settings_;
    bool loading_settings_ = false;
    GenerationSettings auto_settings_;  // the record an unattended run uses
    std::int16_t exit_countdown_ = 0;

    bool running_ = false;
    bool exit_after_run_ = false;
    bool ended_ = false;
    stop_source stop_;
    int shown_percent_ = -1;
    qt_event_pump step_pump_{0};

    QComboBox* lst_database_ = nullptr;
    QLineEdit* txt_database_name_ = nullptr;
    QCompleter* odbc_completer_ = nullptr;
    QStringListModel* odbc_names_ = nullptr;
    QPushButton* cmd_browse_[3] = {};
    QComboBox* lst_main_table_ = nullptr;
    QComboBox* lst_main_value_ = nullptr;
    QLineEdit* txt_main_table_sql_ = nullptr;
    QComboBox* lst_template_field_ = nullptr;
    QLineEdit* txt_template_path_ = nullptr;
    QComboBox* lst_generated_field_ = nullptr;
    QLineEdit* txt_generated_path_ = nullptr;
    QListWidget* lst_errors_ = nullptr;
    QLabel* lbl_status_ = nullptr;
    QProgressBar* prg_run_ = nullptr;
    QTimer* tim_exit_timer_ = nullptr;

    // The menu items whose state changes.
    QAction* mnu_run_gen_ = nullptr;
    QAction* mnu_run_preview_ = nullptr;
    QAction* mnu_run_stop_ = nullptr;
    QAction* mnu_run_clean_ = nullptr;
    QAction* mnu_run_confine_ = nullptr;

    std::unique_ptr<site_preview> preview_;
};

// What a command line asks for, worked out without a window: the arguments
// joined, quotes removed, "/auto" told apart from the settings file.
struct command_line_request {
    QString line;            // the arguments joined with blanks, without quotes
    bool automatic = false;  // "/auto" in front
    QString file;            // the settings file named
};
command_line_request parse_command_line(const QStringList& arguments);

}  // namespace korvane::ui
