// The keyboard window and its settings dialogs: momentary and toggle keys
// driving a running demonstration, the keypad scanned by a running program,
// the settings dialog's enabling, Cancel and the rebuild of an open window.
#include "shell/modules/keyboard_window.h"
#include "shell/modules/led_window.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

bool latch(StartedFrame& started, int pin) {
    auto guard = started.frame.runControl().pause();
    return (started.chip().portLatches() >> pin) & 1u;
}

void hold(QAbstractButton* button) { QTest::mousePress(button, Qt::LeftButton); }
void letGo(QAbstractButton* button) { QTest::mouseRelease(button, Qt::LeftButton); }

constexpr int P1_0 = 8, P1_1 = 9, P1_2 = 10, P3_2 = 26, P3_3 = 27;

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void momentaryAndToggleKeysDriveTheProgram();
    void keypadKeyShowsOnTheDisplay();
    void windowBuildsWhatTheSettingsHold();
    void settingDialogEnablingCancelAndRebuild();
    void keyNamesTakeEffectOnlyOnOk();
};

void KeyboardTest::momentaryAndToggleKeysDriveTheProgram() {
    StartedFrame started("Atmel 89C52");
    started.loadDemo("Demo4");
    auto* keys = started.open<KeyboardView>(id::KeyboardWindow);
    auto* button = keys->momentaryButton(P3_2);
    auto* toggle = keys->toggleButton(P3_3);
    QVERIFY(button && toggle);
    started.frame.dispatch(id::Go);

    // LED 1 (P1.0, lit at 0) follows the button while it is held; LED 3
    // changes state at each press.
    QTRY_VERIFY(latch(started, P1_0));
    const bool led3 = latch(started, P1_2);
    hold(button);
    QTRY_VERIFY(!latch(started, P1_0));
    QTRY_COMPARE(latch(started, P1_2), !led3);
    letGo(button);
    QTRY_VERIFY(latch(started, P1_0));
    QCOMPARE(latch(started, P1_2), !led3);

    // The toggle switch: its first click takes the line from "NC" to "1"
    // with the level inverted, so it reads 0 and LED 2 is dark; the next
    // click makes it read 1 and LED 2 lights.
    toggle->click();
    QCOMPARE(toggle->text(), QString("P3.3 = 0"));
    QTRY_VERIFY(latch(started, P1_1));
    toggle->click();
    QTRY_VERIFY(!latch(started, P1_1));
    started.frame.dispatch(id::StopExecution);
}

void KeyboardTest::keypadKeyShowsOnTheDisplay() {
    StartedFrame started("Atmel 89C52");
    started.loadDemo("Demo5");
    // A window closed by Close All is deleted later, after the new one has
    // taken the keypad: the keypad stays connected.
    started.open<KeyboardView>(id::KeyboardWindow);
    started.frame.dispatch(id::CloseAll);
    auto* leds = started.open<LedView>(id::LedWindow);
    auto* keys = started.open<KeyboardView>(id::KeyboardWindow, QSize(260, 260));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(started.frame.machine().modules.keypad.windowOpen);
    started.frame.dispatch(id::Go);

    // Key 4 shows "5", key 9 the minus sign.
    const struct {
        int key;
        SegmentPattern shows;
    } presses[] = {{4, 0x6D}, {9, 0x40}};
    for (const auto& press : presses) {
        hold(keys->keypadButton(press.key));
        QTRY_COMPARE(leds->picture().shown.digits[0], press.shows);
        if (press.key == 9) QVERIFY(saveScreenshot(keys->parentWidget(), "keyboard_window.png"));
        letGo(keys->keypadButton(press.key));
        QTRY_COMPARE(int(started.frame.machine().modules.keypad.KeypadPressed), 0);
    }
    started.frame.dispatch(id::StopExecution);
    // Closing the window turns the keypad hook off.
    keys->parentWidget()->close();
    QTRY_VERIFY(!started.frame.machine().modules.keypad.windowOpen);
}

