// SPDX-License-Identifier: Apache-2.0
// The settings panel: a record into the controls and back, the cascade of
// database, main table and field lists, the browse buttons, the directory
// check and the text boxes' change, Enter and leaving.
#include "ui/main/frm_main.h"

#include "data/global.h"
#include "data/text_helpers.h"
#include "ui/main/panel_model.h"
#include "ui/support/file_dialog.h"
#include "ui/support/qt_text.h"
#include "ui/support/widget_helpers.h"

#include <QAction>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>

namespace korvane::ui {


void frm_main::set_current_settings(const GenerationSettings& settings) {
    current_settings_ = settings;
    setWindowTitle(qs(window_caption(current_settings_.filename)));
}

void frm_main::show_current_settings() {
    const std::int16_t type = current_settings_.database_type;
    if (type < -1 || type > 1) {
        show_message("Korvane - Invalid setting",
                     "Invalid database type specified in settings file", message_icon::critical);
        select_list_item(*lst_database_, -1, [this] { on_database_click(); });
        reset_settings(current_database_, current_recordset_, current_settings_);
        update_control_states();
        set_focus_if_possible(*txt_database_name_);
        return;
    }
    select_list_item(*lst_database_, type, [this] { on_database_click(); });
    set_path_text(*txt_database_name_, qs(current_settings_.database_name));
    open_named_database(txt_database_name_->text());

    if (!current_database_) {
        const std::int16_t kept = current_settings_.database_type;
        reset_settings(current_database_, current_recordset_, current_settings_);
        current_settings_.database_type = kept;
        update_control_states();
        set_focus_if_possible(*txt_database_name_);
        return;
    }

    const std::int16_t main_type = current_settings_.main_type;
    select_list_item(*lst_main_table_, main_type >= -1 && main_type <= 2 ? main_type : -1,
                     [this] { on_main_table_click(); });
    if (main_type == 0 || main_type == 1) {
        lst_main_value_->setVisible(true);
        txt_main_table_sql_->setVisible(false);
        const std::string name = current_settings_.main_name;
        const int index =
            lst_main_value_->findText(qs(name), Qt::MatchExactly | Qt::MatchCaseSensitive);
        select_list_item(*lst_main_value_, index, [this] { on_main_value_click(); });
        if (index < 0)
            show_message("Korvane - Error loading settings",
                         std::string(main_type == 0 ? "The table, '" : "The query, '") + name +
                             "', could not be found in this database. Check your settings",
                         message_icon::exclamation);
    } else if (main_type == 2) {
        lst_main_value_->setVisible(false);
        txt_main_table_sql_->setVisible(true);
        const QString sql = qs(current_settings_.main_name);
        txt_main_table_sql_->setText(sql);
        run_main_sql(sql);
    }

    select_list_item(*lst_template_field_,
                     lst_template_field_->findText(qs(current_settings_.template_field),
                                                   Qt::MatchExactly | Qt::MatchCaseSensitive),
                     [this] { on_template_field_click(); });
    select_list_item(*lst_generated_field_,
                     lst_generated_field_->findText(qs(current_settings_.generated_field),
                                                    Qt::MatchExactly | Qt::MatchCaseSensitive),
                     [this] { on_generated_field_click(); });
    set_path_text(*txt_template_path_, qs(current_settings_.template_path));
    set_path_text(*txt_generated_path_, qs(current_settings_.generated_path));
    check_directory_box(*txt_template_path_);
    check_directory_box(*txt_generated_path_);
}

// The record as read: the lists it selects keep the names it holds.
void frm_main::show_loaded_settings() {
    loading_settings_ = true;
    show_current_settings();
    loading_settings_ = false;
}

void frm_main::clear_settings_controls() {
    // Each step raises the handling of its control, as a user's change would.
    select_list_item(*lst_database_, -1, [this] { on_database_click(); });
    txt_database_name_->clear();
    select_list_item(*lst_main_table_, -1, [this] { on_main_table_click(); });
    lst_main_value_->setVisible(true);
    txt_main_table_sql_->setVisible(false);
    set_control_enabled(*txt_main_table_sql_, false);
    clear_list(*lst_main_value_);
    txt_main_table_sql_->clear();
    clear_list(*lst_template_field_);
    clear_list(*lst_generated_field_);
    txt_template_path_->clear();
    txt_generated_path_->clear();
    setWindowTitle(QStringLiteral("Korvane"));
}

void frm_main::update_control_states() {
    panel_inputs in;
    in.settings = current_settings_;
    in.database_choice = lst_database_->currentIndex();
    in.main_choice = lst_main_table_->currentIndex();
    in.database_open = current_database_ != nullptr;
    in.recordset_open = current_recordset_ != nullptr;
    in.template_field_chosen = lst_template_field_->currentIndex() >= 0;
    in.generated_field_chosen = lst_generated_field_->currentIndex() >= 0;
    const panel_state out = panel_state_for(in);

    set_control_enabled(*txt_database_name_, out.database_name);
    for (int i = 0; i < 3; ++i) cmd_browse_[i]->setEnabled(out.browse[i]);
    set_control_enabled(*lst_main_table_, out.main_table);
    set_control_enabled(*lst_main_value_, out.main_value);
    set_control_enabled(*txt_main_table_sql_, out.main_sql);
    lst_main_value_->setVisible(!out.sql_shown);
    txt_main_table_sql_->setVisible(out.sql_shown);
    set_control_enabled(*lst_template_field_, out.template_field);
    set_control_enabled(*lst_generated_field_, out.generated_field);
    set_control_enabled(*txt_template_path_, out.template_path);
    set_control_enabled(*txt_generated_path_, out.generated_path);
    mnu_run_gen_->setEnabled(out.generate);
    set_status(qs(out.status));
}

void frm_main::on_database_click() {
    current_settings_.database_type = static_cast<std::int16_t>(lst_database_->currentIndex());
    release_database();
    // Data source names are offered while an ODBC DSN is typed.
    if (current_settings_.database_type == 1) {
        QStringList names;
        if (services_.odbc_sources)
            for (const std::string& n : services_.odbc_sources()) names << qs(n);
        odbc_names_->setStringList(names);
        txt_database_name_->setCompleter(odbc_completer_);
    } else {
        txt_database_name_->setCompleter(nullptr);
    }
    update_control_states();
}

void frm_main::release_database() {
    current_recordset_.reset();
    if (current_database_) global::close_database(current_database_);
}

void frm_main::open_named_database(const QString& name) {
    if (trim_blanks(name).isEmpty()) return;
    {
        wait_cursor hourglass;
        set_status(QStringLiteral(" Opening database..."));
        pump_events();
        current_settings_.database_name = ss(name);
        // A result of the database being replaced goes with it.
        release_recordset();
        std::string target = current_settings_.database_name;
        if (current_settings_.database_type == 0) target = resolve_path(target, base_folder());
        const std::int16_t result = global::open_database(
            current_database_, current_settings_.database_type, target, *services_.messages);
        update_control_states();
        if (result == -1) {
            set_focus_if_possible(*txt_database_name_);
        } else {
            if (current_settings_.main_name.empty())
                select_list_item(*lst_main_table_, -1, [this] { on_main_table_click(); });
            if (!loading_settings_) {
                current_settings_.main_name.clear();
                // The lists below belonged to the database before: fill them
                // afresh, so Generate never stays on for an emptied main name.
                release_recordset();
                if (lst_main_table_->currentIndex() >= 0) on_main_table_click();
                update_control_states();
            }
        }
    }
}

void frm_main::on_main_table_click() {
    current_settings_.main_type = static_cast<std::int16_t>(lst_main_table_->currentIndex());
    if (!current_database_) return;
    const bool tables = current_settings_.main_type == 0;
    if (tables || current_settings_.main_type == 1) {
        wait_cursor hourglass;
        set_status(tables ? QStringLiteral(" Retrieving list of tables (could take some time)...")
                          : QStringLiteral(" Retrieving list of queries (could take some time)..."));
        pump_events();
        release_recordset();
        combo_list_adapter list(*lst_main_value_);
        if (tables) {
            global::list_tables(*current_database_, list, *services_.messages);
            global::remove_system_tables(list);
        } else {
            global::list_queries(*current_database_, list, *services_.messages);
        }
        if (!loading_settings_) current_settings_.main_name.clear();
    } else if (current_settings_.main_type == 2) {
        if (!txt_main_table_sql_->text().isEmpty()) {
            run_main_sql(txt_main_table_sql_->text());
        } else {
            release_recordset();
            if (!loading_settings_) current_settings_.main_name.clear();
        }
    }
    update_control_states();
}

void frm_main::on_main_value_click() {
    if (lst_main_value_->currentIndex() >= 0) {
        set_status(QStringLiteral(" Loading recordset..."));
        wait_cursor hourglass;
        pump_events();
        current_settings_.main_name = ss(lst_main_value_->currentText());
        std::int16_t result = -1;
        if (current_database_)
            result = global::open_main_result(*current_database_, current_recordset_,
                                              current_settings_.main_type,
                                              current_settings_.main_name, *services_.messages);
        if (result >= 0) {
            // A result over the row limit also counts 0; only a really empty
            // one is worth the warning.
            if (result == 0 && current_recordset_ && current_recordset_->record_count() == 0)
                show_message("Warning", "There are no records in this table",
                             message_icon::information);
            refill_field_lists();
        } else {
            set_focus_if_possible(*lst_main_value_);
        }
    }
    update_control_states();
}

void frm_main::run_main_sql(const QString& text) {
    if (trim_blanks(text).isEmpty()) return;
    wait_cursor hourglass;
    set_status(QStringLiteral(" Executing SQL..."));
    pump_events();
    current_settings_.main_name = ss(txt_main_table_sql_->text());
    std::int16_t result = -1;
    if (current_database_)
        result = global::open_main_result(*current_database_, current_recordset_,
                                          current_settings_.main_type, current_settings_.main_name,
                                          *services_.messages);
    // The field lists follow the result in the control states.
    if (result < 0) {
        set_focus_if_possible(*txt_main_table_sql_);
    } else {
        set_status(QStringLiteral(" Populating field lists..."));
        refill_field_lists();
    }
    update_control_states();
}

void frm_main::refill_field_lists() {
    const bool had_selection =
        lst_template_field_->currentIndex() >= 0 || lst_generated_field_->currentIndex() >= 0;
    if (current_recordset_) {
        combo_list_adapter templates(*lst_template_field_);
        global::list_fields(*current_recordset_, templates);
        combo_list_adapter generated(*lst_generated_field_);
        global::list_fields(*current_recordset_, generated);
    }
    if (had_selection) {
        auto keep = [](QComboBox& list, std::string& field, const std::function<void()>& click) {
            if (field.empty()) return;
            const int index = list.findText(qs(field), Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (index >= 0)
                select_list_item(list, index, click);
            else
                field.clear();
        };
        keep(*lst_template_field_, current_settings_.template_field,
             [this] { on_template_field_click(); });
        keep(*lst_generated_field_, current_settings_.generated_field,
             [this] { on_generated_field_click(); });
    } else if (!loading_settings_) {
        current_settings_.template_field.clear();
        current_settings_.generated_field.clear();
    }
}

void frm_main::on_template_field_click() {
    current_settings_.template_field = lst_template_field_->currentIndex() >= 0
                                           ? ss(lst_template_field_->currentText())
                                           : std::string();
    update_control_states();
}

void frm_main::on_generated_field_click() {
    current_settings_.generated_field = lst_generated_field_->currentIndex() >= 0
                                            ? ss(lst_generated_field_->currentText())
                                            : std::string();
    update_control_states();
}

void frm_main::on_browse_click(int index) {
    if (!services_.dialogs) return;
    if (index == 0) {
        const QString path = services_.dialogs->open_file_dialog(
            this, database_file_filter, QStringLiteral("Select an access database"), QString());
        const QString refusal = trim_blanks(path).isEmpty() ? QString() : database_file_refusal(path);
        if (!refusal.isEmpty()) {
            show_message("Korvane - Invalid file", ss(refusal), message_icon::exclamation);
            set_focus_if_possible(*txt_database_name_);
        } else if (!trim_blanks(path).isEmpty()) {
            set_path_text(*txt_database_name_, path);
            open_named_database(path);
            set_focus_if_possible(*lst_main_table_);
        } else {
            set_focus_if_possible(*txt_database_name_);
        }
        return;
    }
    QLineEdit& box = index == 1 ? *txt_template_path_ : *txt_generated_path_;
    const QString title = index == 1
                              ? QStringLiteral("Select the directory containing the template(s)")
                              : QStringLiteral("Select the directory for the generated files");
    const QString named = trim_blanks(box.text());
    const QString start =
        named.isEmpty() ? QDir::homePath() : qs(resolve_path(ss(named), base_folder()));
    const QString folder = services_.dialogs->browse_for_folder(this, title, start);
    if (trim_blanks(folder).isEmpty()) return;
    set_path_text(box, folder);
    check_directory_box(box);
}

void frm_main::check_directory_box(QLineEdit& box) {
    const QString trimmed = trim_blanks(box.text());
    if (trimmed.isEmpty()) return;
    if (!trimmed.endsWith(u'/') && !trimmed.endsWith(u'\\')) box.setText(trimmed + u'/');
    // The text as the box holds it, blanks and all: that is what the run
    // will put in front of every template and page name.
    const std::string text = ss(box.text());
    if (!path_exists(resolve_path(text, base_folder())))
        show_message("Korvane - Directory does not exist",
                     std::string(&box == txt_template_path_
                                     ? "The template directory does not exist:"
                                     : "The generated files directory does not exist:") +
                         "\r  " + text,
                     message_icon::exclamation);
}

void frm_main::set_path_text(QLineEdit& box, const QString& text) {
    box.setText(text);
    box.setCursorPosition(static_cast<int>(text.size()));
}

// ---------------------------------------------------------------------------
// The text boxes: change, Enter and losing the focus

void frm_main::on_text_changed(QLineEdit& box) {
    if (&box == txt_database_name_) {
        update_control_states();
    } else if (&box == txt_main_table_sql_) {
        update_control_states();
        release_recordset();
    } else if (&box == txt_template_path_) {
        current_settings_.template_path = ss(box.text());
    } else if (&box == txt_generated_path_) {
        current_settings_.generated_path = ss(box.text());
    }
    // A long path shows its end in the box and the whole of it here.
    const QString tip = box.property("fixed_tip").toString();
    box.setToolTip(box.text().isEmpty() || &box == txt_main_table_sql_ ? tip
                                                                       : tip + u'\n' + box.text());
}

void frm_main::on_enter(QLineEdit& box) {
    if (&box == txt_database_name_)
        open_named_database(box.text());
    else if (&box == txt_main_table_sql_)
        run_main_sql(box.text());
}

void frm_main::on_focus_lost(QLineEdit& box) {
    if (&box == txt_database_name_) {
        if (ss(box.text()) != current_settings_.database_name) open_named_database(box.text());
    } else if (&box == txt_main_table_sql_) {
        update_control_states();
        if (ss(box.text()) != current_settings_.main_name) run_main_sql(box.text());
    } else {
        check_directory_box(box);
    }
}

bool frm_main::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box) return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            (box == txt_database_name_ || box == txt_main_table_sql_)) {
            // A completion popup takes its own Enter first.
            if (box->completer() && box->completer()->popup() &&
                box->completer()->popup()->isVisible())
                return false;
            on_enter(*box);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Not a real leaving: a message box or popup took the focus for a
        // while, the window went to the background, or the box itself was
        // just disabled or hidden.
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return false;
        if (!box->isEnabled() || !box->isVisibleTo(this)) return false;
        QWidget* next = QApplication::focusWidget();
        if (next && next->window() != window()) return false;
        on_focus_lost(*box);
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace korvane::ui
