#include "shell/frame.h"
#include "shell/messages.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvel Simulator");
    QApplication::setOrganizationName("Quorvel");

    quorvel::shell::MessageBoxes messages;
    quorvel::shell::Frame frame(messages);
    frame.show();
    if (!frame.startUp()) return 0;
    return app.exec();
}
