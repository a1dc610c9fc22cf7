// The "Serial Port" window as a user works it against a running program:
// Demo7 greets and then echoes; a typed byte, a pseudo-terminal's bytes and
// a whole file come back in the lists, typed text is sent byte by byte,
// bad hex is refused as it is typed, a terminal that
// cannot be opened is reported, the TB8 radios follow SM0, and the four
// "Save Buffer" commands. With QUORVEL_SCREENSHOT_DIR set,
// serial_window.png and serial_pty.png are saved there.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/modules/serial_window.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFontDatabase>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
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

const char* const kGreetingEnd = "0D(.)\n0A(.)"; // the greeting's last line break

QString lastLine(QPlainTextEdit* list) { return list->toPlainText().section('\n', -1); }

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString("<none>");
}

// "Setting": picks "From File" and the file through "&Browse", then OK.
void sendFromFile(StartedFrame& started, SerialWindow* window, const QString& file) {
    started.messages.fileAnswers.push_back(file);
    onNextModal([](QDialog* dialog) {
        child<QRadioButton>(dialog, "fromFile")->click();
        child<QPushButton>(dialog, "browse")->click();
        child<QPushButton>(dialog, "ok")->click();
    });
    child<QPushButton>(window, "setting")->click();
}

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

class SerialWindowTest : public QObject {
    Q_OBJECT
private slots:
    void echoOfATypedByteATerminalAndAFile();
    void terminalThatCannotBeOpenedLeavesTheSwitchOff();
    void ninthBitFollowsTheMode();
    void saveBufferCommands();
    void hostBaudRateReachesTheLine();
};

// "Setting": the host's baud rate goes to the serial line; a bad one is
// refused and changes nothing; an empty field is "as the chip".
void SerialWindowTest::hostBaudRateReachesTheLine() {
    StartedFrame started("Atmel 89C52");
    auto* window = started.open<SerialWindow>(id::SerialWindow);
    const std::pair<const char*, uint32_t> cases[] = {{"9600", 9600}, {"fast", 9600}, {"", 0}};
    for (const auto& [text, baud] : cases) {
        onNextModal([text = text](QDialog* dialog) {
            child<QLineEdit>(dialog, "hostBaud")->setText(text);
            child<QPushButton>(dialog, "ok")->click();
            if (dialog->isVisible()) child<QPushButton>(dialog, "cancel")->click();
        });
        child<QPushButton>(window, "setting")->click();
        QCOMPARE(started.frame.machine().chip.periph.line.baud, baud);
    }
    QCOMPARE(started.messages.shown.size(), size_t(1));
    QCOMPARE(started.messages.shown.back(), errorMessage("ERROR", "Illegal Baud Rate"));
}

void SerialWindowTest::echoOfATypedByteATerminalAndAFile() {
    StartedFrame started("Atmel 89C52");
    Frame& frame = started.frame;
    started.loadDemo("Demo7", false);
    auto* window = started.open<SerialWindow>(id::SerialWindow);
    frame.dispatch(id::Go);
    // The greeting arrives on the module timer's ticks.
    QTRY_VERIFY(window->controllerTransmitList()->toPlainText().endsWith(kGreetingEnd));
    QVERIFY(window->controllerTransmitList()->toPlainText().startsWith("51(Q)\n75(u)"));

    window->hostTransmitField()->setText("41");
    window->sendButton()->click();
    QTRY_COMPARE(lastLine(window->controllerTransmitList()), QString("41(A)"));
    QCOMPARE(window->controllerReceiveList()->toPlainText(), QString("41(A)"));
    QCOMPARE(child<QLineEdit>(window, "hostReceive")->text(), QString("41"));
    // The list shows its end.
    auto* bar = window->controllerTransmitList()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    // What is not hex is refused as it is typed; an empty field on Send is
    // "Illegal Data", and nothing is sent.
    window->hostTransmitField()->clear();
    QTest::keyClicks(window->hostTransmitField(), "Gx-1z");
    QCOMPARE(window->hostTransmitField()->text(), QString("1"));
    window->hostTransmitField()->clear();
    window->sendButton()->click();
    QCOMPARE(started.messages.shown.back(), errorMessage("ERROR", "Illegal Data"));
    QTest::qWait(50);
    QCOMPARE(window->controllerReceiveList()->toPlainText(), QString("41(A)"));

    // Typed text goes out byte after byte, and the field empties.
    QTest::keyClicks(window->hostTextField(), "ok");
    window->sendTextButton()->click();
    QTRY_COMPARE(window->controllerReceiveList()->toPlainText(), QString("41(A)\n6F(o)\n6B(k)"));
    QVERIFY(window->hostTextField()->text().isEmpty());
    // The echo of the last byte is out before the terminal takes the line.
    QTRY_COMPARE(lastLine(window->controllerTransmitList()), QString("6B(k)"));
    // The lists use the desktop's fixed-pitch font at its own size.
    QCOMPARE(QFontInfo(window->controllerReceiveList()->font()).pixelSize(),
             QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).pixelSize());

    // "PTY": the terminal whose path the window shows takes the host's place
    // (its Send is off); switched off, the terminal reads a hang-up.
    window->ptySwitch()->click();
    const QString pty = window->ptyPathField()->text();
    QVERIFY2(pty.startsWith("/dev/"), qPrintable(pty));
    QVERIFY(!window->sendButton()->isEnabled());
    const int fd = ::open(QFile::encodeName(pty).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY2(fd >= 0, std::strerror(errno));
    QCOMPARE(::write(fd, "Hi!", 3), ssize_t(3));
    QCOMPARE(readUntil(fd, "Hi!"), QByteArray("Hi!"));
    QTRY_COMPARE(window->controllerReceiveList()->toPlainText(), QString("41(A)\n6F(o)\n6B(k)\n48(H)\n69(i)\n21(!)"));
    QVERIFY(saveScreenshot(window->parentWidget(), "serial_pty.png"));
    window->ptySwitch()->click();
    char byte;
    const ssize_t n = ::read(fd, &byte, 1);
    const int error = errno;
    QVERIFY(n == 0 || (n < 0 && error == EIO));
    ::close(fd);
    QVERIFY(window->ptyPathField()->text().isEmpty());

    // A file, paced by the program's receptions, in "From File" mode.
    QTemporaryDir dir;
    const QString path = dir.filePath("send.dat");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Hi\r");
    }
    sendFromFile(started, window, path);
    QCOMPARE(frame.machine().modules.settings.serialHost.TransferFileName, path.toStdString());
    window->sendButton()->click();
    QTRY_COMPARE(child<QLabel>(window, "fileStatus")->text(), QString("Transmitted Successfully"));
    QCOMPARE(child<QLabel>(window, "bytesTransmitted")->text(), QString("3"));
    QTRY_VERIFY(window->controllerTransmitList()->toPlainText().endsWith("21(!)\n48(H)\n69(i)\n0D(.)"));

    window->parentWidget()->resize(420, 440);
    QVERIFY(saveScreenshot(window->parentWidget(), "serial_window.png"));
    frame.dispatch(id::StopExecution);
}

