// SPDX-License-Identifier: Apache-2.0
// Scenarios a window goes through, read from a case table: one step a line,
// "scenario<TAB>step<TAB>controls<TAB>value[<TAB>icon]". Steps act as a user:
//   click (a button or menu item), type, choose, enter, leave [popup|window],
//   answer open|save|folder (queue a dialog's answer), play (another scenario);
// or check what shows, for each control named (blank-separated):
//   on / off (enabled), is / not (the boolean property named by the value:
//   checked, default), visible / hidden, base on|off (the Base colour of an
//   enabled / a disabled box), chosen (the list's text, "" for none);
// or for one: items (joined with "|"), text (the title for "window"), focus,
//   message (the last one's caption, text and icon), caption (its caption),
//   messages (how many), asked (the last dialog's kind and title), file
//   (the file holds the value), holds (an item of the list widget holds the
//   value; also a list's), lines (its items, joined with "|"); or for each file
//   named, exists / missing (under the test's folder).
// "$DIR" stands for the test's folder, "$DATA" for the shared test data.
#pragma once

#include "support/case_table.h"
#include "ui_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

#include <set>

namespace korvane::ui::test {

struct ui_script {
    QWidget& root;
    const recording_messages& messages;
    queued_file_dialogs& dialogs;
    QString dir;
    QPalette::ColorRole off_colour = QPalette::Window;

    void run(const std::string& table, const std::string& scenario) const {
        int steps = 0;
        for (const auto& row : korvane::test::read_case_table(table, 3)) {
            if (row[0] != scenario) continue;
            SCOPED_TRACE(row.where);
            ++steps;
            const auto field = [&](std::size_t i) {
                return i < row.fields.size() ? QString::fromStdString(row[i])
                                                     .replace("$DIR", dir)
                                                     .replace("$DATA", KORVANE_TESTDATA_DIR)
                                             : QString();
            };
            if (row[1] == "play")
                run(table, row[2]);
            else
                step(row[1], field(2), field(3), field(4));
        }
        EXPECT_GT(steps, 0) << "no scenario " << scenario;
    }

private:
    static constexpr const char* icons[] = {"none", "critical", "exclamation", "information"};
    static constexpr const char* kinds[] = {"open", "save", "folder"};

    void step(const std::string& step, const QString& name, const QString& value,
              const QString& icon) const {
        if (step == "click") {
            if (auto* action = root.findChild<QAction*>(name))
                action->trigger();
            else
                control<QAbstractButton>(root, name).click();
        } else if (step == "type") {
            control<QLineEdit>(root, name).setText(value);
        } else if (step == "choose") {
            choose(control<QComboBox>(root, name), value);
        } else if (step == "enter") {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
            QCoreApplication::sendEvent(&control<QLineEdit>(root, name), &press);
        } else if (step == "leave") {
            QFocusEvent out(QEvent::FocusOut, value == "popup"    ? Qt::PopupFocusReason
                                              : value == "window" ? Qt::ActiveWindowFocusReason
                                                                  : Qt::TabFocusReason);
            QCoreApplication::sendEvent(&control<QLineEdit>(root, name), &out);
        } else if (step == "answer") {
            for (int kind = 0; kind < 3; ++kind)
                if (name == kinds[kind])
                    dialogs.answers[static_cast<dialog_kind>(kind)].push_back(value);
        } else if (std::set<std::string>{"on", "off", "is", "not", "visible", "hidden", "base",
                                         "chosen"}
                       .contains(step)) {
            for (const QString& each : name.split(' ', Qt::SkipEmptyParts)) {
                QObject& object = control<QObject>(root, each);
                auto* widget = qobject_cast<QWidget*>(&object);
                auto* list = qobject_cast<QComboBox*>(&object);
                const auto role = value == "on" ? QPalette::Base : off_colour;
                SCOPED_TRACE(each.toStdString());
                if (step == "on" || step == "off")
                    EXPECT_EQ(object.property("enabled").toBool(), step == "on");
                else if (step == "is" || step == "not")
                    EXPECT_EQ(object.property(value.toUtf8()).toBool(), step == "is");
                else if (step == "chosen")
                    EXPECT_EQ(list ? list->currentText() : "<no list>", value);
                else if (step == "base")
                    EXPECT_EQ(widget->palette().color(QPalette::Base),
                              QGuiApplication::palette().color(role));
                else
                    EXPECT_EQ(widget->isVisibleTo(&root), step == "visible");
            }
        } else if (step == "items") {
            EXPECT_EQ(items(control<QComboBox>(root, name)).join('|'), value);
        } else if (step == "text") {
            EXPECT_EQ(name == "window" ? root.windowTitle()
                                       : control<QObject>(root, name).property("text").toString(),
                      value);
        } else if (step == "focus") {
            EXPECT_EQ(root.focusWidget() ? root.focusWidget()->objectName() : "", name);
        } else if (step == "message" || step == "caption") {
            ASSERT_FALSE(messages.shown.empty());
            const auto& last = messages.shown.back();
            EXPECT_EQ(last.caption, name.toStdString());
            EXPECT_TRUE(step == "caption" || last.text == value.toStdString()) << last.text;
            EXPECT_TRUE(icon.isEmpty() || icon == icons[static_cast<int>(last.icon)]);
        } else if (step == "messages") {
            EXPECT_EQ(messages.shown.size(), name.toUInt());
        } else if (step == "asked") {
            ASSERT_FALSE(dialogs.calls.empty());
            EXPECT_EQ(kinds[static_cast<int>(dialogs.calls.back().kind)], name);
            EXPECT_EQ(dialogs.calls.back().title, value);
        } else if (step == "file") {
            EXPECT_TRUE(QString::fromStdString(read_text_file(name)).contains(value));
        } else if (step == "holds" || step == "lines") {
            QStringList lines;
            if (auto* list = root.findChild<QComboBox*>(name)) {
                lines = items(*list);
            } else {
                for (int i = 0; i < control<QListWidget>(root, name).count(); ++i)
                    lines << control<QListWidget>(root, name).item(i)->text();
            }
            EXPECT_TRUE(step == "holds" ? lines.filter(value).size() > 0 : lines.join('|') == value)
                << lines.join('\n').toStdString();
        } else if (step == "exists" || step == "missing") {
            for (const QString& each : name.split(' ', Qt::SkipEmptyParts))
                EXPECT_EQ(QFileInfo::exists(dir + "/" + each), step == "exists") << each.toStdString();
        } else {
            ADD_FAILURE() << "unknown step " << step;
        }
    }
};

}  // namespace korvane::ui::test
