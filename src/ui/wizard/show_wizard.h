// SPDX-License-Identifier: Apache-2.0
// The one way into the set-up wizard: the main window shows it modally and
// receives the record it collected.
#pragma once

#include "ports/host_ports.h"
#include "data/settings.h"
#include "ui/support/ui_ports.h"

#include <optional>

class QWidget;

namespace korvane::ui {

// Shows a fresh wizard modally: the record collected at Finish (no file
// name), or nothing when the wizard was cancelled or closed.
std::optional<GenerationSettings> show_korvane_wizard(QWidget* owner, message_port& messages,
                                                      file_dialog_port& dialogs);

}  // namespace korvane::ui
