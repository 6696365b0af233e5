// The one way into the set-up wizard: the main window shows it modally and
// receives the record it collected.
#pragma once

#include "ports/host_ports.h"
#include "data/settings.h"
#include "ui/support/ui_ports.h"

#include <functional>

class QWidget;

namespace korvane::ui {

using hand_over_function = std::function<void(const GenerationSettings&)>;

// Shows a fresh wizard modally; Finish calls hand_over once (filename "WiZaRd").
// True when a record was handed over.
bool show_korvane_wizard(QWidget* owner, message_port& messages, file_dialog_port& dialogs,
                         const hand_over_function& hand_over);

}  // namespace korvane::ui
