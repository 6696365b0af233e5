// The list rules the windows rely on: code fills, empties and removes without
// choosing an item or signalling; code that selects calls the click handling.
#include "ui/support/qt_ports.h"
#include "ui/support/widget_helpers.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QSignalSpy>

using namespace korvane;
using namespace korvane::ui;

TEST(list_rules, filling_emptying_and_removing_neither_select_nor_signal) {
    QComboBox box;
    QSignalSpy changed(&box, &QComboBox::currentIndexChanged);
    QSignalSpy activated(&box, &QComboBox::activated);

    add_list_items(box, {"Customers", "Orders"});
    EXPECT_EQ(box.currentIndex(), -1);
    add_list_item(box, "Products");
    EXPECT_EQ(box.currentIndex(), -1);
    ASSERT_EQ(box.count(), 3);

    // With an item chosen, a fill keeps it and a removal of another keeps it.
    box.setCurrentIndex(1);
    changed.clear();
    add_list_item(box, "Shippers");
    remove_list_item(box, 0);
    EXPECT_EQ(box.currentText(), "Orders");
    // Removing the chosen item leaves none chosen, not its neighbour.
    remove_list_item(box, box.currentIndex());
    EXPECT_EQ(box.currentIndex(), -1);

    clear_list(box);
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(activated.count(), 0);

    // The port does the same for the core.
    combo_list_adapter port(box);
    port.add_item("Employees");
    port.add_item("Région");
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(port.count(), 2);
    EXPECT_EQ(port.item(1), "Région");
    EXPECT_EQ(port.item(5), "");
    port.remove_item(0);
    EXPECT_EQ(port.item(0), "Région");
    port.clear();
    EXPECT_EQ(port.count(), 0);
    EXPECT_EQ(changed.count(), 0);
}

TEST(list_rules, selecting_from_code_calls_the_click_handling_even_when_unchanged) {
    QComboBox box;
    add_list_items(box, {"a", "b"});
    QSignalSpy changed(&box, &QComboBox::currentIndexChanged);
    int clicks = 0;
    select_list_item(box, 1, [&] { ++clicks; });
    EXPECT_EQ(box.currentIndex(), 1);
    select_list_item(box, 1, [&] { ++clicks; });
    EXPECT_EQ(clicks, 2);
    select_list_item(box, -1, [&] { ++clicks; });
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(changed.count(), 0);
}

TEST(list_rules, error_report_lines_go_into_the_list_box_in_order) {
    QListWidget list;
    list_box_error_target target(list);
    log_errors report;
    report.set_error_list(&target);
    report.add_error_line("Template file not found");
    report.add_error_line("    Template: <none>.html");
    report.add_blank_error_line();
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(1)->text(), "    Template: <none>.html");
    EXPECT_EQ(list.item(2)->text(), "");
    report.clear_error_list();
    EXPECT_EQ(list.count(), 0);
}

TEST(message_box, carriage_returns_become_line_breaks) {
    EXPECT_EQ(message_box_text("a\r\rb\r\nc\nd<e>"), "a\n\nb\nc\nd<e>");
}
