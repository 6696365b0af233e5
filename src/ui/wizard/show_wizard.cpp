// SPDX-License-Identifier: Apache-2.0
#include "ui/wizard/show_wizard.h"

#include "ui/wizard/frm_korvane_wizard.h"

namespace korvane::ui {

std::optional<GenerationSettings> show_korvane_wizard(QWidget* owner, message_port& messages,
                                                      file_dialog_port& dialogs) {
    // A fresh window for every opening: it starts from its design state and
    // releases its database and result when it closes.
    frm_korvane_wizard wizard(messages, dialogs, owner);
    wizard.activate();
    wizard.exec();
    return wizard.handed_over();
}

}  // namespace korvane::ui
