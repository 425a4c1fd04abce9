// The settings file's side of the window: the problem page and the population panels read
// into, and written from, the Qt-free settings that the file and vobrix-cli --config hold.
#pragma once

#include "results/run_settings.h"

namespace vobrix::ui {

class TForm1;

// The settings the window shows now: the functions, constants, range, window size, the
// population count and all four panels.
results::PanelSettings SettingsOfWindow(TForm1& form);
// Puts settings into the controls, as a user typing them would. Not during a run.
void ApplySettings(TForm1& form, const results::PanelSettings& settings);

}  // namespace vobrix::ui
