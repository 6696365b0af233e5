// SPDX-License-Identifier: Apache-2.0
// What the widget tests share: the recorders that stand in for message boxes,
// dialogs and the desktop, SQLite files and text files made on the spot, and
// the lookup and choice of a window's controls by name.
#pragma once

#include "run_test_support.h"  // the message recorder, shared with the run tests
#include "sqlite_test_support.h"
#include "ui/support/ui_ports.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QObject>
#include <QString>
#include <QUrl>

#include <deque>
#include <map>
#include <stdexcept>

// Failures show texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace korvane::ui::test {

using korvane::test::recording_messages;

// Answers each kind of dialog from its own queue; an empty queue answers ""
// (cancelled). Every request is kept.
class queued_file_dialogs final : public file_dialog_port {
public:
    QString ask(QWidget*, const dialog_request& request) override {
        calls.push_back(request);
        auto& queue = answers[request.kind];
        if (queue.empty()) return {};
        const QString answer = queue.front();
        queue.pop_front();
        return answer;
    }
    std::map<dialog_kind, std::deque<QString>> answers;
    std::vector<dialog_request> calls;
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

// The core tests' file helpers, for the paths the widget tests hold.
inline void make_sqlite_file(const QString& path, const std::string& sql) {
    korvane::test::make_sqlite_file(path.toStdString(), sql);
}
inline void write_text_file(const QString& path, const std::string& text) {
    korvane::test::write_file(path.toStdString(), text);
}
inline std::string read_text_file(const QString& path) { return korvane::test::read_file(path.toStdString()); }

// The one descendant of root named `name` of type T; throws (GoogleTest
// reports it as the test's failure) when there is none or more than one.
template <typename T>
T& control(const QObject& root, const QString& name) {
    const auto found = root.findChildren<T*>(name);
    if (found.size() != 1)
        throw std::runtime_error(std::to_string(found.size()) + " controls named " +
                                 name.toStdString());
    return *found.front();
}

inline QStringList items(const QComboBox& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) texts << list.itemText(i);
    return texts;
}

// The user's choice of an item, as Qt reports it.
inline void choose(QComboBox& list, const QString& text) {
    const int index = list.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_TRUE(index >= 0 && list.isEnabled())
        << list.objectName().toStdString() << ": " << text.toStdString();
    list.setCurrentIndex(index);
    emit list.activated(index);
}

}  // namespace korvane::ui::test
