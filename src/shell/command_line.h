// The simulator's command line:
//   quorvel [--start-dir DIR] [--dap-port N] [program.HEX | program.BIN | run.qrec [--to-cycle N]]
// Where the resources and simulator.dat are, and the program to load (or the
// recording to open, at its end or at cycle N) once the device is chosen.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace quorvel::shell {

struct LaunchOptions {
    QString resourceDir; // Assembler/, DemoPrograms/, help/
    QString configFile;  // simulator.dat
    QString program;     // absolute; empty: none
    QString recording;   // a .qrec file, absolute; empty: none
    std::optional<uint64_t> toCycle; // where the recording opens (its end without)
    // --dap-port: a debugger may attach on 127.0.0.1 at this port from the
    // start (0: a port the system chooses, printed on standard output); the
    // device is then quorvel-cli's default, unasked, and the program loads
    // without the loading details box.
    std::optional<quint16> dapPort;
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
