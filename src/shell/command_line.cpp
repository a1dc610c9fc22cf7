#include "shell/command_line.h"

#include "common/install_layout.h"
#include "debug/run_controller.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace quorvel::shell {

LaunchOptions launchOptions(const QStringList& arguments, const QString& programDir, const QString& configDir) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Quorvel Simulator: an 8051-family microcontroller simulator");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption startDir("start-dir", "Folder of simulator.dat and the resources.", "DIR");
    parser.addOption(startDir);
    const QCommandLineOption toCycle("to-cycle", "With a recording: open it at machine cycle N.", "N");
    parser.addOption(toCycle);
    const QCommandLineOption dapPort(
        "dap-port",
        "Let a debugger attach over the Debug Adapter Protocol on 127.0.0.1 port N (0: any free port, "
        "printed on standard output), as Run > Allow Debugger to Attach; the device is quorvel-cli's default "
        "(AT89C52), not asked for.",
        "N");
    parser.addOption(dapPort);
    parser.addPositionalArgument("program",
                                 "An Intel HEX (.HEX) or binary (.BIN) file to load once the device is chosen, "
                                 "or a recording (.qrec) to open.",
                                 "[program]");

    LaunchOptions options;
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (parser.isSet(help) || parser.isSet("help-all")) {
        options.help = true;
        options.helpText = parser.helpText();
        return options;
    }
    // Beside the executable in a build tree, <prefix>/share/quorvel when
    // installed; simulator.dat in the user's configuration folder.
    // --start-dir puts both in one folder, for tests and portable use; a
    // folder that is not there would leave the simulator without demos, help
    // and assembler, so the installation's data is used instead, and said.
    options.resourceDir = QString::fromStdString(resourceDirOf(programDir.toStdString()).string());
    options.configFile = QDir(configDir).filePath("simulator.dat");
    if (parser.isSet(startDir)) {
        const QString dir = QDir(parser.value(startDir)).absolutePath();
        if (QFileInfo(dir).isDir()) {
            options.resourceDir = dir;
            options.configFile = QDir(dir).filePath("simulator.dat");
        } else {
            options.warning = "--start-dir " + parser.value(startDir) + ": no such folder; using " +
                              options.resourceDir + " and " + options.configFile;
        }
    }
    if (parser.isSet(dapPort)) {
        bool ok = false;
        const uint port = parser.value(dapPort).toUInt(&ok);
        if (!ok || port > 65535) {
            options.error = "--dap-port " + parser.value(dapPort) + ": give a port number, 0 to 65535.";
            return options;
        }
        options.dapPort = quint16(port);
    }
    const QStringList programs = parser.positionalArguments();
    if (programs.size() > 1) {
        options.error = "Give one program file at most.";
        return options;
    }
    const QString file = programs.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(programs.front()).absoluteFilePath());
    const bool recording = file.endsWith(".qrec", Qt::CaseInsensitive);
    (recording ? options.recording : options.program) = file;
    if (parser.isSet(toCycle)) {
        uint64_t cycle = 0;
        if (!recording) {
            options.error = "--to-cycle goes with a recording (.qrec) to open.";
        } else if (acceptCycle(parser.value(toCycle).toStdString(), cycle)) {
            options.error = "--to-cycle " + parser.value(toCycle) + ": not a machine cycle (a decimal number)";
        } else {
            options.toCycle = cycle;
        }
    }
    return options;
}

} // namespace quorvel::shell
