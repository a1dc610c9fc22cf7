// "Code Generation - IIC Routines" (PCF 8583 clock and AT24C01-AT24C16
// EEPROM routines) and "Code Generation - SPI EEPROM Routines", on the
// frame's code-generation records. With "Use Same Setting as in Simulation"
// the device controls show the bus module's settings and are disabled.
#pragma once

namespace quorvel::shell {

class Frame;

void generateIicCodeCommand(Frame& frame);
void generateSpiCodeCommand(Frame& frame);

} // namespace quorvel::shell
