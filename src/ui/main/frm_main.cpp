#include "ui/main/frm_main.h"

#include "check/settings_check.h"
#include "data/global.h"
#include "data/text_helpers.h"
#include "generator/page_generator.h"
#include "ui/support/file_dialog.h"
#include "ui/support/widget_helpers.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <exception>

namespace korvane::ui {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QString& text) { return text.toStdString(); }

bool ends_with_separator(const QString& text) {
    return text.endsWith(u'/') || text.endsWith(u'\\');
}

const QString settings_filter = QStringLiteral("Korvane Settings (*.kvn) | *.kvn");

// A record as a file holds it: for a check of settings that were never saved,
// relative names are made absolute first, since the file lies elsewhere.
GenerationSettings with_absolute_paths(GenerationSettings settings, const std::string& base) {
    if (settings.database_type == 0 && !settings.database_name.empty())
        settings.database_name = resolve_path(settings.database_name, base);
    for (std::string* folder : {&settings.template_path, &settings.generated_path}) {
        if (folder->empty()) continue;
        const bool ended = folder->back() == '/' || folder->back() == '\\';
        *folder = resolve_path(*folder, base);
        if (ended && !folder->empty() && folder->back() != '/') *folder += '/';
    }
    return settings;
}

// The run's captions reach the label when pending events run (at most every
// interval) and at the end: a label's new text at every row would cost more
// than many a row.
class deferred_status final : public status_port, public event_pump {
public:
    deferred_status(QLabel& label, event_pump& pump, int interval_ms)
        : label_(label), pump_(pump), interval_(interval_ms) {}
    void set_status(const std::string& text) override {
        pending_ = text;
        changed_ = true;
    }
    void process_pending_events() override {
        if (interval_ > 0 && since_last_.isValid() && since_last_.elapsed() < interval_) return;
        flush();
        pump_.process_pending_events();
        since_last_.start();
    }
    void flush() {
        if (changed_) label_.setText(qs(pending_));
        changed_ = false;
    }

private:
    QLabel& label_;
    event_pump& pump_;
    int interval_;
    QElapsedTimer since_last_;
    std::string pending_;
    bool changed_ = false;
};

}  // namespace

