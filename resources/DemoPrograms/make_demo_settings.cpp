// make_demo_settings <folder>: writes the module-settings file of every
// demonstration (DemoN.MST, ProjectN.MST) into <folder>, through the same
// writer the "Save Module Setting" command uses.
#include "demo_settings.h"
#include "settings/module_settings_file.h"

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
    }
    return 0;
}
