// SPDX-License-Identifier: Apache-2.0
// What the windows need of the desktop, as small interfaces: the file and
// folder dialogs, opening a file or address, ending the program. The program
// plugs in Qt's; widget tests plug in recorders with queued answers, so no
// test ever blocks on a real dialog.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace korvane::ui {

// What a window asks of a file or folder dialog.
enum class dialog_kind { open, save, folder };
struct dialog_request {
    dialog_kind kind = dialog_kind::open;
    QString filter;  // in the windows' own form; "" for the folder dialog
    QString title;
    QString folder;  // the initial directory, or the folder dialog's start
};

// The module `file_dialog`'s three operations, all answered by ask(); ""
// means cancelled. One entry point keeps the program's dialogs and a test's
// queued answers to a single override.
class file_dialog_port {
public:
    virtual ~file_dialog_port() = default;
    virtual QString ask(QWidget* owner, const dialog_request& request) = 0;

    QString open_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                             const QString& initial_directory) {
        return ask(owner, {dialog_kind::open, filter, title, initial_directory});
    }
    QString save_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                             const QString& initial_directory) {
        return ask(owner, {dialog_kind::save, filter, title, initial_directory});
    }
    QString browse_for_folder(QWidget* owner, const QString& title, const QString& start_folder) {
        return ask(owner, {dialog_kind::folder, {}, title, start_folder});
    }
};

// Opens a file or web address with the desktop's program for it.
class desktop_port {
public:
    virtual ~desktop_port() = default;
    // False when nothing could be started.
    virtual bool open_url(const QUrl& url) = 0;
};

// Ends the program (by default QCoreApplication::exit(0)).
using end_program_function = std::function<void()>;

}  // namespace korvane::ui