command_line_request parse_command_line(const QStringList& arguments) {
    command_line_request request;
    QStringList args = arguments;
    for (QString& a : args) a.remove(u'"');
    request.line = args.join(u' ');
    request.file = request.line;
    if (!args.isEmpty() && args.first() == QStringLiteral("/auto")) {
        request.automatic = true;
        QString rest = request.line.mid(5);
        while (rest.startsWith(u' ')) rest.remove(0, 1);
        request.file = rest;
    } else if (request.line.startsWith(QStringLiteral("/auto")) &&
               !QFileInfo::exists(request.line)) {
        request.automatic = true;
        request.file = request.line.mid(5);
    }
    return request;
}

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

    auto label = [&](int index, const char* text) {
        auto* l = new QLabel(QString::fromUtf8(text), central);
        l->setObjectName(QStringLiteral("Label1_%1").arg(index));
        panel->addWidget(l, index, 0);
        return l;
    };
    auto combo = [&](const char* name, const char* tip) {
        auto* c = named(new QComboBox(central), name, QString::fromUtf8(tip));
        c->setEditable(false);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(12);
        return c;
    };
    auto line_edit = [&](const char* name, const char* tip) {
        auto* e = named(new QLineEdit(central), name, QString::fromUtf8(tip));
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

    label(0, "Database:");
    lst_database_ = combo("lst_database", "Database source... Microsoft Access or ODBC DSN");
    lst_database_->addItems({QStringLiteral("Access Database"), QStringLiteral("ODBC DSN")});
    lst_database_->setCurrentIndex(-1);
    txt_database_name_ = line_edit("txt_database_name", "Database name");
    odbc_names_ = new QStringListModel(this);
    odbc_completer_ = new QCompleter(odbc_names_, this);
    odbc_completer_->setCaseSensitivity(Qt::CaseInsensitive);
    row(0, lst_database_, txt_database_name_, 0, "Browse for Access database");

    label(1, "Main table:");
    lst_main_table_ =
        combo("lst_main_table", "Main table/query/sql containing pages to be generated");
    lst_main_table_->addItems(
        {QStringLiteral("Table"), QStringLiteral("Query"), QStringLiteral("SQL")});
    lst_main_table_->setCurrentIndex(-1);
    lst_main_value_ =
        combo("lst_main_value", "Table/Query containing template and generated file fields");
    txt_main_table_sql_ = line_edit("txt_main_table_sql", "SQL statement");
    txt_main_table_sql_->setVisible(false);
    panel->addWidget(lst_main_table_, 1, 1);
    // Only one of the two is visible at a time, in the same place.
    panel->addWidget(lst_main_value_, 1, 2, 1, 2);
    panel->addWidget(txt_main_table_sql_, 1, 2, 1, 2);

    label(2, "Template Field:");
    lst_template_field_ = combo("lst_template_field", "Database field containing template name");
    txt_template_path_ = line_edit("txt_template_path", "Path to template(s)");
    row(2, lst_template_field_, txt_template_path_, 1, "Browse for template directory");

    label(3, "Generated Field:");
    lst_generated_field_ =
        combo("lst_generated_field", "Database field containing generated file name");
    txt_generated_path_ = line_edit("txt_generated_path", "Path to generated files");
    row(3, lst_generated_field_, txt_generated_path_, 2, "Browse for generated files directory");
    panel->setColumnStretch(1, 2);
    panel->setColumnStretch(2, 5);

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
    mnu_run_stop_ = item(run, "mnu_run_stop", "&Stop generation", QKeySequence(Qt::Key_Escape),
                         &frm_main::stop_generation);
    mnu_run_stop_->setEnabled(false);
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
// Start-up and the command line

void frm_main::start_up(const QStringList& arguments) {
    reset_settings(current_database_, current_recordset_, current_settings_);
    update_control_states();
    if (services_.show_splash) services_.show_splash(this);
    setWindowTitle(QStringLiteral("Korvane"));
    show();
    if (process_command_line(arguments) == 2) {
        // The unattended run uses the record as the file gave it, even when
        // showing it could not open the database: the run's report says why.
        run_generation(auto_settings_);
        if (ended_) return;  // closed during the run
        exit_countdown_ = 5;
        tim_exit_timer_->start();
    }
}

std::int16_t frm_main::process_command_line(const QStringList& arguments) {
    const command_line_request request = parse_command_line(arguments);
    if (trim_blanks(request.line).isEmpty()) return -1;
    if (!request.line.endsWith(QStringLiteral(".kvn"))) {
        show_message("Korvane - Invalid file for Automatic Generate",
                     "The Korvane settings file you specified at the command line is not "
                     "valid:\r\r" +
                         ss(request.line),
                     message_icon::exclamation);
        return -1;
    }
    // Made absolute, so the caption, File > Save and the relative names in the
    // file all work from wherever the program was started.
    const QString path =
        request.file.isEmpty() ? request.file : QFileInfo(request.file).absoluteFilePath();
    if (read_settings_file(current_settings_, ss(path)) == -1) {
        show_message(
            "Korvane - Automatic Generate Error",
            "There were problems trying to read the Korvane settings file: \r\r" + ss(request.file),
            message_icon::critical);
        return -1;
    }
    set_caption_from(ss(path));
    auto_settings_ = current_settings_;
    show_loaded_settings();
    return request.automatic ? 2 : 1;
}

void frm_main::on_exit_timer_tick() {
    --exit_countdown_;
    set_status(
        QStringLiteral(" Automatically exiting Korvane in %1 seconds...").arg(exit_countdown_));
    if (exit_countdown_ <= 0) {
        tim_exit_timer_->stop();
        end_program();
    }
}

void frm_main::end_program() {
    if (ended_) return;
    ended_ = true;
    tim_exit_timer_->stop();
    if (services_.end_program) services_.end_program();
}

// ---------------------------------------------------------------------------
// The settings panel

void frm_main::set_current_settings(GenerationSettings settings) {
    current_settings_ = std::move(settings);
    if (current_settings_.filename != "WiZaRd" && !current_settings_.filename.empty())
        set_caption_from(current_settings_.filename);
    else
        setWindowTitle(QStringLiteral("Korvane"));
}

void frm_main::show_current_settings() {
    const std::int16_t type = current_settings_.database_type;
    if (type < -1 || type > 1) {
        show_message("Korvane - Invalid setting",
                     "Invalid database type specified in settings file", message_icon::critical);
        select_list_item(*lst_database_, -1, [this] { on_database_click(); });
        reset_settings(current_database_, current_recordset_, current_settings_);
        update_control_states();
        set_focus_if_possible(*txt_database_name_);
        return;
    }
    select_list_item(*lst_database_, type, [this] { on_database_click(); });
    txt_database_name_->setText(qs(current_settings_.database_name));
    open_named_database(txt_database_name_->text());

    if (!current_database_) {
        const std::int16_t kept = current_settings_.database_type;
        reset_settings(current_database_, current_recordset_, current_settings_);
        current_settings_.database_type = kept;
        update_control_states();
        set_focus_if_possible(*txt_database_name_);
        return;
    }

    const std::int16_t main_type = current_settings_.main_type;
    select_list_item(*lst_main_table_, main_type >= -1 && main_type <= 2 ? main_type : -1,
                     [this] { on_main_table_click(); });
    if (main_type == 0 || main_type == 1) {
        lst_main_value_->setVisible(true);
        txt_main_table_sql_->setVisible(false);
        const std::string name = current_settings_.main_name;
        const int index =
            lst_main_value_->findText(qs(name), Qt::MatchExactly | Qt::MatchCaseSensitive);
        select_list_item(*lst_main_value_, index, [this] { on_main_value_click(); });
        if (index < 0)
            show_message("Korvane - Error loading settings",
                         std::string(main_type == 0 ? "The table, '" : "The query, '") + name +
                             "', could not be found in this database. Check your settings",
                         message_icon::exclamation);
    } else if (main_type == 2) {
        lst_main_value_->setVisible(false);
        txt_main_table_sql_->setVisible(true);
        const QString sql = qs(current_settings_.main_name);
        txt_main_table_sql_->setText(sql);
        run_main_sql(sql);
    }

    select_list_item(*lst_template_field_,
                     lst_template_field_->findText(qs(current_settings_.template_field),
                                                   Qt::MatchExactly | Qt::MatchCaseSensitive),
                     [this] { on_template_field_click(); });
    select_list_item(*lst_generated_field_,
                     lst_generated_field_->findText(qs(current_settings_.generated_field),
                                                    Qt::MatchExactly | Qt::MatchCaseSensitive),
                     [this] { on_generated_field_click(); });
    txt_template_path_->setText(qs(current_settings_.template_path));
    txt_generated_path_->setText(qs(current_settings_.generated_path));
    check_directory_box(*txt_template_path_);
    check_directory_box(*txt_generated_path_);
}

// The record as read: the lists it selects keep the names it holds.
void frm_main::show_loaded_settings() {
    loading_settings_ = true;
    show_current_settings();
    loading_settings_ = false;
}

void frm_main::clear_settings_controls() {
    // Each step raises the handling of its control, as a user's change would.
    select_list_item(*lst_database_, -1, [this] { on_database_click(); });
    txt_database_name_->clear();
    select_list_item(*lst_main_table_, -1, [this] { on_main_table_click(); });
    lst_main_value_->setVisible(true);
    txt_main_table_sql_->setVisible(false);
    set_control_enabled(*txt_main_table_sql_, false);
    clear_list(*lst_main_value_);
    txt_main_table_sql_->clear();
    clear_list(*lst_template_field_);
    clear_list(*lst_generated_field_);
    txt_template_path_->clear();
    txt_generated_path_->clear();
    setWindowTitle(QStringLiteral("Korvane"));
}

void frm_main::update_control_states() {
    const bool source = lst_database_->currentIndex() >= 0;
    set_control_enabled(*txt_database_name_, source);
    cmd_browse_[0]->setEnabled(source && lst_database_->currentIndex() == 0);

    set_control_enabled(*lst_main_table_, current_database_ != nullptr);

    if (lst_main_table_->currentIndex() < 0 || !lst_main_table_->isEnabled()) {
        set_control_enabled(*lst_main_value_, false);
        set_control_enabled(*txt_main_table_sql_, false);
    } else if (current_settings_.main_type == 0 || current_settings_.main_type == 1) {
        set_control_enabled(*lst_main_value_, true);
        set_control_enabled(*txt_main_table_sql_, false);
        lst_main_value_->setVisible(true);
        txt_main_table_sql_->setVisible(false);
    } else if (current_settings_.main_type == 2) {
        set_control_enabled(*lst_main_value_, false);
        set_control_enabled(*txt_main_table_sql_, true);
        lst_main_value_->setVisible(false);
        txt_main_table_sql_->setVisible(true);
    }

    if (!current_recordset_) {
        set_control_enabled(*lst_template_field_, false);
        set_control_enabled(*lst_generated_field_, false);
    } else if (lst_main_value_->isEnabled()) {
        set_control_enabled(*lst_template_field_, true);
        set_control_enabled(*lst_generated_field_, true);
    }

    const bool template_on =
        lst_template_field_->currentIndex() >= 0 && lst_template_field_->isEnabled();
    set_control_enabled(*txt_template_path_, template_on);
    cmd_browse_[1]->setEnabled(template_on);
    const bool generated_on =
        lst_generated_field_->currentIndex() >= 0 && lst_generated_field_->isEnabled();
    set_control_enabled(*txt_generated_path_, generated_on);
    cmd_browse_[2]->setEnabled(generated_on);

    const bool ready =
        settings_are_complete(current_settings_) && current_database_ && current_recordset_;
    mnu_run_gen_->setEnabled(ready);
    set_status(ready ? QStringLiteral(" Query ready to run") : QStringLiteral(" Designing query"));
}

void frm_main::on_database_click() {
    current_settings_.database_type = static_cast<std::int16_t>(lst_database_->currentIndex());
    release_database();
    // Data source names are offered while an ODBC DSN is typed.
    if (current_settings_.database_type == 1) {
        QStringList names;
        if (services_.odbc_sources)
            for (const std::string& n : services_.odbc_sources()) names << qs(n);
        odbc_names_->setStringList(names);
        txt_database_name_->setCompleter(odbc_completer_);
    } else {
        txt_database_name_->setCompleter(nullptr);
    }
    update_control_states();
}

void frm_main::release_database() {
    current_recordset_.reset();
    if (current_database_) global::close_database(current_database_);
}

void frm_main::open_named_database(const QString& name) {
    if (trim_blanks(name).isEmpty()) return;
    {
        wait_cursor hourglass;
        set_status(QStringLiteral(" Opening database..."));
        pump_events();
        current_settings_.database_name = ss(name);
        // A result of the database being replaced goes with it.
        release_recordset();
        std::string target = current_settings_.database_name;
        if (current_settings_.database_type == 0) target = resolve_path(target, base_folder());
        const std::int16_t result = global::open_database(
            current_database_, current_settings_.database_type, target, *services_.messages);
        update_control_states();
        if (result == -1) {
            set_focus_if_possible(*txt_database_name_);
        } else {
            if (current_settings_.main_name.empty())
                select_list_item(*lst_main_table_, -1, [this] { on_main_table_click(); });
            if (!loading_settings_) {
                current_settings_.main_name.clear();
                // The lists below belonged to the database before: fill them
                // afresh, so Generate never stays on for an emptied main name.
                release_recordset();
                if (lst_main_table_->currentIndex() >= 0) on_main_table_click();
                update_control_states();
            }
        }
    }
}

void frm_main::on_main_table_click() {
    current_settings_.main_type = static_cast<std::int16_t>(lst_main_table_->currentIndex());
    if (!current_database_) return;
    const bool tables = current_settings_.main_type == 0;
    if (tables || current_settings_.main_type == 1) {
        wait_cursor hourglass;
        set_status(tables ? QStringLiteral(" Retrieving list of tables (could take some time)...")
                          : QStringLiteral(" Retrieving list of queries (could take some time)..."));
        pump_events();
        release_recordset();
        combo_list_adapter list(*lst_main_value_);
        if (tables) {
            global::list_tables(*current_database_, list, *services_.messages);
            global::remove_system_tables(list);
        } else {
            global::list_queries(*current_database_, list, *services_.messages);
        }
        if (!loading_settings_) current_settings_.main_name.clear();
    } else if (current_settings_.main_type == 2) {
        if (!txt_main_table_sql_->text().isEmpty()) {
            run_main_sql(txt_main_table_sql_->text());
        } else {
            release_recordset();
            if (!loading_settings_) current_settings_.main_name.clear();
        }
    }
    update_control_states();
}

void frm_main::on_main_value_click() {
    if (lst_main_value_->currentIndex() >= 0) {
        set_status(QStringLiteral(" Loading recordset..."));
        wait_cursor hourglass;
        pump_events();
        current_settings_.main_name = ss(lst_main_value_->currentText());
        std::int16_t result = -1;
        if (current_database_)
            result = global::open_main_result(*current_database_, current_recordset_,
                                              current_settings_.main_type,
                                              current_settings_.main_name, *services_.messages);
        if (result >= 0) {
            // A result over the row limit also counts 0; only a really empty
            // one is worth the warning.
            if (result == 0 && current_recordset_ && current_recordset_->record_count() == 0)
                show_message("Warning", "There are no records in this table",
                             message_icon::information);
            refill_field_lists();
        } else {
            set_focus_if_possible(*lst_main_value_);
        }
    }
    update_control_states();
}

void frm_main::run_main_sql(const QString& text) {
    if (trim_blanks(text).isEmpty()) return;
    wait_cursor hourglass;
    set_status(QStringLiteral(" Executing SQL..."));
    pump_events();
    current_settings_.main_name = ss(txt_main_table_sql_->text());
    std::int16_t result = -1;
    if (current_database_)
        result = global::open_main_result(*current_database_, current_recordset_,
                                          current_settings_.main_type, current_settings_.main_name,
                                          *services_.messages);
    if (result < 0) {
        set_focus_if_possible(*txt_main_table_sql_);
        set_control_enabled(*lst_template_field_, false);
        set_control_enabled(*lst_generated_field_, false);
    } else {
        set_status(QStringLiteral(" Populating field lists..."));
        refill_field_lists();
        set_control_enabled(*lst_template_field_, true);
        set_control_enabled(*lst_generated_field_, true);
    }
    update_control_states();
}

void frm_main::refill_field_lists() {
    const bool had_selection =
        lst_template_field_->currentIndex() >= 0 || lst_generated_field_->currentIndex() >= 0;
    if (current_recordset_) {
        combo_list_adapter templates(*lst_template_field_);
        global::list_fields(*current_recordset_, templates);
        combo_list_adapter generated(*lst_generated_field_);
        global::list_fields(*current_recordset_, generated);
    }
    if (had_selection) {
        auto keep = [](QComboBox& list, std::string& field, const std::function<void()>& click) {
            if (field.empty()) return;
            const int index = list.findText(qs(field), Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (index >= 0)
                select_list_item(list, index, click);
            else
                field.clear();
        };
        keep(*lst_template_field_, current_settings_.template_field,
             [this] { on_template_field_click(); });
        keep(*lst_generated_field_, current_settings_.generated_field,
             [this] { on_generated_field_click(); });
    } else if (!loading_settings_) {
        current_settings_.template_field.clear();
        current_settings_.generated_field.clear();
    }
}

void frm_main::on_template_field_click() {
    current_settings_.template_field = lst_template_field_->currentIndex() >= 0
                                           ? ss(lst_template_field_->currentText())
                                           : std::string();
    update_control_states();
}

void frm_main::on_generated_field_click() {
    current_settings_.generated_field = lst_generated_field_->currentIndex() >= 0
                                            ? ss(lst_generated_field_->currentText())
                                            : std::string();
    update_control_states();
}

void frm_main::on_browse_click(int index) {
    if (!services_.dialogs) return;
    if (index == 0) {
        const QString path = services_.dialogs->open_file_dialog(
            this, database_file_filter, QStringLiteral("Select an access database"), QString());
        if (!trim_blanks(path).isEmpty()) {
            txt_database_name_->setText(path);
            open_named_database(path);
            set_focus_if_possible(*lst_main_table_);
        } else {
            set_focus_if_possible(*txt_database_name_);
        }
        return;
    }
    QLineEdit& box = index == 1 ? *txt_template_path_ : *txt_generated_path_;
    const QString title = index == 1
                              ? QStringLiteral("Select the directory containing the template(s)")
                              : QStringLiteral("Select the directory for the generated files");
    const QString named = trim_blanks(box.text());
    const QString start =
        named.isEmpty() ? QDir::homePath() : qs(resolve_path(ss(named), base_folder()));
    const QString folder = services_.dialogs->browse_for_folder(this, title, start);
    if (trim_blanks(folder).isEmpty()) return;
    box.setText(folder);
    check_directory_box(box);
}

void frm_main::check_directory_box(QLineEdit& box) {
    const QString trimmed = trim_blanks(box.text());
    if (trimmed.isEmpty()) return;
    if (!ends_with_separator(trimmed)) box.setText(trimmed + u'/');
    const std::string text = ss(box.text());
    // Blanks after the final "/" name no folder of their own.
    if (!path_exists(resolve_path(ss(trim_blanks(box.text())), base_folder())))
        show_message("Korvane - Directory does not exist",
                     std::string(&box == txt_template_path_
                                     ? "The template directory does not exist:"
                                     : "The generated files directory does not exist:") +
                         "\r  " + text,
                     message_icon::exclamation);
}

// ---------------------------------------------------------------------------
// The text boxes: change, Enter and losing the focus

void frm_main::on_text_changed(QLineEdit& box) {
    if (&box == txt_database_name_) {
        update_control_states();
    } else if (&box == txt_main_table_sql_) {
        update_control_states();
        release_recordset();
    } else if (&box == txt_template_path_) {
        current_settings_.template_path = ss(box.text());
    } else if (&box == txt_generated_path_) {
        current_settings_.generated_path = ss(box.text());
    }
}

void frm_main::on_enter(QLineEdit& box) {
    if (&box == txt_database_name_)
        open_named_database(box.text());
    else if (&box == txt_main_table_sql_)
        run_main_sql(box.text());
}

void frm_main::on_focus_lost(QLineEdit& box) {
    if (&box == txt_database_name_) {
        if (ss(box.text()) != current_settings_.database_name) open_named_database(box.text());
    } else if (&box == txt_main_table_sql_) {
        update_control_states();
        if (ss(box.text()) != current_settings_.main_name) run_main_sql(box.text());
    } else {
        check_directory_box(box);
    }
}

bool frm_main::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box) return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            (box == txt_database_name_ || box == txt_main_table_sql_)) {
            // A completion popup takes its own Enter first.
            if (box->completer() && box->completer()->popup() &&
                box->completer()->popup()->isVisible())
                return false;
            on_enter(*box);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Not a real leaving: a message box or popup took the focus for a
        // while, the window went to the background, or the box itself was
        // just disabled or hidden.
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return false;
        if (!box->isEnabled() || !box->isVisibleTo(this)) return false;
        QWidget* next = QApplication::focusWidget();
        if (next && next->window() != window()) return false;
        on_focus_lost(*box);
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// File menu

void frm_main::file_new() {
    clear_settings_controls();
    reset_settings(current_database_, current_recordset_, current_settings_);
    set_status(QStringLiteral(" Designing Query"));
}

void frm_main::file_open() {
    if (!services_.dialogs) return;
    const QString path = services_.dialogs->open_file_dialog(
        this, settings_filter, QStringLiteral("Select Korvane Settings File"), QString());
    if (trim_blanks(path).isEmpty()) return;
    open_settings_file(path);
}

void frm_main::open_settings_file(const QString& path) {
    if (!path.endsWith(QStringLiteral(".kvn"))) {
        show_message("Korvane - Invalid file", "This is not a Korvane settings file",
                     message_icon::exclamation);
        return;
    }
    file_new();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (read_settings_file(current_settings_, ss(absolute)) == -1) {
        show_message(
            "Korvane - File error",
            "There were problems trying to read the Korvane settings file: \r\r" + ss(path),
            message_icon::critical);
        return;
    }
    set_caption_from(ss(absolute));
    show_loaded_settings();
}

void frm_main::file_save() {
    if (current_settings_.filename.empty()) {
        file_save_as();
        return;
    }
    write_settings();
}

void frm_main::file_save_as() {
    if (!services_.dialogs) return;
    QString path = services_.dialogs->save_file_dialog(
        this, settings_filter, QStringLiteral("Save Korvane Settings To File"), QString());
    if (trim_blanks(path).isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".kvn"))) path += QStringLiteral(".kvn");
    current_settings_.filename = ss(path);
    set_caption_from(current_settings_.filename);
    write_settings();
}

