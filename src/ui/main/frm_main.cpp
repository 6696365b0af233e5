// SPDX-License-Identifier: Apache-2.0
// The main window's controls, menus and their wiring.
#include "ui/main/frm_main.h"

#include "data/text_helpers.h"
#include "ui/main/panel_model.h"
#include "ui/main/site_preview.h"
#include "ui/support/qt_text.h"
#include "ui/support/widget_helpers.h"

#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

namespace korvane::ui {

frm_main::frm_main(main_services services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
    setObjectName(QStringLiteral("frm_main"));
    setWindowTitle(QStringLiteral("Korvane"));
    setAcceptDrops(true);
    build_controls();
    build_menus();
    connect_controls();
    tim_exit_timer_ = new QTimer(this);
    tim_exit_timer_->setObjectName(QStringLiteral("tim_exit_timer"));
    tim_exit_timer_->setInterval(services_.exit_timer_interval_ms);
    connect(tim_exit_timer_, &QTimer::timeout, this, &frm_main::on_exit_timer_tick);
    // Nothing is cut at the smallest size the layout allows.
    setMinimumSize(minimumSizeHint());
    resize(640, 460);
}

frm_main::~frm_main() = default;


// ---------------------------------------------------------------------------
// Controls and menus

void frm_main::build_controls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    auto* panel = new QGridLayout;
    panel->setHorizontalSpacing(6);
    panel->setVerticalSpacing(6);
    outer->addLayout(panel);

    // The labels' mnemonics (Alt+D, M, T, G) are letters no menu title uses.
    auto label = [&](int index, const char* text, QWidget* buddy) {
        auto* l = new QLabel(QString::fromUtf8(text), central);
        l->setObjectName(QStringLiteral("Label1_%1").arg(index));
        l->setBuddy(buddy);
        panel->addWidget(l, index, 0);
        return l;
    };
    // The drop-downs keep their width; only the boxes take more room.
    auto combo = [&](const char* name, const char* tip) {
        auto* c = named(new QComboBox(central), name, QString::fromUtf8(tip));
        c->setEditable(false);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(14);
        c->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        return c;
    };
    auto line_edit = [&](const char* name, const char* tip) {
        auto* e = named(new QLineEdit(central), name, QString::fromUtf8(tip));
        e->setProperty("fixed_tip", QString::fromUtf8(tip));
        e->installEventFilter(this);
        return e;
    };
    auto browse = [&](int index, const char* tip) {
        auto* b = new QPushButton(QStringLiteral("..."), central);
        b->setObjectName(QStringLiteral("cmd_browse_%1").arg(index));
        b->setToolTip(QString::fromUtf8(tip));
        b->setAutoDefault(false);
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
        cmd_browse_[index] = b;
        return b;
    };

    // A row of list, box and "..." (browse button `index`).
    auto row = [&](int at, QWidget* list, QWidget* box, int index, const char* tip) {
        panel->addWidget(list, at, 1);
        panel->addWidget(box, at, 2);
        panel->addWidget(browse(index, tip), at, 3);
    };

    lst_database_ =
        combo("lst_database", "Database source... a database file (Access, SQLite) or ODBC DSN");
    lst_database_->addItems({QStringLiteral("Database file"), QStringLiteral("ODBC DSN")});
    label(0, "&Database:", lst_database_);
    lst_database_->setCurrentIndex(-1);
    txt_database_name_ = line_edit("txt_database_name", "Database name");
    odbc_names_ = new QStringListModel(this);
    odbc_completer_ = new QCompleter(odbc_names_, this);
    odbc_completer_->setCaseSensitivity(Qt::CaseInsensitive);
    row(0, lst_database_, txt_database_name_, 0, "Browse for a database file");

