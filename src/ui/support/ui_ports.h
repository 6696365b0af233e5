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

// The module `file_dialog`'s three operations. Filters are in the windows'
// own form ("MS Access Database (*.mdb) | *.mdb"); "" means cancelled.
class file_dialog_port {
public:
    virtual ~file_dialog_port() = default;
    virtual QString open_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                                     const QString& initial_directory) = 0;
    virtual QString save_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                                     const QString& initial_directory) = 0;
    virtual QString browse_for_folder(QWidget* owner, const QString& title,
                                      const QString& start_folder) = 0;
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
