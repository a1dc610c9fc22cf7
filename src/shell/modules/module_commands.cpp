#include "shell/modules/module_commands.h"

#include "shell/codegen/bus_codegen_dialogs.h"
#include "shell/codegen/keyboard_codegen_dialog.h"
#include "shell/codegen/lcd_codegen_dialog.h"
#include "shell/codegen/led_codegen_dialog.h"
#include "shell/codegen/serial_codegen_dialog.h"
#include "shell/command_table.h"
#include "shell/editor/editor_view.h"
#include "shell/modules/bus_setting_dialogs.h"
#include "shell/modules/keyboard_dialogs.h"
#include "shell/modules/lcd_setting_dialog.h"
#include "shell/modules/led_dialogs.h"
#include "shell/modules/transfer_list_commands.h"
#include "shell/settings_commands.h"
#include "shell/source_commands.h"
#include "shell/wave_commands.h"

namespace quorvel::shell {

std::span<const ModuleCommand> moduleCommandTable() {
    static constexpr ModuleCommand kCommands[] = {
        {id::SaveSerialReceiver, saveSerialReceiver},
        {id::SaveSerialTransmitter, saveSerialTransmitter},
        {id::SaveSpiReceiver, saveSpiReceiver},
        {id::SaveSpiTransmitter, saveSpiTransmitter},
        {id::LedSetting, ledSettingCommand},
        {id::LcdSetting, runLcdSettingDialog},
        {id::KeyboardSetting, keyboardSettingCommand},
        {id::IicSetting, runIicSettingDialog},
        {id::SpiSetting, runSpiSettingDialog},
        {id::LoadTextFile, loadTextFileCommand},
        // The settings files of the File menu.
        {id::LoadScreenSetting, loadScreenSettingCommand},
        {id::SaveScreenSetting, saveScreenSettingCommand},
        {id::SaveScreenSettingAs, saveScreenSettingAsCommand},
        {id::LoadModuleSetting, loadModuleSettingCommand},
        {id::SaveModuleSetting, saveModuleSettingCommand},
        // Code generation: each dialog inserts its driver at the editor's caret.
        {id::GenSerial, generateSerialCodeCommand},
        {id::GenLed, generateLedCodeCommand},
        {id::GenLcd, generateLcdCodeCommand},
        {id::GenKeyboard, generateKeyboardCodeCommand},
        {id::GenSpiEeprom, generateSpiCodeCommand},
        {id::GenIic, generateIicCodeCommand},
        // Source lines and the execution profile.
        {id::LoadSourceMap, loadSourceMapCommand},
        {id::SourceLines, sourceLinesCommand},
        {id::Profile, profileCommand},
        {id::ClearProfile, clearProfileCommand},
        {id::StepSourceLine, stepSourceLineCommand},
        {id::StepOverSourceLine, stepOverSourceLineCommand},
        // The port-line waveform: the recording switch and its export.
        {id::RecordWaveform, recordWaveformCommand},
        {id::ExportWaveform, exportWaveformCommand},
    };
    return kCommands;
}

} // namespace quorvel::shell
