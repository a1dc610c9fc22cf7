#include "shell/command_line.h"
#include "shell/debugger_port.h"
#include "shell/frame.h"
#include "shell/messages.h"

#include <QApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

bool asked(int argc, char* argv[], std::initializer_list<const char*> options) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : options)
            if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

// On X11 and Wayland systems without a display Qt stops with a message about
// its platform plugin that does not say what to do. Say it instead: true
// when the program can go on.
bool displayAvailable(int argc, char* argv[]) {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || asked(argc, argv, {"-platform", "--platform"}))
        return true;
    // --help needs no window: it prints without one.
    if (asked(argc, argv, {"-h", "--help", "-?", "--help-all"})) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }
    // The commands name the program as it was started (build/quorvel from
    // `make run`).
    const char* self = argc > 0 && argv[0] && *argv[0] ? argv[0] : "quorvel";
    std::fprintf(stderr,
                 "quorvel: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                 "Start the simulator inside a desktop session, or without a screen:\n"
                 "  xvfb-run %s                    (a virtual X display)\n"
                 "  QT_QPA_PLATFORM=offscreen %s   (no window at all, for scripts)\n"
                 "quorvel-cli runs programs without any window.\n",
                 self, self);
    return false;
#else
    (void)argc;
    (void)argv;
    return true;
#endif
}

} // namespace

int main(int argc, char* argv[]) {
    if (!displayAvailable(argc, argv)) return 1;

    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvel Simulator");
    QApplication::setOrganizationName("Quorvel");

    const quorvel::shell::LaunchOptions options = quorvel::shell::launchOptions(
        QCoreApplication::arguments(), QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    if (!options.error.isEmpty() || options.help) {
        const QString text = options.help ? options.helpText : "quorvel: " + options.error + "\n";
        std::fputs(qPrintable(text), options.help ? stdout : stderr);
        return options.help ? 0 : 2;
    }
    if (!options.warning.isEmpty()) std::fputs(qPrintable("quorvel: warning: " + options.warning + "\n"), stderr);

    quorvel::shell::MessageBoxes messages;
    quorvel::shell::Frame frame(messages, options.configFile, options.resourceDir);
    frame.show();
    if (!frame.startUp(options.dapPort ? std::optional(quorvel::shell::debuggerStartDevice()) : std::nullopt))
        return 0;
    if (options.dapPort) {
        // The debugger finds the program loaded when it attaches.
        if (!options.program.isEmpty()) {
            // Said here: no one may be there to close a box.
            if (!QFileInfo(options.program).isFile()) {
                std::fputs(qPrintable("quorvel: " + options.program + ": no such file\n"), stderr);
                return 1;
            }
            frame.loadProgram(options.program, false);
        }
        if (auto refused = frame.debuggerPort().listen(*options.dapPort)) {
            std::fputs(qPrintable("quorvel: --dap-port: " + *refused + "\n"), stderr);
            return 1;
        }
        std::printf("quorvel: a debugger may attach on 127.0.0.1:%u\n", unsigned(frame.debuggerPort().port()));
        std::fflush(stdout);
        return app.exec();
    }
    // After the device start-up, once the frame is on screen.
    if (!options.program.isEmpty())
        QTimer::singleShot(0, &frame, [&frame, &options] { frame.loadProgram(options.program); });
    if (!options.recording.isEmpty())
        QTimer::singleShot(0, &frame, [&frame, &options] { frame.openRecording(options.recording, options.toCycle); });
    return app.exec();
}