    lst_main_table_ =
        combo("lst_main_table", "Main table/query/sql containing pages to be generated");
    label(1, "&Main table:", lst_main_table_);
    lst_main_table_->addItems(
        {QStringLiteral("Table"), QStringLiteral("Query"), QStringLiteral("SQL")});
    lst_main_table_->setCurrentIndex(-1);
    lst_main_value_ =
        combo("lst_main_value", "Table/Query containing template and generated file fields");
    // It stands where the SQL box stands, so it grows with it.
    lst_main_value_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    txt_main_table_sql_ = line_edit("txt_main_table_sql", "SQL statement");
    txt_main_table_sql_->setVisible(false);
    panel->addWidget(lst_main_table_, 1, 1);
    // Only one of the two is visible at a time, in the same place.
    panel->addWidget(lst_main_value_, 1, 2, 1, 2);
    panel->addWidget(txt_main_table_sql_, 1, 2, 1, 2);

    lst_template_field_ = combo("lst_template_field", "Database field containing template name");
    label(2, "&Template Field:", lst_template_field_);
    txt_template_path_ = line_edit("txt_template_path", "Path to template(s)");
    row(2, lst_template_field_, txt_template_path_, 1, "Browse for template directory");

    lst_generated_field_ =
        combo("lst_generated_field", "Database field containing generated file name");
    label(3, "&Generated Field:", lst_generated_field_);
    txt_generated_path_ = line_edit("txt_generated_path", "Path to generated files");
    row(3, lst_generated_field_, txt_generated_path_, 2, "Browse for generated files directory");
    panel->setColumnStretch(2, 1);

    auto* label2 = new QLabel(QStringLiteral("Error report:"), central);
    label2->setObjectName(QStringLiteral("Label2"));
    outer->addSpacing(4);
    outer->addWidget(label2);
    lst_errors_ = new QListWidget(central);
    lst_errors_->setObjectName(QStringLiteral("lst_errors"));
    lst_errors_->setUniformItemSizes(true);
    lst_errors_->setMinimumHeight(0);
    // The report grows with the window in both directions; the status line
    // stays at the bottom.
    outer->addWidget(lst_errors_, 1);

    auto* lin_status = new QFrame(central);
    lin_status->setObjectName(QStringLiteral("lin_status"));
    lin_status->setFrameShape(QFrame::HLine);
    lin_status->setFrameShadow(QFrame::Sunken);
    outer->addWidget(lin_status);

    auto* status_row = new QHBoxLayout;
    auto* lbl_status_caption = new QLabel(QStringLiteral("Status:"), central);
    lbl_status_caption->setObjectName(QStringLiteral("lbl_status_caption"));
    lbl_status_ = new QLabel(central);
    lbl_status_->setObjectName(QStringLiteral("lbl_status"));
    lbl_status_->setTextFormat(Qt::PlainText);
    lbl_status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // The resting texts always fit; a long one is cut while it lasts.
    lbl_status_->setMinimumWidth(
        lbl_status_->fontMetrics().horizontalAdvance(QStringLiteral(" Query ready to run")) + 8);
    prg_run_ = new QProgressBar(central);
    prg_run_->setObjectName(QStringLiteral("prg_run"));
    prg_run_->setRange(0, 100);
    prg_run_->setMaximumWidth(160);
    prg_run_->setVisible(false);
    status_row->addWidget(lbl_status_caption);
    status_row->addWidget(lbl_status_, 1);
    status_row->addWidget(prg_run_);
    outer->addLayout(status_row);
}

