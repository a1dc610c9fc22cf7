// The "Serial Port" window as a user works it against a running program:
// Demo7 greets and then echoes; a typed byte and a whole file come back in
// the lists, bad hex is refused, the TB8 radios follow SM0, the window's
// Clear View tile, and the four "Save Buffer" commands. With
// QUORVEL_SCREENSHOT_DIR set, serial_window.png is saved there.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/modules/serial_window.h"
#include "shell_test_support.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

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

// "Setting": picks the mode (and the file through "&Browse"), then OK.
// Returns the dialog's title.
QString setTransferMode(StartedFrame& started, SerialWindow* window, bool fromFile,
                        const QString& file) {
    if (!file.isEmpty()) started.messages.fileAnswers.push_back(file);
    QString title;
    onNextModal([fromFile, file, &title](QDialog* dialog) {
        title = dialog->windowTitle();
        child<QRadioButton>(dialog, fromFile ? "fromFile" : "manualByte")->click();
        if (!file.isEmpty()) child<QPushButton>(dialog, "browse")->click();
        child<QPushButton>(dialog, "ok")->click();
    });
    child<QPushButton>(window, "setting")->click();
    return title;
}

} // namespace

class SerialWindowTest : public QObject {
    Q_OBJECT
private slots:
    void echoOfATypedByteAndAFile();
    void ninthBitFollowsTheMode();
    void saveBufferCommands();
    void clearViewTile();
};

void SerialWindowTest::echoOfATypedByteAndAFile() {
    StartedFrame started("Atmel 89C52");
    Frame& frame = started.frame;
    started.loadDemo("Demo7", false);
    auto* window = started.open<SerialWindow>(id::SerialWindow);
    QCOMPARE(window->objectName(), QString("MdiSerialportChild"));
    QCOMPARE(window->windowTitle(), QString("Serial Port"));
    QVERIFY(window->controllerTransmitList()->toPlainText().isEmpty());

    frame.dispatch(id::Go);
    QVERIFY(frame.runControl().running());
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

    // Bad hex: the message, nothing sent, the text kept for correcting.
    window->hostTransmitField()->setText("G1");
    window->sendButton()->click();
    QCOMPARE(started.messages.shown.back(), errorMessage("ERROR", "Illegal Data"));
    QCOMPARE(window->hostTransmitField()->text(), QString("G1"));
    QTest::qWait(50);
    QCOMPARE(window->controllerReceiveList()->toPlainText(), QString("41(A)"));

    // A file, paced by the program's receptions, in "From File" mode.
    QTemporaryDir dir;
    const QString path = dir.filePath("send.dat");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Hi\r");
    }
    QCOMPARE(setTransferMode(started, window, true, path), QString("Serialport Transfer Mode Setting"));
    QCOMPARE(started.messages.prompts.back(), QString("Browse"));
    QCOMPARE(frame.machine().modules.settings.serialHost.TransferFileName, path.toStdString());
    QVERIFY(!window->hostTransmitField()->isEnabled());
    window->sendButton()->click();
    QTRY_COMPARE(child<QLabel>(window, "fileStatus")->text(), QString("Transmitted Successfully"));
    QCOMPARE(child<QLabel>(window, "totalBytes")->text(), QString("3"));
    QCOMPARE(child<QLabel>(window, "bytesTransmitted")->text(), QString("3"));
    QCOMPARE(window->sendButton()->text(), QString("Send"));
    QTRY_VERIFY(window->controllerTransmitList()->toPlainText().endsWith("41(A)\n48(H)\n69(i)\n0D(.)"));
    QCOMPARE(window->controllerReceiveList()->toPlainText(), QString("41(A)\n48(H)\n69(i)\n0D(.)"));

    // A missing file is reported and nothing starts.
    QVERIFY(QFile::remove(path));
    window->sendButton()->click();
    QCOMPARE(started.messages.shown.back(), errorMessage("ERROR", "Unable to open the selected file"));
    QCOMPARE(window->sendButton()->text(), QString("Send"));

    window->parentWidget()->resize(420, 440);
    QVERIFY(saveScreenshot(window->parentWidget(), "serial_window.png"));
    frame.dispatch(id::StopExecution);
    QVERIFY(!frame.runControl().running());
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
        QVERIFY(frame.menuAction(c.command)->isEnabled());
        frame.dispatch(c.command);
        QCOMPARE(started.messages.shown.back(), errorMessage("Error", c.empty));
    }
    QVERIFY(started.messages.prompts.isEmpty());

    // Entries in both formats: mode 1 and mode 3 with the ninth bit.
    SerialState& serial = started.chip().periph.serial;
    serial.txLog.append(0x41);
    serial.txLog.append(0x0D);
    serial.txLog.append(0x200 | 0x100 | 0x41);
    started.chip().periph.spi.txLog.append(0x30);
    QTemporaryDir dir;
    const QString path = dir.filePath("tx.dat");
    started.messages.fileAnswers.push_back(path);
    frame.dispatch(id::SaveSerialTransmitter);
    QCOMPARE(started.messages.prompts.back(), QString("Save SerialPort Transmitter Buffer"));
    QCOMPARE(readAll(path), QString("41(A)\r\n0D(.)\r\n41(A) - 1"));
    QCOMPARE(frame.statusText(0), QString("Ready"));

    // The next save starts from the name chosen before; Cancel keeps it.
    frame.dispatch(id::SaveSerialTransmitter);
    QCOMPARE(started.messages.startFiles.back(), path);
    started.messages.fileAnswers.push_back(dir.filePath("spi.dat"));
    frame.dispatch(id::SaveSpiTransmitter);
    QCOMPARE(started.messages.prompts.back(), QString("Save SPI Receiver Buffer"));
    QCOMPARE(started.messages.startFiles.back(), QString());
    QCOMPARE(readAll(dir.filePath("spi.dat")), QString("30 (0)"));

    // A folder that does not exist: the message, and no file anywhere.
    const size_t shown = started.messages.shown.size();
    started.messages.fileAnswers.push_back(dir.filePath("missing/tx.dat"));
    frame.dispatch(id::SaveSerialTransmitter);
    QCOMPARE(started.messages.shown.size(), shown + 1);
    QCOMPARE(started.messages.shown.back(), errorMessage("ERROR", "Unable to Write the file"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    QCOMPARE(readAll(path), QString("41(A)\r\n0D(.)\r\n41(A) - 1"));
}

void SerialWindowTest::clearViewTile() {
    StartedFrame started("Atmel 89C2051");
    Frame& frame = started.frame;
    auto* normal = started.open<SerialWindow>(id::SerialWindow);
    const int normalTop = child<QGroupBox>(normal, "controller")->y();
    frame.dispatch(id::ClearView);
    auto* window = started.open<SerialWindow>(id::SerialWindow);
    auto* tile = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    QCOMPARE(tile->geometry(), QRect(0, 0, 353, 300));
    QVERIFY(tile->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(child<QGroupBox>(window, "controller")->y(), normalTop + 10);
    // Everything fits the tile.
    QVERIFY(child<QGroupBox>(window, "host")->geometry().right() < 353);
    QVERIFY(window->sendButton()->isVisible());
    // The painted title: navy while the tile is active, grey otherwise.
    frame.mdiArea()->setActiveSubWindow(tile);
    QImage image = window->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() - 3, 3), QColor(0, 0, 128));
    QVERIFY(saveScreenshot(tile, "serial_window_clear.png"));
    frame.dispatch(id::RegisterWindow);
    image = window->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() - 3, 3), QColor(128, 128, 128));
}

QTEST_MAIN(SerialWindowTest)
#include "serial_window_test.moc"