void frm_main::write_settings() {
    std::string reason;
    if (!write_settings_file(current_settings_, reason))
        show_message("Korvane - File error",
                     "There were problems trying to write the Korvane settings file: \r\r" +
                         current_settings_.filename + "\r" + reason,
                     message_icon::critical);
}

void frm_main::file_exit() {
    if (running_) {
        // The run ends after the page it is writing; then the program ends.
        stop_.request_stop();
        exit_after_run_ = true;
        return;
    }
    end_program();
}

// A close during a run waits for its end, as File > Exit does.
void frm_main::closeEvent(QCloseEvent* event) {
    event->setAccepted(!running_);
    file_exit();
}

void frm_main::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile() &&
        urls.first().toLocalFile().endsWith(QStringLiteral(".kvn")))
        event->acceptProposedAction();
}

void frm_main::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // Opened once the drop has finished, so the source is not kept waiting
    // on a message box.
    QTimer::singleShot(0, this, [this, path] { open_settings_file(path); });
}

// ---------------------------------------------------------------------------
// Run menu

void frm_main::generate_pages() { run_generation(current_settings_); }

void frm_main::run_generation(const GenerationSettings& settings) {
    if (running_) return;
    running_ = true;
    stop_.reset();
    mnu_run_stop_->setEnabled(true);
    prg_run_->setValue(0);
    prg_run_->setVisible(true);

    generator::run_options options;
    options.base_folder = settings.filename.empty()
                              ? std::string()
                              : ss(QFileInfo(qs(settings.filename)).absolutePath());
    options.messages = services_.messages;
    deferred_status status(*lbl_status_, step_pump_, services_.run_event_interval_ms);
    options.events = &status;
    options.stop = stop_.token();
    int shown_percent = -1;
    options.progress = [this, &shown_percent](std::int64_t row, std::int64_t count) {
        const int percent = count > 0 ? static_cast<int>(row * 100 / count) : 0;
        if (percent != shown_percent) {
            shown_percent = percent;
            prg_run_->setValue(percent);
        }
    };
    list_box_error_target errors(*lst_errors_);
    try {
        generator::page_generator run(options);
        run.start_page_generator(status, errors, settings);
    } catch (const std::exception& e) {
        errors.add_line(std::string("The run ended early: ") + e.what());
        errors.add_line("");
    }
    status.flush();

    prg_run_->setVisible(false);
    mnu_run_stop_->setEnabled(false);
    running_ = false;
    if (exit_after_run_) end_program();
}

