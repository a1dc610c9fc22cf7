// The settings dialogs of the two serial buses on port lines, run from the
// "External Modules Setting" menu:
// - "IIC Bus Setting", with "RTC Setting" ("IIC RTC Setting") and "EEPROM
//   Setting" ("IIC EEPROM Setting");
// - "SPI Bus Setting", with "EEPROM Setting" ("SPI EEPROM Setting").
// The bus dialogs change the bus lines and "Enable ..." at once (with the
// simulation paused) and Cancel puts them back; the device dialogs work on a
// copy that OK writes back, retitling the device's open window.
#pragma once

namespace quorvel::shell {

class Frame;

void runIicSettingDialog(Frame& frame);
void runSpiSettingDialog(Frame& frame);

} // namespace quorvel::shell
