// The module settings of each demonstration: which external parts it uses
// and the port lines they are wired to, and the windows it opens.
// make_demo_settings writes them as the DemoN.MST / ProjectN.MST and
// DemoN.SST / ProjectN.SST files the Demo menu loads.
#pragma once

#include "modules/module_settings.h"
#include "settings/screen_settings_file.h"

#include <string>
#include <vector>

namespace quorvel::demos {

// The views of a window layout, numbered as its records.
enum DemoView : int {
    Registers = 1, Program, ExternalMemory, InternalMemory, SfrBits, MemoryBits, Eeprom, IoLevels,
    SerialPort, SpiInterface, Leds, Lcd, Keyboard, IicRtc, IicEeprom, SpiEeprom,
};

// One open view, its window's place inside the MDI area.
struct DemoWindow {
    DemoView view;
    int x, y, width, height;
};

struct DemoSettings {
    std::string name; // "Demo1" ... "Project3": the base name of its files
    ModuleSettings settings;
    std::vector<DemoWindow> windows;
};

// Every demonstration with its settings, in menu order.
std::vector<DemoSettings> demoSettings();

// The window layout of a demonstration: Normal View, the listed views open
// where given, every other view closed, the frame left where the user has it.
ScreenSettings demoScreen(const DemoSettings& demo);

} // namespace quorvel::demos
