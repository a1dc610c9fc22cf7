// The simulator's command line:
//   quorvel [--start-dir DIR] [program.HEX | program.BIN]
// Where the resources and simulator.dat are, and the program to load once
// the device is chosen.
#pragma once

#include <QString>
#include <QStringList>

namespace quorvel::shell {

struct LaunchOptions {
    QString resourceDir; // Assembler/, DemoPrograms/, help/
    QString configFile;  // simulator.dat
    QString program;     // absolute; empty: none
    bool help = false;   // print `helpText` and end
    QString helpText;
    QString error;       // a bad command line: print it and end
    QString warning;     // said on standard error; the start goes on
};

// `arguments` with the program name first (QCoreApplication::arguments());
// `programDir` is the folder of the executable and `configDir` the user's
// configuration folder. A relative program path is taken from the current
// folder.
LaunchOptions launchOptions(const QStringList& arguments, const QString& programDir, const QString& configDir);

} // namespace quorvel::shell
