#include "shell/settings_commands.h"

#include "modules/lcd_controller.h"
#include "modules/module_settings.h"
#include "settings/module_settings_file.h"
#include "settings/screen_settings_file.h"
#include "shell/command_table.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/modules/device_dump_view.h"
#include "shell/modules/keyboard_window.h"
#include "shell/modules/lcd_window.h"

namespace quorvel::shell {

namespace {

const QStringList kScreenFilters = {"Screen Setting Files *.SST (*.SST *.sst *.Sst)", "All Files *.* (*)"};
const QStringList kSaveScreenFilters = {"Quorvel Setting Files *.SST (*.SST *.sst *.Sst)",
                                        "All Files *.* (*)"};
const QStringList kModuleFilters = {"Module Setting Files *.MST (*.MST *.mst *.Mst)", "All Files *.* (*)"};

bool keyboardChanged(const ModuleSettings& a, const ModuleSettings& b) {
    return keyboardWindowNeedsRebuild(a, b) || a.KeyNames != b.KeyNames || a.KeypadLines != b.KeypadLines;
}

void writeScreenFile(Frame& frame, const QString& path, const ScreenSettings& settings) {
    if (auto failure = WriteScreenSettings(path.toStdString(), settings)) frame.showMessage(*failure);
}

} // namespace

bool loadScreenSettings(Frame& frame, const QString& path) {
    ScreenSettings settings;
    if (auto failure = ReadScreenSettings(path.toStdString(), settings)) {
        frame.showMessage(*failure);
        return false;
    }
    frame.applyScreenSettings(settings);
    return true;
}

void loadScreenSettingCommand(Frame& frame) {
    const QString path = frame.messages().openFileName(&frame, "Load Setting File", kScreenFilters);
    if (path.isEmpty()) return;
    // A file that could not be taken does not become the file Save Screen
    // Setting writes to without asking.
    if (!loadScreenSettings(frame, path)) return;
    frame.screenSettingsPath = path;
    frame.screenSettingsPathConfirmed = true;
}

// Writes the windows as they are now; the layout Normal View returns to
// stays as it was.
void saveScreenSettingCommand(Frame& frame) {
    if (!frame.screenSettingsPathConfirmed || frame.screenSettingsPath.isEmpty()) {
        const QString path = frame.messages().saveFileName(&frame, "Save Settings", kSaveScreenFilters, "sst",
                                                           frame.saveStart(frame.screenSettingsPath));
        if (path.isEmpty()) return;
        frame.screenSettingsPath = path;
    }
    const ScreenSettings backup = frame.storedScreenSettings();
    const ScreenSettings current = frame.captureScreenSettings();
    frame.setStoredScreenSettings(backup);
    writeScreenFile(frame, frame.screenSettingsPath, current);
}

// Writes the windows as they are now and makes that the layout Normal View
// returns to.
void saveScreenSettingAsCommand(Frame& frame) {
    const QString path = frame.messages().saveFileName(&frame, "Save Screen Settings As", kScreenFilters,
                                                       "sst", frame.saveStart(frame.screenSettingsPath));
    if (path.isEmpty()) return;
    frame.screenSettingsPath = path;
    writeScreenFile(frame, path, frame.captureScreenSettings());
}

bool loadModuleSettings(Frame& frame, const QString& path) {
    Machine& machine = frame.machine();
    ModuleSettings before;
    {
        auto guard = frame.runControl().pause();
        before = machine.modules.settings;
    }
    // Read into a copy: the machine takes the settings as one input the
    // history logs, and a bad file changes nothing.
    ModuleSettings read = before;
    if (Validation failure = ReadModuleSettings(path.toStdString(), read, machine.profile.availablePinMask)) {
        frame.showMessage(*failure);
        return false;
    }
    frame.runControl().edit([&] { machine.modules.settings = read; });
    followModuleSettings(frame, before, true);
    frame.refreshViews();
    return true;
}

void followModuleSettings(Frame& frame, const ModuleSettings& before, bool resetLcd) {
    Machine& machine = frame.machine();
    ModuleSettings after;
    {
        auto guard = frame.runControl().pause();
        after = machine.modules.settings;
    }
    // The open part windows follow their new settings, as after their
    // settings dialogs.
    if (auto* lcd = qobject_cast<LcdWindow*>(frame.view(id::LcdWindow));
        lcd && (before.LcdOptions != after.LcdOptions || before.LcdPins != after.LcdPins)) {
        frame.runControl().edit([&] {
            if (resetLcd) lcdResetFlags(machine.modules.lcd);
            lcd->applySettings();
        });
    }
    if (auto* keyboard = qobject_cast<KeyboardView*>(frame.view(id::KeyboardWindow));
        keyboard && keyboardChanged(before, after))
        keyboard->rebuild();
    if (auto* eeprom = qobject_cast<DeviceDumpView*>(frame.view(id::IicEepromWindow));
        eeprom && before.iic != after.iic)
        eeprom->reopenDevice();
    if (auto* eeprom = qobject_cast<DeviceDumpView*>(frame.view(id::SpiEepromWindow));
        eeprom && before.spi != after.spi)
        eeprom->reopenDevice();
}

void loadModuleSettingCommand(Frame& frame) {
    const QString path = frame.messages().openFileName(&frame, "Load Module Settings", kModuleFilters);
    if (!path.isEmpty()) loadModuleSettings(frame, path);
}

void saveModuleSettingCommand(Frame& frame) {
    const QString path = frame.messages().saveFileName(&frame, "Save Module Settings", kModuleFilters, "mst",
                                                       frame.saveStart());
    if (path.isEmpty()) return;
    ModuleSettings settings;
    {
        auto guard = frame.runControl().pause();
        settings = frame.machine().modules.settings;
    }
    if (auto failure = WriteModuleSettings(path.toStdString(), settings)) frame.showMessage(*failure);
}

} // namespace quorvel::shell
