// Command identifiers of the application's menus and toolbar. The core names
// the ones whose availability depends on the machine (device, memories); the
// frame maps every identifier to its menu item.
#pragma once

namespace quorvel::cmd {

constexpr int LoadProgram = 32771;
constexpr int LoadData = 40109;
constexpr int ExternalMemoryFill = 40034;
constexpr int ExternalMemoryCopy = 40035;
constexpr int ExternalDataMemoryWindow = 40017;
constexpr int EepromWindow = 40120;
constexpr int SpiWindow = 40117;
constexpr int SerialPortWindow = 40118;
constexpr int SaveSerialReceiver = 40123;
constexpr int SaveSerialTransmitter = 40127;
constexpr int SaveSpiReceiver = 40125;
constexpr int SaveSpiTransmitter = 40126;
constexpr int StopExecution = 40116;

} // namespace quorvel::cmd
