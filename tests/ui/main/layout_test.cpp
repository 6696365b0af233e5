// SPDX-License-Identifier: Apache-2.0
// The window at its smallest and at a large size: nothing cut, only the boxes
// and the error report take the room; the labels' mnemonics reach the lists.
#include "main_window_fixture.h"

#include <QProgressBar>
#include <QPushButton>
#include <QMenuBar>
#include <QTest>

using layout = main_window_test;

namespace {

// Every visible label and drop-down of the window gets at least the room its
// text asks for.
void expect_nothing_cut(QWidget& window) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&window)) continue;
        SCOPED_TRACE(label->objectName().toStdString() + " " + label->text().toStdString());
        EXPECT_GE(label->width(), label->sizeHint().width());
        EXPECT_GE(label->height(), label->sizeHint().height());
    }
    for (QComboBox* list : window.findChildren<QComboBox*>()) {
        if (!list->isVisibleTo(&window)) continue;
        SCOPED_TRACE(list->objectName().toStdString());
        EXPECT_GE(list->width(), list->minimumSizeHint().width());
    }
}

}  // namespace

TEST_F(layout, at_its_smallest_no_label_or_list_is_cut) {
    window->resize(1, 1);  // held at the minimum size
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), window->minimumSize());
    expect_nothing_cut(*window);
}

TEST_F(layout, only_the_boxes_and_the_report_grow) {
    QCoreApplication::processEvents();
    const int list_width = c("lst_database").width();
    const int box_width = box("txt_template_path").width();
    const int report_height = c<QWidget>("lst_errors").height();
    window->resize(window->width() + 500, window->height() + 300);
    QCoreApplication::processEvents();
    expect_nothing_cut(*window);
    for (const char* list : {"lst_database", "lst_main_table", "lst_template_field"})
        EXPECT_EQ(c(list).width(), list_width) << list;
    EXPECT_EQ(box("txt_template_path").width(), box_width + 500);
    EXPECT_EQ(c<QWidget>("lst_errors").height(), report_height + 300);
}

TEST_F(layout, each_label_takes_its_list_by_a_letter_no_menu_uses) {
    QStringList menu_letters;
    for (QAction* menu : window->menuBar()->actions())
        menu_letters << menu->text().mid(menu->text().indexOf('&') + 1, 1).toLower();
    const std::pair<const char*, const char*> labels[] = {
        {"Label1_0", "lst_database"},
        {"Label1_1", "lst_main_table"},
        {"Label1_2", "lst_template_field"},
        {"Label1_3", "lst_generated_field"}};
    for (const auto& [name, list] : labels) {
        QLabel& label = c<QLabel>(name);
        EXPECT_EQ(label.buddy(), &c(list)) << name;
        const QString letter = label.text().mid(label.text().indexOf('&') + 1, 1).toLower();
        EXPECT_FALSE(menu_letters.contains(letter)) << name;
    }
}

TEST_F(layout, a_long_path_shows_its_end_and_names_all_of_itself_in_the_tip) {
    fill_panel_for_pages();
    const QString long_path = path(QString(60, 'x') + "/templates/");
    window->resize(window->minimumSize());
    box("txt_template_path").setText(long_path);
    EXPECT_EQ(box("txt_template_path").cursorPosition(), long_path.size());
    EXPECT_TRUE(box("txt_template_path").toolTip().endsWith(long_path));
    EXPECT_TRUE(box("txt_template_path").toolTip().startsWith("Path to template(s)"));
}
