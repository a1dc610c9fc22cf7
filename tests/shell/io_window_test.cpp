// The "Input/Output Levels" window as a user works it: the three layouts by
// device with their drop-down entries, pulse buttons that wake up with
// "Pulse" and count in a running Demo9, latch texts, and the analog
// comparator of the 20-pin devices. With QUORVEL_SCREENSHOT_DIR set,
// io_window.png is saved there.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/modules/io_window.h"
#include "shell_test_support.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// The user picks `text` in a pin's drop-down list.
void choose(IoWindow* window, const char* pin, const char* text) {
    auto* combo = child<QComboBox>(window, (QString("input") + pin).toLatin1());
    const int index = combo->findText(text);
    if (index < 0) qFatal("%s offers no %s", pin, text);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

QStringList entries(IoWindow* window, const char* pin) {
    auto* combo = window->findChild<QComboBox*>(QString("input") + pin);
    QStringList list;
    if (combo)
        for (int i = 0; i < combo->count(); ++i) list << combo->itemText(i);
    return list;
}

QString text(IoWindow* window, const char* name) { return child<QLabel>(window, name)->text(); }

} // namespace

class IoWindowTest : public QObject {
    Q_OBJECT
private slots:
    void layoutsAndEntriesByDevice();
    void pulsesCountedByDemo9();
    void comparator();
};

// The choices per device are checked with the core; here the window shows
// them: the port groups, P1.0's entries, the comparator's controls.
void IoWindowTest::layoutsAndEntriesByDevice() {
    const struct {
        const char* device;
        int dataSize;
        QStringList ports;
        QStringList p10; // entries of P1.0
        bool comparator;
        int pulseButtons;
    } cases[] = {
        {"Atmel 89C2051", 0, {"port1", "port3"}, {"0", "1", "NC", "Analog"}, true, 4},
        {"Atmel 89C52", 0, {"port0", "port1", "port2", "port3"}, {"0", "1", "NC", "Pulse"}, false, 6},
        {"Atmel 89C51", 1, {"port1", "port3"}, {"0", "1", "NC"}, false, 6},
    };
    for (const auto& c : cases) {
        const QString what = QString("%1 data %2").arg(c.device).arg(c.dataSize);
        StartedFrame started(c.device, c.dataSize);
        auto* window = started.open<IoWindow>(id::IoWindow);
        QStringList ports;
        for (int port = 0; port < 4; ++port)
            if (window->findChild<QGroupBox*>(QString("port%1").arg(port))) ports << QString("port%1").arg(port);
        QVERIFY2(ports == c.ports, qPrintable(what));
        QVERIFY2(entries(window, "P1.0") == c.p10, qPrintable(what));
        // P3.6 is the comparator's output: no choice, no latch text.
        QCOMPARE(window->findChild<QComboBox*>("inputP3.6") == nullptr, c.comparator);
        QCOMPARE(window->findChild<QLabel*>("latchP3.6") == nullptr, c.comparator);
        QCOMPARE(window->findChild<QSlider*>("sliderP10") != nullptr, c.comparator);
        int pulses = 0;
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            if (!button->objectName().startsWith("pulse")) continue;
            ++pulses;
            QVERIFY2(!button->isEnabled(), qPrintable(what + button->text()));
        }
        QCOMPARE(pulses, c.pulseButtons);
    }
}

void IoWindowTest::pulsesCountedByDemo9() {
    StartedFrame started("Atmel 89C2051");
    Frame& frame = started.frame;
    started.loadDemo("Demo9", false);
    // Opened in a place too small (as a stored layout may give it), the
    // window grows to show its pulse buttons.
    auto* window = started.open<IoWindow>(id::IoWindow, QSize(200, 150));
    auto* int0 = child<QPushButton>(window, "pulseINT0");
    QVERIFY(!int0->visibleRegion().isEmpty());
    choose(window, "P3.2", "Pulse");
    QVERIFY(int0->isEnabled());
    QVERIFY(!child<QPushButton>(window, "pulseINT1")->isEnabled());

    frame.dispatch(id::Go);
    // The program lights P1 with the inverted count, once it has made INT0
    // an enabled falling-edge interrupt (EA in IE; a pulse before that is
    // not counted, as on the chip).
    QTRY_VERIFY([&frame] {
        auto guard = frame.runControl().pause();
        return (frame.machine().chip.sfr(sfr::IE) & sfr::bits::EA) != 0;
    }());
    QTRY_COMPARE(text(window, "latchP1.0"), QString("P1.0 = 1"));
    // Each pulse is counted before the next (two pulses before the program
    // ran its interrupt would set IE0 once, as on the chip).
    auto count = [&frame] {
        auto guard = frame.runControl().pause();
        return int(frame.machine().chip.iram[0x30]);
    };
    for (int i = 1; i <= 3; ++i) {
        int0->click();
        QTRY_COMPARE(count(), i);
    }
    // Three pulses: the count's complement 0FCH (the texts follow on the
    // module timer and pass 0FEH and 0FDH on the way).
    QTRY_VERIFY(text(window, "latchP1.0") == "P1.0 = 0" && text(window, "latchP1.1") == "P1.1 = 0");
    QCOMPARE(text(window, "latchP1.2"), QString("P1.2 = 1"));
    frame.dispatch(id::StopExecution);

    window->parentWidget()->resize(640, 560);
    QVERIFY(saveScreenshot(window->parentWidget(), "io_window.png"));
}

void IoWindowTest::comparator() {
    StartedFrame started("Atmel 89C2051");
    auto* window = started.open<IoWindow>(id::IoWindow);
    PinState& pins = started.chip().pins;
    auto* plus = child<QSlider>(window, "sliderP10");
    auto* minus = child<QSlider>(window, "sliderP11");
    QVERIFY(!plus->isEnabled() && !minus->isEnabled());
    choose(window, "P1.0", "Analog");
    choose(window, "P1.1", "Analog");
    QVERIFY(plus->isEnabled() && minus->isEnabled());
    // Slider positions (tenths of a volt), P1.0 and P3.6 levels, the texts;
    // the comparator itself is checked with the core.
    const struct {
        int plus, minus;
        bool p10, p36;
    } cases[] = {{25, 25, true, false}, {26, 25, true, true}, {9, 0, false, true}};
    for (const auto& c : cases) {
        plus->setValue(c.plus);
        minus->setValue(c.minus);
        const QString what = QString("%1/%2").arg(c.plus).arg(c.minus);
        QVERIFY2(pins.level(8) == c.p10, qPrintable(what));
        QVERIFY2(pins.level(30) == c.p36, qPrintable(what));
        QCOMPARE(text(window, "comparatorOutput"),
                 QString("Input Level at P3.6 = %1").arg(c.p36 ? 1 : 0));
        QCOMPARE(text(window, "voltageP10"), QString("Voltage = %1.%2 V").arg(c.plus / 10).arg(c.plus % 10));
    }
    // An input held at "1" is 5 V whatever its slider says.
    minus->setValue(30);
    plus->setValue(20);
    QCOMPARE(text(window, "comparatorOutput"), QString("Input Level at P3.6 = 0"));
    choose(window, "P1.0", "1");
    QVERIFY(!plus->isEnabled());
    QCOMPARE(text(window, "comparatorOutput"), QString("Input Level at P3.6 = 1"));
}

QTEST_MAIN(IoWindowTest)
#include "io_window_test.moc"
