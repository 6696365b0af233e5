// SPDX-License-Identifier: Apache-2.0
#include "ui/support/frm_about.h"

#include "ui/support/file_dialog.h"
#include "ui/support/logo.h"
#include "ui/support/widget_helpers.h"

#include <korvane/version.h>

#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane::ui {

about_link default_about_link() {
    const QString home_page = QStringLiteral(KORVANE_HOME_PAGE);
    if (!home_page.isEmpty()) return {home_page, QUrl(home_page)};
    const QString path = documentation_file_path();
    if (path.isEmpty()) return {QString::fromLatin1(documentation_file_name), QUrl()};
    return {QFileInfo(path).fileName(), QUrl::fromLocalFile(path)};
}

namespace {

QLabel* add_label(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

frm_about::frm_about(desktop_port& desktop, QWidget* parent, const about_link& link)
    : QDialog(parent), desktop_(desktop), link_(link) {
    setObjectName(QStringLiteral("frm_about"));
    setWindowTitle(QStringLiteral("About Korvane"));
    setWindowIcon(korvane_icon());

    auto* image = add_label(this, "Image1", QString());
    image->setPixmap(korvane_logo(96, devicePixelRatioF()));
    image->setAlignment(Qt::AlignTop);
    auto* icon = add_label(this, "Picture1", QString());
    icon->setPixmap(korvane_logo(32, devicePixelRatioF()));

    auto* version =
        add_label(this, "lblVersion", QStringLiteral("Version ") + QString::fromLatin1(version_text));
    QFont bigger = version->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.5);
    bigger.setBold(true);
    version->setFont(bigger);
    auto* written_by =
        add_label(this, "lbl_written_by", QStringLiteral("Written by The Korvane developers"));
    auto* see = add_label(this, "Label4",
                          QStringLiteral("For documentation, examples and updates please see:"));

    link_label_ = add_label(this, "Label3", link_.text);
    QFont underlined = link_label_->font();
    underlined.setUnderline(true);
    link_label_->setFont(underlined);
    link_label_->setForegroundRole(QPalette::Link);
    link_label_->setCursor(Qt::WhatsThisCursor);
    if (link_.url.isLocalFile()) link_label_->setToolTip(link_.url.toLocalFile());
    link_label_->installEventFilter(this);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmd_ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* title_row = new QHBoxLayout;
    title_row->addWidget(icon);
    title_row->addWidget(version, 1);

    auto* texts = new QVBoxLayout;
    texts->addLayout(title_row);
    texts->addWidget(written_by);
    texts->addSpacing(12);
    texts->addWidget(see);
    texts->addWidget(link_label_);
    texts->addStretch(1);

    auto* body = new QHBoxLayout;
    body->setSpacing(20);
    body->addWidget(image);
    body->addLayout(texts, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(body);
    layout->addWidget(line);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool frm_about::eventFilter(QObject* watched, QEvent* event) {
    if (watched == link_label_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (!link_.url.isEmpty()) {
            const wait_cursor hourglass;
            // A browser that cannot be started shows nothing.
            desktop_.open_url(link_.url);
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace korvane::ui
