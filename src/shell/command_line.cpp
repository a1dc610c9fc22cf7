#include "shell/command_line.h"

#include "common/install_layout.h"

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
    parser.addPositionalArgument("program",
                                 "An Intel HEX (.HEX) or binary (.BIN) file to load once the device is chosen.",
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
    // --start-dir puts both in one folder, for tests and portable use.
    options.resourceDir = QString::fromStdString(resourceDirOf(programDir.toStdString()).string());
    options.configFile = QDir(configDir).filePath("simulator.dat");
    if (parser.isSet(startDir)) {
        options.resourceDir = QDir(parser.value(startDir)).absolutePath();
        options.configFile = QDir(options.resourceDir).filePath("simulator.dat");
    }
    const QStringList programs = parser.positionalArguments();
    if (programs.size() > 1) {
        options.error = "Give one program file at most.";
        return options;
    }
    if (!programs.isEmpty()) options.program = QDir::cleanPath(QFileInfo(programs.front()).absoluteFilePath());
    return options;
}

} // namespace quorvel::shell