// Keys on lines the device does not have are left out.
void KeyboardTest::windowBuildsWhatTheSettingsHold() {
    StartedFrame started("Atmel 89C2051");
    ModuleSettings& s = started.frame.machine().modules.settings;
    s.KeyMomentary = {0xFF, 0xFF, 0, 0x41}; // P0 is not on this device
    s.KeyToggle = {0, 0, 0, 0x40};          // P3.6 neither
    s.KeypadType = kKeypadNone;
    auto* keys = started.open<KeyboardView>(id::KeyboardWindow);
    QVERIFY(!keys->momentaryButton(0) && !keys->toggleButton(30) && !keys->keypadButton(0));
    QVERIFY(keys->momentaryButton(15) && keys->momentaryButton(24) && !keys->momentaryButton(30));
}

void KeyboardTest::settingDialogEnablingCancelAndRebuild() {
    StartedFrame started("Atmel 89C52");
    started.loadDemo("Demo5");
    ModuleSettings& s = started.frame.machine().modules.settings;
    const ModuleSettings before = s;
    auto* keys = started.open<KeyboardView>(id::KeyboardWindow);
    QVERIFY(keys->keypadButton(11) && !keys->momentaryButton(16));

    for (bool keep : {false, true}) {
        onNextModal([&, keep](QDialog* dialog) {
            if (!keep) QVERIFY(saveScreenshot(dialog, "keyboard_setting.png"));
            auto* lines = child<QPushButton>(dialog, "keypadLines");
            child<QRadioButton>(dialog, "keypadType3")->click();
            QCOMPARE(keypadType(s), int(kKeypadNone)); // at once
            QVERIFY(!lines->isEnabled() && !child<QPushButton>(dialog, "keyNames")->isEnabled());
            child<QRadioButton>(dialog, "keypadType1")->click();
            QVERIFY(lines->isEnabled());
            child<QCheckBox>(child<QGroupBox>(dialog, "momentaryLines"), "P2.0")->click();
            QCOMPARE(s.KeyMomentary, before.KeyMomentary); // grids on OK only
            // A row line changed in the port-line dialog.
            onNextModal([&](QDialog* portLines) {
                auto* port = child<QComboBox>(portLines, "portLine");
                port->setCurrentIndex(0);
                emit port->activated(0);
                QCOMPARE(s.KeypadLines[0], PinRef(0x00));
                child<QPushButton>(portLines, "ok")->click();
            });
            lines->click();
            if (keep) child<QPushButton>(dialog, "ok")->click();
            else dialog->reject();
        });
        started.frame.dispatch(id::KeyboardSetting);
        keys = qobject_cast<KeyboardView*>(started.frame.view(id::KeyboardWindow));
        QVERIFY(keys);
        if (!keep) {
            // Cancel restores the type, the masks and the lines; the window stays.
            QCOMPARE(s.KeypadType, before.KeypadType);
            QCOMPARE(s.KeypadLines, before.KeypadLines);
            QCOMPARE(s.KeyMomentary, before.KeyMomentary);
            QVERIFY(keys->keypadButton(11) && !keys->keypadButton(12) && !keys->momentaryButton(16));
        }
    }
    // OK with another type and a new key rebuilds the open window.
    QCOMPARE(keypadType(s), 1);
    QCOMPARE(s.KeyMomentary[2], uint8_t(0x01));
    QVERIFY(keys->keypadButton(15) && keys->momentaryButton(16));
}

void KeyboardTest::keyNamesTakeEffectOnlyOnOk() {
    StartedFrame started("Atmel 89C52");
    started.loadDemo("Demo5");
    ModuleSettings& s = started.frame.machine().modules.settings;
    for (bool keep : {false, true}) {
        onNextModal([&, keep](QDialog* dialog) {
            onNextModal([&, keep](QDialog* names) {
                child<QComboBox>(names, "key")->setCurrentIndex(11);
                auto* name = child<QLineEdit>(names, "keyName");
                QCOMPARE(name->text(), QString("#"));
                name->selectAll();
                QTest::keyClicks(name, "Enter key 11"); // cut to 10 characters
                QCOMPARE(keyName(s, 11), std::string_view("Enter key "));
                if (keep) child<QPushButton>(names, "ok")->click();
                else names->reject();
            });
            child<QPushButton>(dialog, "keyNames")->click();
            child<QPushButton>(dialog, "ok")->click();
        });
        started.frame.dispatch(id::KeyboardSetting);
        QCOMPARE(keyName(s, 11), std::string_view(keep ? "Enter key " : "#"));
    }
}

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
