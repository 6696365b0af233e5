// Scenarios a window goes through, read from a case table: one step a line,
// "scenario<TAB>step<TAB>controls<TAB>value". Steps act as a user does or
// check what the window shows:
//   click, type, choose, enter, leave [popup|window]: the user's actions;
//   answer open|save|folder: queue a dialog's answer (value "" cancels);
//   on / off: every control named (blank-separated) is enabled / disabled;
//   is / not: ... has / lacks the boolean property named by the value
//     (checked, default);
//   base on|off: those controls have the Base colour of an enabled / a
//     disabled box; visible / hidden: shown with the window or not;
//   chosen: the lists' chosen text ("" for none); items: the list's items
//     joined with "|"; text: the control's text (the window's title for
//     "window"); focus: the control with the focus;
//   message: the last message's caption, text and (a fifth field) icon;
//     caption: its caption only;
//   messages: how many there are.
// "$DIR" in a value stands for the test's folder.
#pragma once

#include "support/case_table.h"
#include "ui_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>

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
            QString value = row.fields.size() > 3 ? QString::fromStdString(row[3]) : QString();
            value.replace("$DIR", dir);
            step(row[1], QString::fromStdString(row[2]), value,
                 row.fields.size() > 4 ? row[4] : "");
        }
        EXPECT_GT(steps, 0) << "no scenario " << scenario;
    }

private:
    void step(const std::string& step, const QString& name, const QString& value,
              const std::string& icon) const {
        if (step == "click") {
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
            const auto kind = name == "open"   ? dialog_kind::open
                              : name == "save" ? dialog_kind::save
                                               : dialog_kind::folder;
            dialogs.answers[kind].push_back(value);
        } else if (step == "on" || step == "off" || step == "is" || step == "not" ||
                   step == "visible" || step == "hidden" || step == "base" || step == "chosen") {
            for (const QString& each : name.split(' ', Qt::SkipEmptyParts)) {
                QObject& object = control<QObject>(root, each);
                auto* widget = qobject_cast<QWidget*>(&object);
                if (step == "on" || step == "off")
                    EXPECT_EQ(object.property("enabled").toBool(), step == "on")
                        << each.toStdString();
                else if (step == "is" || step == "not")
                    EXPECT_EQ(object.property(value.toUtf8()).toBool(), step == "is")
                        << each.toStdString() << " " << value.toStdString();
                else if (step == "chosen")
                    EXPECT_EQ(control<QComboBox>(root, each).currentText(), value)
                        << each.toStdString();
                else if (step == "base")
                    EXPECT_EQ(widget->palette().color(QPalette::Base),
                              QGuiApplication::palette().color(value == "on" ? QPalette::Base
                                                                             : off_colour))
                        << each.toStdString();
                else
                    EXPECT_EQ(widget->isVisibleTo(&root), step == "visible") << each.toStdString();
            }
        } else if (step == "items") {
            EXPECT_EQ(items(control<QComboBox>(root, name)).join('|'), value);
        } else if (step == "text") {
            EXPECT_EQ(name == "window" ? root.windowTitle()
                                       : control<QObject>(root, name).property("text").toString(),
                      value);
        } else if (step == "focus") {
            EXPECT_EQ(root.focusWidget() ? root.focusWidget()->objectName() : "", name);
        } else if (step == "message") {
            ASSERT_FALSE(messages.shown.empty());
            EXPECT_EQ(messages.shown.back().caption, name.toStdString());
            EXPECT_EQ(messages.shown.back().text, value.toStdString());
            const char* icons[] = {"none", "critical", "exclamation", "information"};
            const std::string shown = icons[static_cast<int>(messages.shown.back().icon)];
            EXPECT_TRUE(icon.empty() || shown == icon) << shown;
        } else if (step == "caption") {
            ASSERT_FALSE(messages.shown.empty());
            EXPECT_EQ(messages.shown.back().caption, name.toStdString());
        } else if (step == "messages") {
            EXPECT_EQ(messages.shown.size(), name.toUInt());
        } else {
            ADD_FAILURE() << "unknown step " << step;
        }
    }
};

}  // namespace korvane::ui::test
