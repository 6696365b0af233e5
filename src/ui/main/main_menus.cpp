// SPDX-License-Identifier: Apache-2.0
// The File and Help menus, the wizard's hand-over and a dropped settings file.
#include "ui/main/frm_main.h"

#include "ui/main/panel_model.h"
#include "ui/support/file_dialog.h"
#include "ui/support/qt_text.h"
#include "ui/support/widget_helpers.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <optional>

namespace korvane::ui {
namespace {

const QString settings_filter = QStringLiteral("Korvane Settings (*.kvn) | *.kvn");

}  // namespace


void frm_main::file_new() {
    clear_settings_controls();
    reset_settings(current_database_, current_recordset_, current_settings_);
    set_status(QStringLiteral(" Designing Query"));
}

void frm_main::file_open() {
    if (!services_.dialogs) return;
    const QString path = services_.dialogs->open_file_dialog(
        this, settings_filter, QStringLiteral("Select Korvane Settings File"), QString());
    if (trim_blanks(path).isEmpty()) return;
    open_settings_file(path);
}

void frm_main::open_settings_file(const QString& path) {
    if (!path.endsWith(QStringLiteral(".kvn"))) {
        show_message("Korvane - Invalid file", "This is not a Korvane settings file",
                     message_icon::exclamation);
        return;
    }
    file_new();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (read_settings_file(current_settings_, ss(absolute)) == -1) {
        show_message(
            "Korvane - File error",
            "There were problems trying to read the Korvane settings file: \r\r" + ss(path),
            message_icon::critical);
        return;
    }
    set_caption_from(ss(absolute));
    show_loaded_settings();
}

void frm_main::file_save() {
    if (current_settings_.filename.empty()) {
        file_save_as();
        return;
    }
    write_settings();
}

void frm_main::file_save_as() {
    if (!services_.dialogs) return;
    QString path = services_.dialogs->save_file_dialog(
        this, settings_filter, QStringLiteral("Save Korvane Settings To File"), QString());
    if (trim_blanks(path).isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".kvn"))) path += QStringLiteral(".kvn");
    current_settings_.filename = ss(path);
    set_caption_from(current_settings_.filename);
    write_settings();
}

void frm_main::write_settings() {
    std::string reason;
    if (!write_settings_file(current_settings_, reason))
        show_message("Korvane - File error",
                     "There were problems trying to write the Korvane settings file: \r\r" +
                         current_settings_.filename + "\r" + reason,
                     message_icon::critical);
}

void frm_main::file_exit() {
    if (running_) {
        // The run ends after the page it is writing; then the program ends.
        stop_.request_stop();
        exit_after_run_ = true;
        return;
    }
    end_program();
}

// A close during a run waits for its end, as File > Exit does.
void frm_main::closeEvent(QCloseEvent* event) {
    event->setAccepted(!running_);
    file_exit();
}

void frm_main::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile() &&
        urls.first().toLocalFile().endsWith(QStringLiteral(".kvn")))
        event->acceptProposedAction();
}

void frm_main::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // Opened once the drop has finished, so the source is not kept waiting
    // on a message box.
    QTimer::singleShot(0, this, [this, path] { open_settings_file(path); });
}

// ---------------------------------------------------------------------------
// Run > Wizard...

void frm_main::run_wizard() {
    if (!services_.run_wizard || !services_.messages || !services_.dialogs) return;
    std::optional<GenerationSettings> handed =
        services_.run_wizard(this, *services_.messages, *services_.dialogs);
    if (!handed) return;
    // Emptied first, so an older statement in the SQL box cannot replace the
    // handed-over one; the record comes from no file.
    clear_settings_controls();
    handed->filename.clear();
    set_current_settings(*handed);
    show_loaded_settings();
}

// ---------------------------------------------------------------------------
// Help menu

void frm_main::help_documentation() {
    open_help_file(documentation_file_name, "documentation", "default browser");
}

void frm_main::help_release_notes() {
    open_help_file(release_notes_file_name, "release notes", "default text editor");
}

// The box names the path looked for, whether it is missing or would not open.
void frm_main::open_help_file(const char* name, const std::string& what,
                              const std::string& program) {
    const QString file = QString::fromUtf8(name);
    const QString path = services_.help_file ? services_.help_file(file) : file;
    const bool opened = QFileInfo(path).isFile() && services_.desktop &&
                        services_.desktop->open_url(QUrl::fromLocalFile(path));
    if (!opened)
        show_message("Unable to load " + what + " file",
                     "Unable to open the Korvane " + what + " file (" + ss(path) +
                         ") using your " + program,
                     message_icon::critical);
}

void frm_main::help_about() {
    if (services_.show_about) services_.show_about(this);
}

}  // namespace korvane::ui