void frm_main::stop_generation() {
    if (running_) stop_.request_stop();
}

void frm_main::check_templates() {
    if (running_) return;
    wait_cursor hourglass;
    set_status(QStringLiteral(" Checking templates..."));
    pump_events();
    list_box_error_target errors(*lst_errors_);
    errors.clear();
    try {
        // A saved file that still holds the settings is checked as it is, so
        // findings name its lines; otherwise a copy with absolute names.
        std::string path = current_settings_.filename;
        GenerationSettings on_disk;
        const bool saved = !path.empty() && read_settings_file(on_disk, path) != -1 && [&] {
            on_disk.filename = current_settings_.filename;
            return on_disk == current_settings_;
        }();
        QTemporaryDir scratch;
        if (!saved) {
            GenerationSettings copy = with_absolute_paths(current_settings_, base_folder());
            copy.filename = ss(scratch.filePath(QStringLiteral("current settings.kvn")));
            std::string reason;
            if (!scratch.isValid() || !write_settings_file(copy, reason)) {
                errors.add_line("The settings could not be prepared for the check: " + reason);
                set_status(QStringLiteral(" Designing query"));
                return;
            }
            path = copy.filename;
        }
        const check::check_outcome outcome = check::check_settings_file(path, 32767);
        for (const check::finding& f : outcome.findings) errors.add_line(check::format_finding(f));
        const std::size_t n = outcome.findings.size();
        errors.add_line(n == 0 ? std::string("Check complete: no problems found.")
                               : "Check complete: " + std::to_string(n) +
                                     (n == 1 ? " problem found." : " problems found."));
    } catch (const std::exception& e) {
        errors.add_line(std::string("The check ended early: ") + e.what());
    }
    update_control_states();
}

