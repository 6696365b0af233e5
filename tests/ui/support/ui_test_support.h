// Recorders that stand in for message boxes, dialogs and the desktop in the
// widget tests, and a lookup of a window's controls by name.
#pragma once

#include "data/ports.h"
#include "ui/support/ui_ports.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvane::ui::test {

struct recorded_message {
    std::string caption;
    std::string text;
    message_icon icon = message_icon::none;
};

// Keeps every message instead of showing a box.
class recording_message_port final : public message_port {
public:
    void show_message(const std::string& caption, const std::string& text,
                      message_icon icon) override {
        messages.push_back({caption, text, icon});
    }
    std::vector<recorded_message> messages;
};

class recording_status_port final : public status_port {
public:
    void set_status(const std::string& text) override { texts.push_back(text); }
    std::string last() const { return texts.empty() ? std::string() : texts.back(); }
    std::vector<std::string> texts;
};

enum class dialog_kind { open, save, folder };

struct recorded_dialog {
    dialog_kind kind = dialog_kind::open;
    QString filter;  // empty for the folder dialog
    QString title;
    QString folder;  // the initial directory or start folder
};

// Answers each dialog from its own queue; an empty queue answers "" (cancel).
class queued_file_dialogs final : public file_dialog_port {
public:
    QString open_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                             const QString& initial_directory) override;
    QString save_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                             const QString& initial_directory) override;
    QString browse_for_folder(QWidget* owner, const QString& title,
                              const QString& start_folder) override;

    std::deque<QString> open_answers;
    std::deque<QString> save_answers;
    std::deque<QString> folder_answers;
    std::vector<recorded_dialog> calls;
};

// Records the addresses it is asked to open and answers `result`.
class recording_desktop final : public desktop_port {
public:
    bool open_url(const QUrl& url) override {
        urls.push_back(url);
        return result;
    }
    std::vector<QUrl> urls;
    bool result = true;
};

// The one descendant of root named `name` of type T. Throws (GoogleTest
// reports it as the test's failure) when there is none or more than one.
template <typename T>
T& control(const QObject& root, const QString& name) {
    const auto found = root.findChildren<T*>(name);
    if (found.size() != 1) {
        throw std::runtime_error((found.isEmpty() ? "no " : "more than one ") +
                                 std::string(T::staticMetaObject.className()) + " named '" +
                                 name.toStdString() + "' in " + root.objectName().toStdString() +
                                 " (" + root.metaObject()->className() + ")");
    }
    return *found.front();
}

}  // namespace korvane::ui::test
