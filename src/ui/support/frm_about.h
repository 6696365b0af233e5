// SPDX-License-Identifier: Apache-2.0
// The About window: the version, the authors and a link to the documentation
// (or to the home page when the build names one). OK hides it, so the next
// Help > About shows the same window again.
#pragma once

#include "ui/support/ui_ports.h"

#include <QDialog>
#include <QString>
#include <QUrl>

class QLabel;

namespace korvane::ui {

// What the link shows and what a click on it opens.
struct about_link {
    QString text;
    QUrl url;  // empty: there is nothing to open
};

// The home page when the build names one, else the documentation file (its
// name shown, its full path opened; nothing to open when it is not found).
about_link default_about_link();

class frm_about final : public QDialog {
    Q_OBJECT
public:
    explicit frm_about(desktop_port& desktop, QWidget* parent = nullptr,
                       const about_link& link = default_about_link());

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    desktop_port& desktop_;
    about_link link_;
    QLabel* link_label_;
};

}  // namespace korvane::ui
