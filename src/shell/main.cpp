#include "shell/frame.h"
#include "shell/messages.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QStandardPaths>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvel Simulator");
    QApplication::setOrganizationName("Quorvel");

    // Resources (Assembler/, DemoPrograms/, help/) sit beside the executable;
    // simulator.dat lives in the user's configuration folder. --start-dir
    // puts both in one folder, for tests and portable use.
    QCommandLineParser parser;
    parser.setApplicationDescription("Quorvel Simulator: an 8051-family microcontroller simulator");
    parser.addHelpOption();
    QCommandLineOption startDir("start-dir", "Folder of simulator.dat and the resources.", "DIR");
    parser.addOption(startDir);
    parser.process(app);

    QString resources = QCoreApplication::applicationDirPath();
    QString config =
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath("simulator.dat");
    if (parser.isSet(startDir)) {
        resources = QDir(parser.value(startDir)).absolutePath();
        config = QDir(resources).filePath("simulator.dat");
    }

    quorvel::shell::MessageBoxes messages;
    quorvel::shell::Frame frame(messages, config, resources);
    frame.show();
    if (!frame.startUp()) return 0;
    return app.exec();
}
