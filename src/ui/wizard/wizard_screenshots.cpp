// SPDX-License-Identifier: Apache-2.0
// Writes the wizard's three pages, filled in for the example site, as
// wizard_1.png .. wizard_3.png into the folder given on the command line,
// rendered offscreen. Used to draw the documentation's pictures.
#include "ui/support/screenshot.h"
#include "ui/wizard/frm_korvane_wizard.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include <stdexcept>
#include <string>

using namespace korvane::ui;

namespace {

template <typename T>
T& find(QWidget& window, const char* name) {
    auto* widget = window.findChild<T*>(name);
    if (!widget) throw std::runtime_error(std::string("no control ") + name);
    return *widget;
}

void choose(QWidget& window, const char* list_name, const QString& text) {
    auto& list = find<QComboBox>(window, list_name);
    const int index = list.findText(text);
    if (index < 0) throw std::runtime_error("no item " + text.toStdString());
    list.setCurrentIndex(index);
    emit list.activated(index);
}

}  // namespace

int main(int argc, char** argv) {
    const char* usage = "korvane_wizard_screenshots OUTPUT_FOLDER [EXAMPLE_FOLDER]";
    return screenshot::run(argc, argv, 2, usage, [argc](char** args) {
        const QDir output(QDir(QString::fromLocal8Bit(args[1])).absolutePath());
        if (!QDir().mkpath(output.path()))
            throw std::runtime_error("cannot make the output folder");
        // Relative names, as a user in the example's folder would type them.
        const QString examples = argc > 2 ? QString::fromLocal8Bit(args[2]) : KORVANE_EXAMPLE_DIR;
        if (!QDir::setCurrent(examples)) throw std::runtime_error("no example folder");

        screenshot::failing_messages messages;
        screenshot::no_dialogs dialogs;
        frm_korvane_wizard wizard(messages, dialogs);
        wizard.activate();
        wizard.show();
        find<QLineEdit>(wizard, "txt_database_name").setText("bookshop.sqlite");
        screenshot::save(wizard, output, "wizard_1.png");

        find<QAbstractButton>(wizard, "cmd_next").click();
        find<QAbstractButton>(wizard, "opt_db_table").click();
        choose(wizard, "lst_db_table", "pages");
        screenshot::save(wizard, output, "wizard_2.png");

        find<QAbstractButton>(wizard, "cmd_next").click();
        choose(wizard, "lst_field_tmp", "template_file");
        choose(wizard, "lst_field_gen", "page_file");
        find<QLineEdit>(wizard, "txt_field_tmp").setText("templates/");
        find<QLineEdit>(wizard, "txt_field_gen").setText("site/");
        screenshot::save(wizard, output, "wizard_3.png");
    });
}
