// Writes the wizard's three pages, filled in for the example site, as
// wizard_1.png .. wizard_3.png into the folder given on the command line,
// rendered offscreen. Used to draw the documentation's pictures.
#include "ui/wizard/frm_korvane_wizard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>
#include <stdexcept>
#include <string>

using namespace korvane;
using namespace korvane::ui;

namespace {

// A screenshot has no one to answer a message: any message is a failure.
class failing_messages final : public message_port {
public:
    void show_message(const std::string& caption, const std::string& text, message_icon) override {
        throw std::runtime_error(caption + ": " + text);
    }
};

class no_dialogs final : public file_dialog_port {
public:
    QString open_file_dialog(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString save_file_dialog(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString browse_for_folder(QWidget*, const QString&, const QString&) override { return {}; }
};

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

void save(QWidget& window, const QDir& folder, const QString& name) {
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!window.grab().save(path)) throw std::runtime_error("cannot write " + path.toStdString());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A steady text cursor: the same picture at every run.
    QApplication::setCursorFlashTime(0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: korvane_wizard_screenshots OUTPUT_FOLDER [EXAMPLE_FOLDER]\n");
        return 2;
    }
    try {
        const QDir output(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
        if (!QDir().mkpath(output.path()))
            throw std::runtime_error("cannot make the output folder");
        // Relative names, as a user in the example's folder would type them.
        const QString examples = argc > 2 ? QString::fromLocal8Bit(argv[2]) : KORVANE_EXAMPLE_DIR;
        if (!QDir::setCurrent(examples)) throw std::runtime_error("no example folder");

        failing_messages messages;
        no_dialogs dialogs;
        frm_korvane_wizard wizard(messages, dialogs, {});
        wizard.activate();
        wizard.show();
        find<QLineEdit>(wizard, "txt_database_name").setText("bookshop.sqlite");
        save(wizard, output, "wizard_1.png");

        find<QAbstractButton>(wizard, "cmd_next").click();
        find<QAbstractButton>(wizard, "opt_db_table").click();
        choose(wizard, "lst_db_table", "pages");
        save(wizard, output, "wizard_2.png");

        find<QAbstractButton>(wizard, "cmd_next").click();
        choose(wizard, "lst_field_tmp", "template_file");
        choose(wizard, "lst_field_gen", "page_file");
        find<QLineEdit>(wizard, "txt_field_tmp").setText("templates/");
        find<QLineEdit>(wizard, "txt_field_gen").setText("site/");
        save(wizard, output, "wizard_3.png");
    } catch (const std::exception& problem) {
        std::fprintf(stderr, "korvane_wizard_screenshots: %s\n", problem.what());
        return 1;
    }
    return 0;
}
