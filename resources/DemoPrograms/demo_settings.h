// The module settings of each demonstration: which external parts it uses
// and the port lines they are wired to. make_demo_settings writes them as the
// DemoN.MST / ProjectN.MST files the Demo menu loads.
#pragma once

#include "modules/module_settings.h"

#include <string>
#include <vector>

namespace quorvel::demos {

struct DemoSettings {
    std::string name; // "Demo1" ... "Project3": the base name of its files
    ModuleSettings settings;
};

// Every demonstration with its settings, in menu order.
std::vector<DemoSettings> demoSettings();

} // namespace quorvel::demos
