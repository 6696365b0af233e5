// SPDX-License-Identifier: Apache-2.0
// The module `file_dialog`: Qt's file and folder dialogs behind the windows'
// three operations, the desktop's "open" for files and addresses, and where
// the documentation files are found.
#pragma once

#include "ui/support/ui_ports.h"

#include <QString>
#include <QStringList>

namespace korvane::ui {

// The windows' filter text ("MS Access Database (*.mdb) | *.mdb | ...", with
// or without a final "|") as Qt's name filters ("MS Access Database (*.mdb)").
// The pattern half decides what is listed: a description that does not end
// in its own patterns gets them appended in parentheses.
QStringList qt_name_filters(const QString& filter);

// The suffix a saved name gets when it has none: the extension of the
// filter's first pattern ("kvn" for "*.kvn"), or "" for "*" and "*.*".
QString default_suffix(const QString& filter);

// QFileDialog behind the three operations. Save adds the default suffix
// before the overwrite question, so the question is about the file that will
// be written. The folder dialog starts at the request's folder when it is one,
// else at the home folder, and answers without a final "/" (but the root).
class qt_file_dialog final : public file_dialog_port {
public:
    QString ask(QWidget* owner, const dialog_request& request) override;
};

// QDesktopServices::openUrl.
class qt_desktop final : public desktop_port {
public:
    bool open_url(const QUrl& url) override;
};

// The database files both windows open: every kind at once (so no database
// file is hidden), then each kind, then any file.
inline constexpr const char* database_file_filter =
    "Database files (*.mdb *.accdb *.sqlite *.sqlite3 *.db) | "
    "*.mdb;*.accdb;*.sqlite;*.sqlite3;*.db | "
    "MS Access Database (*.mdb) | *.mdb | Access 2007 and later (*.accdb) | *.accdb | "
    "SQLite database (*.sqlite *.sqlite3 *.db) | *.sqlite;*.sqlite3;*.db | All files (*) | *";

// Why a chosen file is not taken as a database, judged by its contents as a
// run judges it (a name says nothing); "" when it is a database file.
QString database_file_refusal(const QString& path);

inline constexpr const char* documentation_file_name = "korvane_documentation.html";
inline constexpr const char* release_notes_file_name = "release notes.txt";

// The folders searched for the documentation files, in order: the program's
// own folder, ../share/doc/korvane beside it, the installed documentation
// folder.
QStringList documentation_folders();
// The first existing file `name` in folders; "" when there is none.
QString find_file_in(const QStringList& folders, const QString& name);
// The full path of the documentation, or "" when it is not found.
QString documentation_file_path();

}  // namespace korvane::ui
