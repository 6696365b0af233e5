// SPDX-License-Identifier: Apache-2.0
// The list rules the windows rely on: code fills, empties and removes without
// choosing an item or signalling; code that selects calls the click handling.
// Message boxes and the event pump as the windows use them.
#include "ui/support/qt_ports.h"
#include "ui/support/widget_helpers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace korvane;
using namespace korvane::ui;

TEST(list_rules, filling_emptying_and_removing_neither_select_nor_signal) {
    QComboBox box;
    QSignalSpy changed(&box, &QComboBox::currentIndexChanged);
    QSignalSpy activated(&box, &QComboBox::activated);
    add_list_items(box, {"Customers", "Orders"});
    EXPECT_EQ(box.currentIndex(), -1);
    combo_list_adapter port(box);  // the core's road into the list
    port.add_item("Products");
    EXPECT_EQ(box.currentIndex(), -1);

    // With an item chosen, a fill keeps it and a removal of another keeps it.
    box.setCurrentIndex(1);
    changed.clear();
    add_list_item(box, "Shippers");
    port.remove_item(0);
    EXPECT_EQ(box.currentText(), "Orders");
    // Removing the chosen item leaves none chosen, not its neighbour.
    remove_list_item(box, box.currentIndex());
    EXPECT_EQ(box.currentIndex(), -1);
    clear_list(box);
    EXPECT_EQ(box.count() + changed.count() + activated.count(), 0);
}

TEST(list_rules, selecting_from_code_calls_the_click_handling_even_when_unchanged) {
    QComboBox box;
    add_list_items(box, {"a", "b"});
    QSignalSpy changed(&box, &QComboBox::currentIndexChanged);
    int clicks = 0;
    for (const int index : {1, 1, -1}) {
        select_list_item(box, index, [&] { ++clicks; });
        EXPECT_EQ(box.currentIndex(), index);
    }
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(changed.count(), 0);
}

TEST(message_box, shows_plain_text_with_line_breaks_and_the_arrow_under_the_hourglass) {
    EXPECT_EQ(message_box_text("a\r\rb\r\nc\nd<e>"), "a\n\nb\nc\nd<e>");

    QWidget owner;
    message_box_adapter messages(&owner);
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    Qt::CursorShape cursor = Qt::BlankCursor;
    const wait_cursor hourglass;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        format = box->textFormat();
        cursor = QGuiApplication::overrideCursor()->shape();
        box->button(QMessageBox::Ok)->click();
    });
    messages.show_message("Korvane - Invalid SQL", "SELECT * FROM <t>\rline 2",
                          message_icon::exclamation);
    EXPECT_EQ(caption, "Korvane - Invalid SQL");
    EXPECT_EQ(text, "SELECT * FROM <t>\nline 2");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(cursor, Qt::ArrowCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
}

TEST(event_pump, skips_calls_that_come_sooner_than_its_interval) {
    int delivered = 0;
    const auto post_and_pump = [&](qt_event_pump& pump) {
        QMetaObject::invokeMethod(
            qApp, [&] { ++delivered; }, Qt::QueuedConnection);
        pump.process_pending_events();
    };
    qt_event_pump slow(60000), every_time;
    post_and_pump(slow);
    EXPECT_EQ(delivered, 1);
    post_and_pump(slow);
    EXPECT_EQ(delivered, 1);
    post_and_pump(every_time);
    EXPECT_EQ(delivered, 3);
}
