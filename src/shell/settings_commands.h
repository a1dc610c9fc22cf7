// The File menu's settings-file commands: Load / Save / Save As of the screen
// layout (.SST) and Load / Save of the module settings (.MST).
#pragma once

#include "modules/module_settings.h"

#include <QString>

namespace quorvel::shell {

class Frame;

void loadScreenSettingCommand(Frame& frame);
void saveScreenSettingCommand(Frame& frame);
void saveScreenSettingAsCommand(Frame& frame);
void loadModuleSettingCommand(Frame& frame);
void saveModuleSettingCommand(Frame& frame);

// Reads a screen-settings file and arranges the windows as it says. A file
// that cannot be read or is not valid changes nothing and gives its message.
// Returns true when the file was taken.
bool loadScreenSettings(Frame& frame, const QString& path);
// Reads a module-settings file into the live settings (the simulation paused),
// wires lines the device lacks to P1.0, and rebuilds the open part windows
// whose settings changed. A bad file changes nothing and gives its message.
bool loadModuleSettings(Frame& frame, const QString& path);
// The open part windows follow the machine's module settings, which were
// `before`: the LCD (with its transfer state reset when `resetLcd`), the
// keyboard, the IIC and SPI EEPROMs.
void followModuleSettings(Frame& frame, const ModuleSettings& before, bool resetLcd);

} // namespace quorvel::shell
