// make_demo_settings <folder>: writes the module-settings file and the window
// layout of every demonstration (DemoN.MST and DemoN.SST, ProjectN.MST and
// ProjectN.SST) into <folder>, through the same writers the "Save Module
// Setting" and "Save Screen Setting" commands use.
#include "demo_settings.h"
#include "settings/module_settings_file.h"
#include "settings/screen_settings_file.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_settings <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    for (const quorvel::demos::DemoSettings& demo : quorvel::demos::demoSettings()) {
        const auto path = folder / (demo.name + ".MST");
        if (const auto failure = quorvel::WriteModuleSettings(path, demo.settings)) {
            std::fprintf(stderr, "%s: cannot be written\n", path.string().c_str());
            return 1;
        }
        const auto layout = folder / (demo.name + ".SST");
        if (const auto failure = quorvel::WriteScreenSettings(layout, quorvel::demos::demoScreen(demo))) {
            std::fprintf(stderr, "%s: cannot be written\n", layout.string().c_str());
            return 1;
        }
    }
    return 0;
}