void SerialWindowTest::terminalThatCannotBeOpenedLeavesTheSwitchOff() {
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
    QVERIFY2(message.text.starts_with("Cannot open a pseudo-terminal: "), message.text.c_str());
    QVERIFY(!window->ptySwitch()->isChecked());
    QVERIFY(window->sendButton()->isEnabled());

    // The next try opens it.
    window->ptySwitch()->click();
    QVERIFY(!window->ptyPathField()->text().isEmpty());
}

void SerialWindowTest::ninthBitFollowsTheMode() {
    StartedFrame started("Atmel 89C52");
    // MOV SCON,#0D0H (mode 3, REN) / MOV SCON,#50H (mode 1, REN) / SJMP $
    started.writeCode(0, {0x75, 0x98, 0xD0, 0x75, 0x98, 0x50, 0x80, 0xFE});
    auto* window = started.open<SerialWindow>(id::SerialWindow);
    auto* zero = child<QRadioButton>(window, "tb8Zero");
    auto* one = child<QRadioButton>(window, "tb8One");
    QVERIFY(!zero->isEnabled() && !one->isEnabled());
    QVERIFY(zero->isChecked());

    started.frame.dispatch(id::SingleStep);
    QTRY_VERIFY(one->isEnabled());
    one->click();
    QCOMPARE(started.frame.machine().modules.serialHost.ninthBit, uint8_t(1));
    // A byte sent now carries the ninth bit.
    window->hostTransmitField()->setText("41");
    window->sendButton()->click();
    QCOMPARE(started.chip().periph.serial.rxNinth, uint8_t(1));

    started.frame.dispatch(id::SingleStep);
    QTRY_VERIFY(!one->isEnabled());
    QVERIFY(one->isChecked());
}

// The lists' formats and the file writing are checked with the core; here
// each command saves its own list, remembers the name, and reports.
void SerialWindowTest::saveBufferCommands() {
    StartedFrame started("Atmel 89S8252"); // a device with an SPI
    Frame& frame = started.frame;
    // Empty lists: each command's own message.
    const struct {
        int command;
        const char* empty;
    } commands[] = {
        {id::SaveSerialReceiver, "SerialPort Receiver Buffer Empty"},
        {id::SaveSerialTransmitter, "SerialPort Transmitter Buffer Empty"},
        {id::SaveSpiReceiver, "SPI Receiver Buffer Empty"},
        {id::SaveSpiTransmitter, "SPI Transmitter Buffer Empty"},
    };
    for (const auto& c : commands) {
        frame.dispatch(c.command);
        QCOMPARE(started.messages.shown.back(), errorMessage("Error", c.empty));
    }
    QVERIFY(started.messages.prompts.isEmpty());

    started.chip().periph.serial.txLog.append(0x41);
    started.chip().periph.spi.txLog.append(0x30);
    QTemporaryDir dir;
    const QString path = dir.filePath("tx.dat");
    started.messages.fileAnswers.push_back(path);
    frame.dispatch(id::SaveSerialTransmitter);
    QCOMPARE(readAll(path), QString("41(A)"));
    QCOMPARE(frame.statusText(0), QString("Ready"));

    // The next save starts from the name chosen before; Cancel keeps it.
    frame.dispatch(id::SaveSerialTransmitter);
    QCOMPARE(started.messages.startFiles.back(), path);
    started.messages.fileAnswers.push_back(dir.filePath("spi.dat"));
    frame.dispatch(id::SaveSpiTransmitter);
    QCOMPARE(started.messages.prompts.back(), QString("Save SPI Receiver Buffer"));
    QCOMPARE(started.messages.startFiles.back(), QString());
    QCOMPARE(readAll(dir.filePath("spi.dat")), QString("30 (0)"));

    // A folder that does not exist: the message.
    started.messages.fileAnswers.push_back(dir.filePath("missing/tx.dat"));
    frame.dispatch(id::SaveSerialTransmitter);
    QCOMPARE(started.messages.shown.back(), errorMessage("ERROR", "Unable to Write the file"));
}

QTEST_MAIN(SerialWindowTest)
#include "serial_window_test.moc"
