// SPDX-License-Identifier: Apache-2.0
// Run > Preview in browser and the Run menu's options.
#include "ui/main/frm_main.h"

#include "ui/main/site_preview.h"
#include "ui/support/qt_text.h"

#include <QAction>

namespace korvane::ui {

bool frm_main::remove_stale_pages() const { return mnu_run_clean_->isChecked(); }

bool frm_main::keep_pages_in_folders() const { return mnu_run_confine_->isChecked(); }

bool frm_main::previewing() const { return preview_ && preview_->running(); }

void frm_main::preview_site() {
    const char* caption = "Preview in browser";
    if (previewing()) {
        // Already live: the browser is only shown the site again.
        if (services_.desktop) services_.desktop->open_url(QUrl(preview_->address()));
        return;
    }
    // The loop follows a file, its templates and its database as they change.
    if (current_settings_.filename.empty()) {
        show_message(caption,
                     "Save the settings to a file first: the preview follows the saved file, "
                     "its templates and its database as they change.",
                     message_icon::information);
        return;
    }
    GenerationSettings saved;
    if (read_settings_file(saved, current_settings_.filename) < 0) {
        show_message(caption, "Unable to read the settings file " + current_settings_.filename,
                     message_icon::critical);
        return;
    }
    saved.filename = current_settings_.filename;
    if (!(saved == current_settings_)) {
        show_message(caption,
                     "The preview shows the settings as saved in " + current_settings_.filename +
                         "; save them to see your changes.",
                     message_icon::information);
    }
    preview_ = std::make_unique<site_preview>(services_.desktop,
                                              [this](const QString& text) { set_status(text); });
    QString error;
    if (!preview_->start(current_settings_.filename, error)) {
        preview_.reset();
        show_message(caption, "The preview could not start its server: " + ss(error),
                     message_icon::critical);
        return;
    }
    mnu_run_stop_->setEnabled(true);
}

void frm_main::stop_preview() {
    if (!preview_) return;
    preview_.reset();
    if (!running_) mnu_run_stop_->setEnabled(false);
    if (!ended_) update_control_states();  // the panel's own status line again
}

}  // namespace korvane::ui
