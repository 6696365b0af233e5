// SPDX-License-Identifier: Apache-2.0
#include "ui/support/widget_helpers.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QWidget>

namespace korvane::ui {

QString trim_blanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ') ++first;
    while (last > first && text[last - 1] == u' ') --last;
    return text.mid(first, last - first);
}

void clear_list(QComboBox& list) {
    const QSignalBlocker blocker(list);
    list.clear();
    list.setCurrentIndex(-1);
}

void add_list_items(QComboBox& list, const QStringList& items) {
    const QSignalBlocker blocker(list);
    const int before = list.currentIndex();
    list.addItems(items);
    // Qt makes the first item of an empty box current; the lists never choose.
    if (before == -1) list.setCurrentIndex(-1);
}

void add_list_item(QComboBox& list, const QString& item) {
    add_list_items(list, QStringList{item});
}

void remove_list_item(QComboBox& list, int index) {
    const QSignalBlocker blocker(list);
    const int before = list.currentIndex();
    list.removeItem(index);
    // Removing the current item would make its neighbour current.
    if (before == index) list.setCurrentIndex(-1);
}

void select_list_item(QComboBox& list, int index, const std::function<void()>& on_click) {
    {
        const QSignalBlocker blocker(list);
        list.setCurrentIndex(index);
    }
    if (on_click) on_click();
}

void set_focus_if_possible(QWidget& widget) {
    const QWidget* window = widget.window();
    const bool visible = window == &widget ? !widget.isHidden() : widget.isVisibleTo(window);
    if (widget.isEnabled() && visible) widget.setFocus(Qt::OtherFocusReason);
}

void set_control_enabled(QWidget& control, bool enabled, QPalette::ColorRole off_role) {
    QPalette palette = control.palette();
    // The colours come from the application's palette, so repeated calls do
    // not carry an earlier "off" colour into "on".
    const QPalette base = QGuiApplication::palette();
    const QColor colour = enabled ? base.color(QPalette::Active, QPalette::Base)
                                  : base.color(QPalette::Active, off_role);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, colour);
    control.setPalette(palette);
    control.setEnabled(enabled);
}

wait_cursor::wait_cursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }

wait_cursor::~wait_cursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace korvane::ui
