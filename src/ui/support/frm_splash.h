// SPDX-License-Identifier: Apache-2.0
// The splash window shown while the program starts: the logo, the name, the
// version and the system. It closes by its timer or by a click on its frame.
#pragma once

#include <QDialog>

class QFrame;
class QTimer;

namespace korvane::ui {

class frm_splash final : public QDialog {
    Q_OBJECT
public:
    static constexpr int default_interval_ms = 4500;

    // interval_ms: how long the splash stays when nobody clicks it.
    explicit frm_splash(QWidget* parent = nullptr, int interval_ms = default_interval_ms);

protected:
    void showEvent(QShowEvent* event) override;
    // No key closes the splash, Escape included.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QFrame* frame_;
    QTimer* timer_;
};

}  // namespace korvane::ui
