// SPDX-License-Identifier: Apache-2.0
#include "ui/support/qt_ports.h"

#include "ui/support/widget_helpers.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QMessageBox>

namespace korvane::ui {

QString message_box_text(const std::string& text) {
    QString result = QString::fromStdString(text);
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

namespace {

QMessageBox::Icon box_icon(message_icon icon) {
    switch (icon) {
        case message_icon::critical:
            return QMessageBox::Critical;
        case message_icon::exclamation:
            return QMessageBox::Warning;
        case message_icon::information:
            return QMessageBox::Information;
        case message_icon::none:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void message_box_adapter::show_message(const std::string& caption, const std::string& text,
                                       message_icon icon) {
    QMessageBox box(box_icon(icon), QString::fromStdString(caption), message_box_text(text),
                    QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    // The arrow over the box, whatever the work behind it has set.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QGuiApplication::restoreOverrideCursor();
}

void qt_event_pump::process_pending_events() {
    if (interval_ > 0 && since_last_.isValid() && since_last_.elapsed() < interval_) return;
    QCoreApplication::processEvents();
    since_last_.start();
}

void combo_list_adapter::clear() { clear_list(box_); }

void combo_list_adapter::add_item(const std::string& text) {
    add_list_item(box_, QString::fromStdString(text));
}

int combo_list_adapter::count() const { return box_.count(); }

std::string combo_list_adapter::item(int index) const {
    if (index < 0 || index >= box_.count()) return {};
    return box_.itemText(index).toStdString();
}

void combo_list_adapter::remove_item(int index) {
    if (index >= 0 && index < box_.count()) remove_list_item(box_, index);
}

void list_box_error_target::clear() { list_.clear(); }

void list_box_error_target::add_line(const std::string& line) {
    list_.addItem(QString::fromStdString(line));
}

}  // namespace korvane::ui
