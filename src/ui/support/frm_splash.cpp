// SPDX-License-Identifier: Apache-2.0
#include "ui/support/frm_splash.h"

#include "ui/support/logo.h"

#include <korvane/version.h>

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSysInfo>
#include <QTimer>
#include <QVBoxLayout>

namespace korvane::ui {

namespace {

QLabel* add_label(QWidget* parent, const char* name, const QString& text, int point_size,
                  bool bold = false) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(point_size);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace

frm_splash::frm_splash(QWidget* parent, int interval_ms)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frm_splash"));
    setWindowTitle(QStringLiteral("Korvane"));
    setWindowIcon(korvane_icon());

    frame_ = new QFrame(this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    frame_->setFrameShape(QFrame::Box);
    frame_->setFrameShadow(QFrame::Sunken);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(frame_);

    auto* logo = new QLabel(frame_);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(korvane_logo(128, devicePixelRatioF()));
    logo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* product = add_label(frame_, "lblProductName", QStringLiteral("Korvane"), 28, true);
    auto* version = add_label(frame_, "lblVersion",
                              QStringLiteral("Version ") + QString::fromLatin1(version_text), 14);
    auto* platform = add_label(frame_, "lblPlatform", QSysInfo::prettyProductName(), 10);
    auto* written = add_label(frame_, "lblWrittenBy", QStringLiteral("Written by"), 9);
    auto* company =
        add_label(frame_, "lblCompany", QStringLiteral("The Korvane developers"), 10, true);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(product);
    texts->addWidget(version);
    texts->addWidget(platform);
    texts->addStretch(1);
    texts->addSpacing(16);
    texts->addWidget(written);
    texts->addWidget(company);

    auto* row = new QHBoxLayout(frame_);
    row->setContentsMargins(20, 20, 28, 20);
    row->setSpacing(24);
    row->addWidget(logo);
    row->addLayout(texts, 1);
    setMinimumWidth(480);

    frame_->installEventFilter(this);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("tim_timer"));
    timer_->setSingleShot(true);
    timer_->setInterval(interval_ms);
    connect(timer_, &QTimer::timeout, this, &QDialog::accept);
}

void frm_splash::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!timer_->isActive()) timer_->start();
}

void frm_splash::keyPressEvent(QKeyEvent* event) { event->accept(); }

bool frm_splash::eventFilter(QObject* watched, QEvent* event) {
    // A label or the logo passes its click on to the frame; only a click on
    // the frame itself closes the splash.
    if (watched == frame_ && event->type() == QEvent::MouseButtonPress) {
        const auto* click = static_cast<QMouseEvent*>(event);
        if (!frame_->childAt(click->position().toPoint())) {
            timer_->stop();
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace korvane::ui
