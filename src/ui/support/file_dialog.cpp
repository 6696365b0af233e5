// SPDX-License-Identifier: Apache-2.0
#include "ui/support/file_dialog.h"

#include "data/engine/database.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace korvane::ui {

namespace {

// The filter's texts between the "|", blanks around them dropped; a final
// "|" gives no empty last text.
QStringList filter_parts(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    for (QString& part : parts) part = part.trimmed();
    if (!parts.isEmpty() && parts.back().isEmpty()) parts.removeLast();
    return parts;
}

QStringList patterns_of(const QString& pattern_text) {
    QStringList patterns =
        pattern_text.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts);
    return patterns;
}

}  // namespace

QStringList qt_name_filters(const QString& filter) {
    const QStringList parts = filter_parts(filter);
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = patterns_of(parts[i + 1]).join(QLatin1Char(' '));
        if (patterns.isEmpty()) continue;
        const QString own = QStringLiteral("(") + patterns + QStringLiteral(")");
        if (description.endsWith(own))
            result << description;
        else if (description.isEmpty())
            result << own;
        else
            result << description + QLatin1Char(' ') + own;
    }
    return result;
}

QString default_suffix(const QString& filter) {
    const QStringList parts = filter_parts(filter);
    if (parts.size() < 2) return {};
    const QStringList patterns = patterns_of(parts[1]);
    if (patterns.isEmpty()) return {};
    const QString& first = patterns.front();
    if (!first.startsWith(QStringLiteral("*."))) return {};
    const QString suffix = first.mid(2);
    // "*.*" and "*.htm?" name no one suffix.
    if (suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')) ||
        suffix.contains(QLatin1Char('[')))
        return {};
    return suffix;
}

namespace {

QString choose_folder(QWidget* owner, const QString& title, const QString& start_folder) {
    const QString start = !start_folder.isEmpty() && QFileInfo(start_folder).isDir()
                              ? start_folder
                              : QDir::homePath();
    QString folder =
        QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder;
}

}  // namespace

QString qt_file_dialog::ask(QWidget* owner, const dialog_request& request) {
    if (request.kind == dialog_kind::folder)
        return choose_folder(owner, request.title, request.folder);
    QFileDialog dialog(owner, request.title, request.folder);
    const QStringList filters = qt_name_filters(request.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (request.kind == dialog_kind::save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(default_suffix(request.filter));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

bool qt_desktop::open_url(const QUrl& url) { return QDesktopServices::openUrl(url); }

QStringList documentation_folders() {
    const QString program_folder = QCoreApplication::applicationDirPath();
    QStringList folders{program_folder,
                        QDir::cleanPath(program_folder + QStringLiteral("/../share/doc/korvane"))};
    const QString installed = QStringLiteral(KORVANE_INSTALL_DOCDIR);
    if (!installed.isEmpty() && !folders.contains(QDir::cleanPath(installed)))
        folders << QDir::cleanPath(installed);
    return folders;
}

QString find_file_in(const QStringList& folders, const QString& name) {
    for (const QString& folder : folders) {
        const QFileInfo file(QDir(folder), name);
        if (file.isFile()) return file.absoluteFilePath();
    }
    return {};
}

QString documentation_file_path() {
    return find_file_in(documentation_folders(), QString::fromLatin1(documentation_file_name));
}

QString database_file_refusal(const QString& path) {
    switch (data::judge_database_file(path.toStdString())) {
        case data::database_file_kind::sqlite:
        case data::database_file_kind::access:
            return {};
        case data::database_file_kind::unreadable:
            return QStringLiteral("This file cannot be read");
        case data::database_file_kind::other:
            break;
    }
    return QStringLiteral("This is neither an Access nor an SQLite database");
}

}  // namespace korvane::ui
