// Loading a demonstration program into a started frame for the part-window
// tests: its HEX file through Load Program and its module settings file.
#pragma once

#include "settings/module_settings_file.h"
#include "shell_test_support.h"

#include <QString>

namespace shelltest {

// Loads DemoN.HEX and DemoN.MST from the built demonstration folder; a load
// that fails ends the test program.
inline void loadDemo(StartedFrame& started, const char* name) {
    quorvel::shell::Frame& frame = started.frame;
    ModalAnswerer details([](QDialog* dialog) {
        if (dialog->objectName() != "IDM_FILELOADINGDETAILS") return false;
        dialog->accept();
        return true;
    });
    const QString base = QString(QUORVEL_DEMO_DIR) + "/" + name;
    started.messages.fileAnswers.push_back(base + ".HEX");
    frame.dispatch(quorvel::shell::id::LoadProgram);
    quorvel::Machine& m = frame.machine();
    if (m.chip.readCode(0) == 0xFF && m.chip.readCode(1) == 0xFF) qFatal("%s.HEX did not load", name);
    if (quorvel::ReadModuleSettings((base + ".MST").toStdString(), m.modules.settings,
                                    m.profile.availablePinMask))
        qFatal("%s.MST did not load", name);
}

// Saves a grab of `widget` as `file` in $QUORVEL_SCREENSHOT_DIR when it is set.
inline bool saveScreenshot(QWidget* widget, const QString& file) {
    const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    return dir.isEmpty() || widget->grab().save(dir + "/" + file);
}

} // namespace shelltest
