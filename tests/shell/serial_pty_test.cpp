// The "Serial Port" window's "PTY" switch as a terminal user works it: with
// Demo7 (a greeting, then an echo) the firmware's bytes come out of the
// terminal whose path the window shows, what the terminal writes comes back,
// both lists fill as before, the host's own Send is off meanwhile, switching
// off closes the terminal, and a terminal that cannot be opened is reported
// with the switch left off. With QUORVEL_SCREENSHOT_DIR set,
// serial_pty.png is saved there.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/modules/serial_window.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QFile>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// Reads from the terminal until `expected` has arrived, for at most ten
// seconds of the event loop (the program runs meanwhile). Returns all read.
QByteArray readUntil(int fd, const QByteArray& expected) {
    QByteArray got;
    QDeadlineTimer deadline(10000);
    while (!got.contains(expected) && !deadline.hasExpired()) {
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) got.append(buffer, n);
        else QTest::qWait(5);
    }
    return got;
}

} // namespace

class SerialPtyTest : public QObject {
    Q_OBJECT
private slots:
    void echoThroughTheTerminal();
    void failureToOpenLeavesTheSwitchOff();
};

void SerialPtyTest::echoThroughTheTerminal() {
    StartedFrame started("Atmel 89C52");
    Frame& frame = started.frame;
    started.loadDemo("Demo7", false);
    auto* window = started.open<SerialWindow>(id::SerialWindow);
    QCheckBox* pty = window->ptySwitch();
    QCOMPARE(pty->text(), QString("PTY"));
    QVERIFY(!pty->isChecked());
    QVERIFY(window->ptyPathField()->text().isEmpty());

    pty->click();
    QVERIFY(pty->isChecked());
    const QString path = window->ptyPathField()->text();
    QVERIFY2(path.startsWith("/dev/"), qPrintable(path));
    QVERIFY(window->ptyPathField()->isReadOnly());
    QVERIFY(!window->sendButton()->isEnabled());
    QVERIFY(!window->hostTransmitField()->isEnabled());

    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY2(fd >= 0, std::strerror(errno));

    frame.dispatch(id::Go);
    QVERIFY(frame.runControl().running());
    QCOMPARE(readUntil(fd, "back.\r\n"), QByteArray("Quorvel Simulator Serial Port Demo\r\n"
                                                      "Send a character and it comes back.\r\n"));
    // The list shows what the terminal got.
    QTRY_VERIFY(window->controllerTransmitList()->toPlainText().startsWith("51(Q)\n75(u)"));

    // Bytes from the terminal enter one after another and are echoed.
    QCOMPARE(::write(fd, "Hi!", 3), ssize_t(3));
    const QByteArray echo = readUntil(fd, "Hi!");
    QCOMPARE(echo, QByteArray("Hi!"));
    QTRY_COMPARE(window->controllerReceiveList()->toPlainText(), QString("48(H)\n69(i)\n21(!)"));
    QTRY_VERIFY(window->controllerTransmitList()->toPlainText().endsWith("48(H)\n69(i)\n21(!)"));

    window->parentWidget()->resize(420, 440);
    QVERIFY(saveScreenshot(window->parentWidget(), "serial_pty.png"));

    // Off: the terminal is closed (the slave end reads a hang-up), and the
    // host's Send is back.
    pty->click();
    QVERIFY(!pty->isChecked());
    QVERIFY(window->ptyPathField()->text().isEmpty());
    QVERIFY(window->sendButton()->isEnabled());
    QVERIFY(window->hostTransmitField()->isEnabled());
    char byte;
    const ssize_t n = ::read(fd, &byte, 1);
    const int error = errno;
    QVERIFY(n == 0 || (n < 0 && error == EIO));
    ::close(fd);

    // The host sends as before, and nothing else enters the receiver.
    window->hostTransmitField()->setText("41");
    window->sendButton()->click();
    QTRY_COMPARE(window->controllerReceiveList()->toPlainText(), QString("48(H)\n69(i)\n21(!)\n41(A)"));
    frame.dispatch(id::StopExecution);
    QVERIFY(!frame.runControl().running());
}

void SerialPtyTest::failureToOpenLeavesTheSwitchOff() {
    StartedFrame started("Atmel 89C52");
    auto* window = started.open<SerialWindow>(id::SerialWindow);
    // No descriptor can be opened while the limit is zero.
    rlimit limit{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit none = limit;
    none.rlim_cur = 0;
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &none), 0);
    window->ptySwitch()->click();
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);

    QVERIFY(!started.messages.shown.empty());
    const UserMessage& message = started.messages.shown.back();
    QCOMPARE(message.title, std::string("ERROR"));
    QVERIFY2(message.text.starts_with("Cannot open a pseudo-terminal: "), message.text.c_str());
    QCOMPARE(message.icon, UserMessage::Icon::Error);
    QVERIFY(!window->ptySwitch()->isChecked());
    QVERIFY(window->ptyPathField()->text().isEmpty());
    QVERIFY(window->sendButton()->isEnabled());

    // The next try opens it.
    window->ptySwitch()->click();
    QVERIFY(window->ptySwitch()->isChecked());
    QVERIFY(!window->ptyPathField()->text().isEmpty());
}

QTEST_MAIN(SerialPtyTest)
#include "serial_pty_test.moc"
