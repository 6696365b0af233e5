// SPDX-License-Identifier: Apache-2.0
#include "ui/wizard/frm_korvane_wizard.h"

#include "data/global.h"
#include "data/odbc/odbc_sources.h"
#include "data/text_helpers.h"
#include "ui/support/file_dialog.h"
#include "ui/support/qt_ports.h"
#include "ui/support/widget_helpers.h"
#include "ui/wizard/wizard_model.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <iterator>
#include <utility>

namespace korvane::ui {

namespace {

bool has_selection(const QComboBox& list) { return list.currentIndex() >= 0; }

std::string selected_text(const QComboBox& list) {
    return has_selection(list) ? list.currentText().toStdString() : std::string();
}

QLabel* title_label(const QString& text, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QLabel* wrapped_label(const QString& text, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

QLabel* plain_label(const QString& text, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

// A page's layout under its bold title and its description.
QVBoxLayout* page_layout(QFrame* page, QLabel* title, QLabel* description) {
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(title);
    layout->addWidget(description);
    return layout;
}

// A grid added to a page, its middle column taking the width.
QGridLayout* add_grid(QVBoxLayout* page) {
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    page->addLayout(grid);
    return grid;
}

QPushButton* button(const QString& caption, const char* name, const QString& tool_tip = {}) {
    auto* result = named(new QPushButton(caption), name, tool_tip);
    // Only the button the wizard names is the default one.
    result->setAutoDefault(false);
    return result;
}

}  // namespace

frm_korvane_wizard::frm_korvane_wizard(message_port& messages, file_dialog_port& dialogs,
                                       QWidget* parent)
    : QDialog(parent), messages_(messages), dialogs_(dialogs) {
    setObjectName("frm_korvane_wizard");
    build_controls();
    connect_events();
}

frm_korvane_wizard::~frm_korvane_wizard() = default;

void frm_korvane_wizard::build_controls() {
    cmd_cancel_ = button("Cancel", "cmd_cancel", "Close Korvane");
    cmd_previous_ = button("< &Previous", "cmd_previous", "Go back a step");
    cmd_next_ = button("&Next >", "cmd_next", "Move to the next step");
    cmd_finish_ = button("&Finish", "cmd_finish", "Generate the web pages");
    cmd_previous_->setEnabled(false);
    cmd_next_->setEnabled(false);
    cmd_finish_->setEnabled(false);
    cmd_next_->setDefault(true);

    stack_ = new QStackedWidget;
    for (int index = 0; index < 3; ++index) {
        fra_steps_[index] = new QFrame;
        fra_steps_[index]->setObjectName(QStringLiteral("fra_steps_%1").arg(index));
        fra_steps_[index]->setFrameShape(QFrame::NoFrame);
        stack_->addWidget(fra_steps_[index]);
    }

    // Page 1: the database.
    opt_access_ = named(new QRadioButton("&Database file"), "opt_access",
                        "Choose this to use a database file (Access or SQLite)");
    opt_dsn_ = named(new QRadioButton("&ODBC DSN"), "opt_dsn");
    txt_database_name_ = named(new QLineEdit, "txt_database_name",
                               "Enter the full path and filename of your database file");
    cmd_ms_db_browse_ = button("...", "cmd_ms_db_browse");
    txt_odbc_dsn_ = named(new QLineEdit, "txt_odbc_dsn");
    {
        QStringList names;
        for (const auto& name : data::odbc_data_source_names())
            names << QString::fromStdString(name);
        auto* completer = new QCompleter(names, txt_odbc_dsn_);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        txt_odbc_dsn_->setCompleter(completer);
    }
    auto* page1 =
        page_layout(fra_steps_[0], title_label("DATABASE", "lbl_step1_title"),
                    wrapped_label("Choose the database file (Access .mdb/.accdb or SQLite) or the "
                                  "ODBC data source you want to generate pages from:",
                                  "lbl_step1_desc"));
    auto* grid1 = add_grid(page1);
    grid1->addWidget(opt_access_, 0, 0);
    grid1->addWidget(txt_database_name_, 0, 1);
    grid1->addWidget(cmd_ms_db_browse_, 0, 2);
    grid1->addWidget(opt_dsn_, 1, 0);
    grid1->addWidget(txt_odbc_dsn_, 1, 1);
    page1->addStretch(1);
    auto* database_group = new QButtonGroup(this);
    database_group->addButton(opt_access_);
    database_group->addButton(opt_dsn_);

    // Page 2: the main table, query or SQL statement.
    opt_db_table_ = named(new QRadioButton("Table"), "opt_db_table",
                          "Choose this if your database has a table with the template and "
                          "generated pages in");
    opt_db_query_ = named(new QRadioButton("Query"), "opt_db_query",
                          "Choose this if your database has a query with the template and "
                          "generated pages in");
    opt_db_sql_ = named(new QRadioButton("SQL"), "opt_db_sql",
                        "Choose this if your want to specify some SQL to generate the main table");
    lst_db_table_ = named(new QComboBox, "lst_db_table", "Choose the table from the database");
    lst_db_query_ = named(new QComboBox, "lst_db_query", "Choose the query from the database");
    txt_db_sql_ = named(new QLineEdit, "txt_db_sql",
                        "Enter SQL to generate the main table (this must include a template name "
                        "and generated file(s)");
    chk_sys_tables_ = named(new QCheckBox("Show Access system tables"), "chk_sys_tables",
                            "Filter out the MS Access system tables");
    auto* page2 =
        page_layout(fra_steps_[1], title_label("MAIN TABLE", "Label2"),
                    wrapped_label("You now need to choose either a table, query, or enter a SQL "
                                  "statement where each row corresponds to a page you want "
                                  "generated:",
                                  "Label1"));
    auto* grid2 = add_grid(page2);
    grid2->addWidget(opt_db_table_, 0, 0);
    grid2->addWidget(lst_db_table_, 0, 1);
    grid2->addWidget(opt_db_query_, 1, 0);
    grid2->addWidget(lst_db_query_, 1, 1);
    grid2->addWidget(opt_db_sql_, 2, 0);
    grid2->addWidget(txt_db_sql_, 2, 1);
    grid2->addWidget(chk_sys_tables_, 3, 1);
    page2->addStretch(1);
    auto* main_group = new QButtonGroup(this);
    main_group->addButton(opt_db_table_);
    main_group->addButton(opt_db_query_);
    main_group->addButton(opt_db_sql_);

    // Page 3: the two fields and the two folders.
    lst_field_tmp_ =
        named(new QComboBox, "lst_field_tmp", "Choose the field containing the template names");
    lst_field_gen_ = named(new QComboBox, "lst_field_gen",
                           "Choose the field containing the generated file names");
    txt_field_tmp_ = named(new QLineEdit, "txt_field_tmp",
                           "If the field above do not contain a full path to the template, enter "
                           "one here");
    cmd_temp_browse_ = button("...", "cmd_temp_browse");
    txt_field_gen_ = named(new QLineEdit, "txt_field_gen",
                           "If the field above do not contain a full path to the generated file, "
                           "enter one here");
    cmd_gen_browse_ = button("...", "cmd_gen_browse");
    auto* page3 =
        page_layout(fra_steps_[2], title_label("TEMPLATE and GENERATED files", "Label3"),
                    wrapped_label("Now choose the fields which hold the template name and "
                                  "generated file name:",
                                  "Label4"));
    auto* fields = add_grid(page3);
    fields->addWidget(plain_label("Template field:", "lbl_temp"), 0, 0);
    fields->addWidget(lst_field_tmp_, 0, 1);
    fields->addWidget(plain_label("Generated field:", "lbl_gen"), 1, 0);
    fields->addWidget(lst_field_gen_, 1, 1);
    page3->addWidget(
        wrapped_label("If you don't specify a path to the template or generated file "
                      "in the database fields above, you'll need to specify a target "
                      "directories below:",
                      "Label7"));
    auto* folders = add_grid(page3);
    folders->addWidget(plain_label("Template path:", "Label8"), 0, 0);
    folders->addWidget(txt_field_tmp_, 0, 1);
    folders->addWidget(cmd_temp_browse_, 0, 2);
    folders->addWidget(plain_label("Generated path:", "Label9"), 1, 0);
    folders->addWidget(txt_field_gen_, 1, 1);
    folders->addWidget(cmd_gen_browse_, 1, 2);
    page3->addStretch(1);

    for (auto* browse : {cmd_ms_db_browse_, cmd_temp_browse_, cmd_gen_browse_})
        browse->setFixedWidth(browse->fontMetrics().horizontalAdvance("...") * 3);

    auto* line = new QFrame;
    line->setObjectName("lin_buttons");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmd_cancel_);
    buttons->addStretch(1);
    buttons->addWidget(cmd_previous_);
    buttons->addWidget(cmd_next_);
    buttons->addSpacing(12);
    buttons->addWidget(cmd_finish_);

    auto* window = new QVBoxLayout(this);
    window->addWidget(stack_, 1);
    window->addWidget(line);
    window->addLayout(buttons);
    setMinimumWidth(540);

    QWidget* const tab_order[] = {
        cmd_finish_,        cmd_next_,      cmd_previous_,  opt_access_,       opt_dsn_,
        txt_database_name_, txt_odbc_dsn_,  opt_db_table_,  opt_db_query_,     opt_db_sql_,
        lst_db_table_,      lst_db_query_,  txt_db_sql_,    chk_sys_tables_,   lst_field_tmp_,
        lst_field_gen_,     txt_field_tmp_, txt_field_gen_, cmd_ms_db_browse_, cmd_temp_browse_,
        cmd_gen_browse_,    cmd_cancel_};
    for (std::size_t index = 1; index < std::size(tab_order); ++index)
        setTabOrder(tab_order[index - 1], tab_order[index]);
}

void frm_korvane_wizard::connect_events() {
    connect(cmd_next_, &QPushButton::clicked, this, [this] { next_clicked(); });
    connect(cmd_previous_, &QPushButton::clicked, this, [this] { previous_clicked(); });
    connect(cmd_finish_, &QPushButton::clicked, this, [this] { finish_clicked(); });
    connect(cmd_cancel_, &QPushButton::clicked, this, &QDialog::reject);

    const auto update = [this] { update_step_controls(current_step_); };
    for (auto* option : {opt_access_, opt_dsn_, opt_db_table_, opt_db_query_, opt_db_sql_})
        connect(option, &QRadioButton::clicked, this, update);
    // A choice by the user arrives through activated; code that fills or
    // selects never raises it.
    for (auto* list : {lst_db_table_, lst_db_query_, lst_field_tmp_, lst_field_gen_})
        connect(list, &QComboBox::activated, this, update);
    connect(txt_db_sql_, &QLineEdit::textChanged, this, update);
    connect(txt_database_name_, &QLineEdit::textChanged, this,
            [this](const QString& text) { cmd_next_->setEnabled(!text.isEmpty()); });
    connect(txt_odbc_dsn_, &QLineEdit::textChanged, this,
            [this](const QString& text) { cmd_next_->setEnabled(!text.isEmpty()); });

    connect(chk_sys_tables_, &QCheckBox::clicked, this, [this] { sys_tables_clicked(); });
    connect(cmd_ms_db_browse_, &QPushButton::clicked, this, [this] { database_browse_clicked(); });
    connect(cmd_temp_browse_, &QPushButton::clicked, this, [this] {
        folder_browse_clicked(*txt_field_tmp_, "Select the directory containing the template(s)");
    });
    connect(cmd_gen_browse_, &QPushButton::clicked, this, [this] {
        folder_browse_clicked(*txt_field_gen_, "Select the directory for the generated files");
    });
}

void frm_korvane_wizard::activate() {
    current_step_ = 1;
    // With no option chosen, Next would reuse an earlier database: start with
    // the first option, whose click handling the page update below covers.
    opt_access_->setChecked(true);
    show_step(current_step_);
    update_step_controls(current_step_);
}

void frm_korvane_wizard::show_step(std::int16_t step) {
    setWindowTitle(QStringLiteral("Step %1 of 3").arg(step));
    if (step >= 1 && step <= 3) stack_->setCurrentIndex(step - 1);
    if (step == 2 && !has_selection(*lst_db_table_) && !has_selection(*lst_db_query_))
        fill_step2_lists();
}

void frm_korvane_wizard::update_step_controls(std::int16_t step) {
    wizard_inputs in;
    in.step = step;
    in.dsn = opt_dsn_->isChecked();
    in.database_name_text = !txt_database_name_->text().isEmpty();
    in.odbc_dsn_text = !txt_odbc_dsn_->text().isEmpty();
    in.main_option = opt_db_table_->isChecked()   ? 0
                     : opt_db_query_->isChecked() ? 1
                     : opt_db_sql_->isChecked()   ? 2
                                                  : -1;
    in.table_chosen = has_selection(*lst_db_table_);
    in.query_chosen = has_selection(*lst_db_query_);
    in.sql_text = !txt_db_sql_->text().isEmpty();
    in.template_field_chosen = has_selection(*lst_field_tmp_);
    in.generated_field_chosen = has_selection(*lst_field_gen_);
    const wizard_state out = wizard_state_for(in);
    if (!out.known_step) return;

    cmd_previous_->setEnabled(out.previous);
    cmd_next_->setEnabled(out.next);
    cmd_finish_->setEnabled(out.finish);
    if (step == 3) {
        cmd_finish_->setDefault(out.finish_default);
        cmd_next_->setDefault(!out.finish_default);
    }
    constexpr auto off_role = QPalette::Button;
    // Only the inputs of the page shown change.
    const std::pair<QWidget*, bool> inputs[3][3] = {
        {{txt_database_name_, out.database_name}, {txt_odbc_dsn_, out.odbc_dsn}, {}},
        {{lst_db_table_, out.table_list}, {lst_db_query_, out.query_list}, {txt_db_sql_, out.sql_box}},
        {{txt_field_tmp_, out.template_path}, {txt_field_gen_, out.generated_path}, {}}};
    for (const auto& [control, on] : inputs[step - 1])
        if (control) set_control_enabled(*control, on, off_role);
    if (!out.focus.empty())
        set_focus_if_possible(*findChild<QWidget*>(QString::fromStdString(out.focus)));
    if (out.take_fields) {
        wizard_settings_.template_field = selected_text(*lst_field_tmp_);
        wizard_settings_.generated_field = selected_text(*lst_field_gen_);
        wizard_settings_.template_path = txt_field_tmp_->text().toStdString();
        wizard_settings_.generated_path = txt_field_gen_->text().toStdString();
    }
}

bool frm_korvane_wizard::commit_database_choice() {
    if (opt_access_->isChecked()) {
        wizard_settings_.database_type = 0;
        wizard_settings_.database_name = txt_database_name_->text().toStdString();
    } else if (opt_dsn_->isChecked()) {
        wizard_settings_.database_type = 1;
        wizard_settings_.database_name = txt_odbc_dsn_->text().toStdString();
    }
    wait_cursor hourglass;
    return global::open_database(wizard_database_, wizard_settings_.database_type,
                                 wizard_settings_.database_name, messages_) == 0;
}

void frm_korvane_wizard::fill_names(list_port& list, list_function list_names) {
    if (!wizard_database_) {
        list.clear();
        return;
    }
    wait_cursor hourglass;
    list_names(*wizard_database_, list, messages_);
}

void frm_korvane_wizard::fill_table_list() {
    combo_list_adapter tables(*lst_db_table_);
    fill_names(tables, global::list_tables);
    if (!chk_sys_tables_->isChecked()) global::remove_system_tables(tables);
}

void frm_korvane_wizard::fill_step2_lists() {
    combo_list_adapter queries(*lst_db_query_);
    fill_names(queries, global::list_queries);
    fill_table_list();
}

void frm_korvane_wizard::sys_tables_clicked() {
    // Only the table list: the states and Next stay as they were.
    fill_table_list();
}

bool frm_korvane_wizard::commit_main_choice() {
    if (opt_db_query_->isChecked()) {
        wizard_settings_.main_type = 1;
        wizard_settings_.main_name = selected_text(*lst_db_query_);
    } else if (opt_db_table_->isChecked()) {
        wizard_settings_.main_type = 0;
        wizard_settings_.main_name = selected_text(*lst_db_table_);
    } else if (opt_db_sql_->isChecked()) {
        wizard_settings_.main_type = 2;
        wizard_settings_.main_name = txt_db_sql_->text().toStdString();
    }
    if (!wizard_database_) return false;
    {
        wait_cursor hourglass;
        wizard_recordset_.reset();
        if (global::open_main_result(*wizard_database_, wizard_recordset_,
                                     wizard_settings_.main_type, wizard_settings_.main_name,
                                     messages_) == -1)
            return false;
    }
    if (!wizard_recordset_) return false;
    combo_list_adapter template_fields(*lst_field_tmp_);
    combo_list_adapter generated_fields(*lst_field_gen_);
    global::list_fields(*wizard_recordset_, template_fields);
    global::list_fields(*wizard_recordset_, generated_fields);
    return true;
}

void frm_korvane_wizard::next_clicked() {
    if (current_step_ == 1) {
        if (commit_database_choice()) current_step_ = 2;
    } else if (current_step_ == 2) {
        if (commit_main_choice()) current_step_ = 3;
    } else {
        return;
    }
    show_step(current_step_);
    update_step_controls(current_step_);
}

void frm_korvane_wizard::previous_clicked() {
    if (current_step_ <= 1) return;
    --current_step_;
    show_step(current_step_);
    update_step_controls(current_step_);
}

bool frm_korvane_wizard::complete_directory(QLineEdit& box, const char* problem) {
    const QString trimmed = trim_blanks(box.text());
    if (trimmed.isEmpty()) return true;
    if (!trimmed.endsWith(u'/') && !trimmed.endsWith(u'\\')) box.setText(trimmed + u'/');
    // Relative folders are taken from the current folder, as the main window
    // takes them for a record that comes from no file.
    const QFileInfo folder(
        QString::fromStdString(resolve_path(box.text().toStdString(), std::string())));
    if (folder.isDir()) return true;
    messages_.show_message("Korvane - Directory does not exist",
                           std::string(problem) + "\r  " + box.text().toStdString(),
                           message_icon::exclamation);
    return false;
}

void frm_korvane_wizard::finish_clicked() {
    const bool template_ok =
        complete_directory(*txt_field_tmp_, "The template directory does not exist:");
    // Checked even after a failure, so both problems are told at once.
    const bool generated_ok =
        complete_directory(*txt_field_gen_, "The generated files directory does not exist:");
    update_step_controls(current_step_);
    if (template_ok && generated_ok) {
        handed_over_ = wizard_settings_;
        handed_over_->filename.clear();
        accept();
        return;
    }
    show_step(current_step_);
    update_step_controls(current_step_);
}

void frm_korvane_wizard::database_browse_clicked() {
    if (!opt_access_->isChecked()) {
        opt_access_->setChecked(true);
        update_step_controls(current_step_);
    }
    const QString name =
        dialogs_.open_file_dialog(this, database_file_filter, "Select an access database", QString());
    if (trim_blanks(name).isEmpty()) {
        set_focus_if_possible(*txt_database_name_);
        return;
    }
    // Judged by what the file holds, as the run judges it, not by its name.
    const QString refusal = database_file_refusal(name);
    if (refusal.isEmpty()) {
        txt_database_name_->setText(name);
        txt_database_name_->setCursorPosition(static_cast<int>(name.size()));
        set_focus_if_possible(*cmd_next_);
        return;
    }
    messages_.show_message("Korvane - Invalid file", refusal.toStdString(),
                           message_icon::exclamation);
    set_focus_if_possible(*txt_database_name_);
}

void frm_korvane_wizard::folder_browse_clicked(QLineEdit& box, const QString& title) {
    // The dialog starts at the folder the box names; with none, at the current
    // folder, which relative names are taken from.
    const QString typed = trim_blanks(box.text());
    const QString start =
        typed.isEmpty() ? QDir::currentPath()
                        : QString::fromStdString(resolve_path(typed.toStdString(), std::string()));
    const QString folder = dialogs_.browse_for_folder(this, title, start);
    if (trim_blanks(folder).isEmpty()) return;
    box.setText(folder);
    set_focus_if_possible(*cmd_finish_);
}

}  // namespace korvane::ui
