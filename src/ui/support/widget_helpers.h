// SPDX-License-Identifier: Apache-2.0
// Small rules every window of Korvane keeps: lists are filled and emptied
// without selecting anything or signalling, code that selects calls the list's
// click handling itself, the focus goes only where it can, the hourglass is
// always put back, and the colours of enabled and disabled boxes.
#pragma once

#include <QPalette>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QListWidget;
class QWidget;

namespace korvane::ui {

// The text without its leading and trailing blanks; a tab or line break typed
// into a box is the user's text and stays.
QString trim_blanks(const QString& text);

// Empties the list with its signals blocked; no item is left selected.
void clear_list(QComboBox& list);
// Adds the items with signals blocked; the current index stays -1 when it
// was -1 (Qt would select the first item added to an empty box).
void add_list_items(QComboBox& list, const QStringList& items);
void add_list_item(QComboBox& list, const QString& item);
// Removes one item with signals blocked.
void remove_list_item(QComboBox& list, int index);
// Selects index (-1: none) with signals blocked, then calls on_click, also
// when the index did not change.
void select_list_item(QComboBox& list, int index, const std::function<void()>& on_click);

// The control with its object name (the name tests look it up by) and tooltip.
template <typename Widget>
Widget* named(Widget* widget, const char* name, const QString& tool_tip = {}) {
    widget->setObjectName(QString::fromUtf8(name));
    if (!tool_tip.isEmpty()) widget->setToolTip(tool_tip);
    return widget;
}

// Moves the focus to widget when it is enabled and visible to its window.
void set_focus_if_possible(QWidget& widget);

// Sets the box's Base colour ("on": the palette's Base colour, "off": the
// palette's off_role colour: Window in the main window, Button in the wizard)
// and then enables or disables it.
void set_control_enabled(QWidget& control, bool enabled,
                         QPalette::ColorRole off_role = QPalette::Window);

// The hourglass for the life of the guard; a message box shown meanwhile
// shows the arrow (message_box_adapter restores it around the box).
class wait_cursor {
public:
    wait_cursor();
    ~wait_cursor();
    wait_cursor(const wait_cursor&) = delete;
    wait_cursor& operator=(const wait_cursor&) = delete;
};

}  // namespace korvane::ui