void frm_main::build_menus() {
    auto menu = [&](const char* name, const char* text) {
        QMenu* m = menuBar()->addMenu(QString::fromUtf8(text));
        m->setObjectName(QString::fromUtf8(name));
        return m;
    };
    auto item = [&](QMenu* m, const char* name, const char* text, QKeySequence key,
                    void (frm_main::*handler)()) {
        QAction* a = m->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromUtf8(name));
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    QMenu* file = menu("mnu_file", "&File");
    item(file, "mnu_file_new", "&New", QKeySequence(Qt::CTRL | Qt::Key_N), &frm_main::file_new);
    item(file, "mnu_file_open", "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O),
         &frm_main::file_open);
    item(file, "mnu_file_save", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S), &frm_main::file_save);
    item(file, "mnu_file_save_as", "Save &As...", QKeySequence(), &frm_main::file_save_as);
    file->addSeparator();
    item(file, "mnu_file_exit", "E&xit", QKeySequence(), &frm_main::file_exit);

    QMenu* run = menu("mnu_run", "&Run");
    item(run, "mnu_run_wiz", "&Wizard...", QKeySequence(), &frm_main::run_wizard);
    run->addSeparator();
    mnu_run_gen_ = item(run, "mnu_run_gen", "&Generate pages", QKeySequence(Qt::Key_F5),
                        &frm_main::generate_pages);
    mnu_run_preview_ = item(run, "mnu_run_preview", "&Preview in browser",
                            QKeySequence(Qt::Key_F6), &frm_main::preview_site);
    mnu_run_stop_ = item(run, "mnu_run_stop", "&Stop generation", QKeySequence(Qt::Key_Escape),
                         &frm_main::stop_generation);
    mnu_run_stop_->setEnabled(false);
    run->addSeparator();
    mnu_run_clean_ = run->addAction(QStringLiteral("&Remove stale pages"));
    mnu_run_clean_->setObjectName(QStringLiteral("mnu_run_clean"));
    mnu_run_clean_->setCheckable(true);
    mnu_run_clean_->setToolTip(QStringLiteral(
        "After a run through every row, delete the pages an earlier run of this settings "
        "file wrote that no row names any more"));
    mnu_run_confine_ = run->addAction(QStringLiteral("&Keep pages in their folders"));
    mnu_run_confine_->setObjectName(QStringLiteral("mnu_run_confine"));
    mnu_run_confine_->setCheckable(true);
    mnu_run_confine_->setToolTip(QStringLiteral(
        "Refuse rows whose template or page lies outside its folder or behind a symbolic link"));
    run->addSeparator();
    item(run, "mnu_run_check", "&Check templates", QKeySequence(), &frm_main::check_templates);

    QMenu* help = menu("mnu_help", "&Help");
    item(help, "mnu_help_docs", "&Documentation", QKeySequence(), &frm_main::help_documentation);
    item(help, "mnu_help_rel_notes", "Release &Notes", QKeySequence(),
         &frm_main::help_release_notes);
    help->addSeparator();
    item(help, "mnu_help_about", "&About", QKeySequence(), &frm_main::help_about);
}

void frm_main::connect_controls() {
    // Only the user's choices arrive through signals; code that selects calls
    // the handling itself (select_list_item).
    connect(lst_database_, &QComboBox::activated, this, [this] { on_database_click(); });
    connect(lst_main_table_, &QComboBox::activated, this, [this] { on_main_table_click(); });
    connect(lst_main_value_, &QComboBox::activated, this, [this] { on_main_value_click(); });
    connect(lst_template_field_, &QComboBox::activated, this,
            [this] { on_template_field_click(); });
    connect(lst_generated_field_, &QComboBox::activated, this,
            [this] { on_generated_field_click(); });
    for (int i = 0; i < 3; ++i)
        connect(cmd_browse_[i], &QPushButton::clicked, this, [this, i] { on_browse_click(i); });
    for (QLineEdit* box :
         {txt_database_name_, txt_main_table_sql_, txt_template_path_, txt_generated_path_})
        connect(box, &QLineEdit::textChanged, this, [this, box] { on_text_changed(*box); });
}

// ---------------------------------------------------------------------------
// Small things

std::string frm_main::base_folder() const {
    if (current_settings_.filename.empty()) return {};
    return ss(QFileInfo(qs(current_settings_.filename)).absolutePath());
}

void frm_main::set_status(const QString& text) { lbl_status_->setText(text); }

void frm_main::set_caption_from(const std::string& path) {
    setWindowTitle(qs(window_caption(path)));
}

void frm_main::show_message(const std::string& caption, const std::string& text,
                            message_icon icon) {
    if (services_.messages) services_.messages->show_message(caption, text, icon);
}

}  // namespace korvane::ui