void frm_main::run_wizard() {
    if (!services_.run_wizard || !services_.messages || !services_.dialogs) return;
    const bool handed = services_.run_wizard(
        this, *services_.messages, *services_.dialogs, [this](const GenerationSettings& s) {
            set_current_settings(s);
        });
    if (!handed || current_settings_.filename != "WiZaRd") return;
    // Emptied first, so an older statement in the SQL box cannot replace the
    // handed-over one; the clearing also empties the record, hence the copy.
    GenerationSettings handed_over = current_settings_;
    clear_settings_controls();
    handed_over.filename.clear();
    current_settings_ = handed_over;
    show_loaded_settings();
}

// ---------------------------------------------------------------------------
// Help menu

void frm_main::help_documentation() {
    open_help_file(documentation_file_name, "documentation", "default browser");
}

void frm_main::help_release_notes() {
    open_help_file(release_notes_file_name, "release notes", "default text editor");
}

// The box names the path looked for, whether it is missing or would not open.
void frm_main::open_help_file(const char* name, const std::string& what,
                              const std::string& program) {
    const QString file = QString::fromUtf8(name);
    const QString path = services_.help_file ? services_.help_file(file) : file;
    const bool opened = QFileInfo(path).isFile() && services_.desktop &&
                        services_.desktop->open_url(QUrl::fromLocalFile(path));
    if (!opened)
        show_message("Unable to load " + what + " file",
                     "Unable to open the Korvane " + what + " file (" + ss(path) +
                         ") using your " + program,
                     message_icon::critical);
}

void frm_main::help_about() {
    if (services_.show_about) services_.show_about(this);
}

// ---------------------------------------------------------------------------
// Small things

std::string frm_main::base_folder() const {
    if (current_settings_.filename.empty() || current_settings_.filename == "WiZaRd") return {};
    return ss(QFileInfo(qs(current_settings_.filename)).absolutePath());
}

void frm_main::set_status(const QString& text) { lbl_status_->setText(text); }

void frm_main::set_caption_from(const std::string& path) {
    setWindowTitle(QStringLiteral("Korvane - ") + qs(file_name_of_path(path)));
}

void frm_main::show_message(const std::string& caption, const std::string& text,
                            message_icon icon) {
    if (services_.messages) services_.messages->show_message(caption, text, icon);
}

}  // namespace korvane::ui
