// SPDX-License-Identifier: Apache-2.0
// The set-up wizard: three pages (database; main table, query or SQL; the two
// fields and folders) that collect a settings record for a new user and hand
// it to the main window. Built and driven without exec(), so tests can click
// through it; show_korvane_wizard only adds the modal display.
#pragma once

#include "data/engine/database.h"
#include "ports/host_ports.h"
#include "data/settings.h"
#include "ui/support/ui_ports.h"
#include "ui/wizard/show_wizard.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace korvane::ui {

class frm_korvane_wizard : public QDialog {
public:
    frm_korvane_wizard(message_port& messages, file_dialog_port& dialogs,
                       QWidget* parent = nullptr);
    ~frm_korvane_wizard() override;

    // Once per opening, before the window is shown: page 1, Access chosen.
    void activate();

    std::int16_t current_step() const { return current_step_; }
    const GenerationSettings& wizard_settings() const { return wizard_settings_; }
    // The record Finish handed over; nothing before Finish or after Cancel.
    const std::optional<GenerationSettings>& handed_over() const { return handed_over_; }

    void show_step(std::int16_t step);
    void update_step_controls(std::int16_t step);

private:
    void build_controls();
    void connect_events();

    bool commit_database_choice();
    // Fills list with the names list_names gives for the open database;
    // empties it when none is open.
    using list_function = void (*)(data::database&, list_port&, message_port&);
    void fill_names(list_port& list, list_function list_names);
    void fill_step2_lists();
    void fill_table_list();
    bool commit_main_choice();

    void next_clicked();
    void previous_clicked();
    void finish_clicked();
    void sys_tables_clicked();
    void database_browse_clicked();
    void folder_browse_clicked(QLineEdit& box, const QString& title);
    // Trims and completes a path box with "/"; false (after the message)
    // when the folder it names does not exist. An empty box passes.
    bool complete_directory(QLineEdit& box, const char* problem);

    message_port& messages_;
    file_dialog_port& dialogs_;

    std::int16_t current_step_ = 1;
    GenerationSettings wizard_settings_;
    std::unique_ptr<data::database> wizard_database_;
    std::unique_ptr<data::record_set> wizard_recordset_;
    std::optional<GenerationSettings> handed_over_;

    QStackedWidget* stack_ = nullptr;
    QFrame* fra_steps_[3] = {};
    QPushButton* cmd_cancel_ = nullptr;
    QPushButton* cmd_previous_ = nullptr;
    QPushButton* cmd_next_ = nullptr;
    QPushButton* cmd_finish_ = nullptr;
    // Page 1
    QRadioButton* opt_access_ = nullptr;
    QRadioButton* opt_dsn_ = nullptr;
    QLineEdit* txt_database_name_ = nullptr;
    QPushButton* cmd_ms_db_browse_ = nullptr;
    QLineEdit* txt_odbc_dsn_ = nullptr;
    // Page 2
    QRadioButton* opt_db_table_ = nullptr;
    QRadioButton* opt_db_query_ = nullptr;
    QRadioButton* opt_db_sql_ = nullptr;
    QComboBox* lst_db_table_ = nullptr;
    QComboBox* lst_db_query_ = nullptr;
    QLineEdit* txt_db_sql_ = nullptr;
    QCheckBox* chk_sys_tables_ = nullptr;
    // Page 3
    QComboBox* lst_field_tmp_ = nullptr;
    QComboBox* lst_field_gen_ = nullptr;
    QLineEdit* txt_field_tmp_ = nullptr;
    QPushButton* cmd_temp_browse_ = nullptr;
    QLineEdit* txt_field_gen_ = nullptr;
    QPushButton* cmd_gen_browse_ = nullptr;
};

}  // namespace korvane::ui
