// The six code-generation dialogs as a user works them: routines and
// options ticked, port lines picked in the module's port-line dialog,
// "Use Same Setting as in Simulation", the validation messages, and
// "Generate  Code". The inserted text is caught; for the LCD and the keypad
// it is assembled with asm51's engine and run on a machine wired as the
// dialog said: the LCD shows the text, READ_KEY finds the held key (what
// each generator writes is the code-generation suite's business). No
// dialog changes the module settings the simulation uses. With
// QUORVEL_SCREENSHOT_DIR set, codegen_<name>.png is saved there for each
// dialog.
#include "codegen_test_support.h"
#include "modules/lcd_controller.h"
#include "shell/codegen/codegen_records.h"
#include "shell/codegen/generated_code_sink.h"
#include "shell/editor/editor_view.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

QPushButton* button(QWidget* dialog, const char* name) { return child<QPushButton>(dialog, name); }

// In the port-line dialog that opens next, runs `prepare`, gives control
// line i the port line named pins[i], then OK.
void assignLinesOnNextModal(std::vector<QString> pins, std::function<void(QDialog*)> prepare = {}) {
    onNextModal([pins, prepare](QDialog* d) {
        if (prepare) prepare(d);
        auto* control = child<QComboBox>(d, "controlLine");
        auto* port = child<QComboBox>(d, "portLine");
        QCOMPARE(control->count(), int(pins.size()));
        for (int i = 0; i < int(pins.size()); ++i) {
            control->setCurrentIndex(i);
            const int choice = port->findText(pins[size_t(i)]);
            QVERIFY2(choice >= 0, qPrintable(pins[size_t(i)]));
            port->setCurrentIndex(choice);
            emit port->activated(choice);
        }
        button(d, "ok")->click();
    });
}

std::string summaryOf(QWidget* dialog) { return child<QPlainTextEdit>(dialog, "summary")->toPlainText().toStdString(); }

void tick(QWidget* dialog, const char* name) { child<QAbstractButton>(dialog, name)->click(); }

} // namespace

class CodeGenDialogsTest : public QObject {
    Q_OBJECT

    StartedFrame* s_ = nullptr;
    QStringList inserted_;

    // Runs `command`'s dialog with `work`, returns the text it inserted.
    std::string generate(int command, std::function<void(QDialog*)> work) {
        inserted_.clear();
        // A failed check inside `work` leaves the dialog open: close it so
        // the test goes on.
        onNextModal([work](QDialog* d) {
            // The title fits: a window manager would cut a wider one.
            QFont bold = d->font();
            bold.setBold(true);
            QVERIFY2(d->width() > QFontMetrics(bold).horizontalAdvance(d->windowTitle()), qPrintable(d->windowTitle()));
            work(d);
            if (d->isVisible()) d->reject();
        });
        s_->frame.dispatch(command);
        if (inserted_.size() != 1) return {};
        return inserted_.front().toStdString();
    }
    Machine machineLikeFrame() {
        Machine m = codegentest::makeMachine(s_->frame.machine().selection.kind,
                                             s_->frame.machine().selection.frequency);
        m.modules.settings = s_->frame.machine().modules.settings;
        return m;
    }

private slots:
    void initTestCase() {
        s_ = new StartedFrame;
        // The baud rates and delays below are worked out for 12 MHz.
        s_->frame.machine().selection.frequency = 12000000;
        s_->frame.machine().selection.cycleTimeUs = 1.0f;
        setGeneratedCodeHook([this](const QString& text) { inserted_.push_back(text); });
    }
    void cleanupTestCase() {
        setGeneratedCodeHook({});
        delete s_;
    }

    // LCD: 4-bit bus on P2.4-P2.7, control lines on P1; the module keeps its
    // own 8-bit wiring throughout.
    void lcd() {
        ModuleSettings& module = s_->frame.machine().modules.settings;
        module.LcdOptions = 0; // 1 line, 8 bits
        module.LcdPins = {0x30, kPinGnd, 0x32, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}; // R/W grounded
        const ModuleSettings before = module;
        const std::string text = generate(id::GenLcd, [&](QDialog* d) {
            tick(d, "selectAll");
            child<QComboBox>(d, "lcdType")->setCurrentIndex(1);
            emit child<QComboBox>(d, "lcdType")->activated(1);
            tick(d, "fourBits");
            assignLinesOnNextModal({"P1.0", "P1.1", "P1.2", "P2.4", "P2.5", "P2.6", "P2.7"});
            tick(d, "portLineSelection");
            QVERIFY(codegentest::containsAll(summaryOf(d), {"2 Lines X 16 Characters", "Interface : 4 Bits",
                                                            "E P1.2", "D4 P2.4", "D7 P2.7"}));
            // The simulation's settings: its 8-bit bus, controls disabled.
            tick(d, "sameSetting");
            QVERIFY(codegentest::containsAll(summaryOf(d), {"1 Line X 16 Characters", "D0 P1.0", "RS P3.0",
                                                            "R/W GND"}));
            // The routines drive R/W: said, and the dialog stays as it is.
            const size_t messages = s_->messages.shown.size();
            tick(d, "generate");
            QVERIFY(d->isVisible());
            QCOMPARE(s_->messages.shown.size(), messages + 1);
            QVERIFY(s_->messages.shown.back().text.starts_with("The LCD's R/W line is tied to GND in the simulation"));
            QVERIFY(child<QCheckBox>(d, "routine9")->isChecked());
            tick(d, "sameSetting");
            // The options dialog: Cancel keeps the options as they were.
            onNextModal([](QDialog* o) {
                tick(o, "decrement");
                button(o, "cancel")->click();
            });
            tick(d, "setting");
            QVERIFY(saveScreenshot(d, "codegen_lcd.png"));
            tick(d, "generate");
        });
        QCOMPARE(module, before);
        QCOMPARE(codeGenRecords(s_->frame).lcd.LcdInitOptions, kLcdInitDefault);

        // Run on an LCD wired as the dialog said.
        Machine m = machineLikeFrame();
        m.modules.settings.LcdOptions = 1 | kLcdFourBit;
        m.modules.settings.LcdPins = {0x10, 0x11, 0x12, kPinGnd, kPinGnd, kPinGnd, kPinGnd, 0x24, 0x25, 0x26, 0x27};
        const std::string main = R"(
        ORG     0
        MOV     SP,#60H
        LCALL   INITIALIZE_LCD
        MOV     A,#21H
        MOV     DPTR,#TEXT
        LCALL   DISPLAY_STRING
        MOV     A,#43H
        MOV     R0,#42H
        LCALL   DISPLAY_2DIGITS
DONE:   SJMP    DONE
TEXT:   DB      'Generated',0
)";
        const codegentest::Program p = codegentest::assembleInto(m, main, text);
        QVERIFY2(p.ok, p.messages.c_str());
        QVERIFY(codegentest::runTo(m, p.labels.at("DONE"), 400000));
        QCOMPARE(lcdRowText(m.modules.lcd, m.modules.settings.LcdOptions, 0).substr(0, 9), std::string("Generated"));
        QCOMPARE(lcdRowText(m.modules.lcd, m.modules.settings.LcdOptions, 1).substr(2, 2), std::string("42"));
    }

    // Keypad: a bad buffer address keeps the dialog open with its message;
    // the simulation's 4 X 3 keypad is used, and READ_KEY finds a key on it.
    void keyboard() {
        ModuleSettings& module = s_->frame.machine().modules.settings;
        module.KeypadType = 0;
        for (int i = 0; i < 7; ++i) module.KeypadLines[size_t(i)] = PinRef(0x10 + i);
        const ModuleSettings before = module;
        const size_t messages = s_->messages.shown.size();
        const std::string text = generate(id::GenKeyboard, [&](QDialog* d) {
            tick(d, "read");
            tick(d, "type1");
            assignLinesOnNextModal({"P2.0", "P2.1", "P2.2", "P2.3", "P2.4", "P2.5", "P2.6", "P2.7"});
            tick(d, "portLineSelection");
            QVERIFY(codegentest::containsAll(summaryOf(d), {"TYPE : 4X4 Matrix", "Column4 P2.7"}));
            tick(d, "sameSetting");
            QVERIFY(codegentest::containsAll(summaryOf(d), {"TYPE : 4X3 Matrix", "Row1 P1.0", "Column3 P1.6"}));
            QVERIFY(child<QRadioButton>(d, "type0")->isChecked()); // the simulation's keypad
            child<QLineEdit>(d, "address")->setText("G1");
            tick(d, "generate");
            QVERIFY(d->isVisible());
            QCOMPARE(s_->messages.shown.size(), messages + 1);
            QCOMPARE(s_->messages.shown.back(), errorMessage("ERROR", "Illegal Internal Memory Address"));
            child<QLineEdit>(d, "address")->setText("48");
            QVERIFY(saveScreenshot(d, "codegen_keyboard.png"));
            tick(d, "generate");
        });
        QCOMPARE(module, before);
        QCOMPARE(codeGenRecords(s_->frame).keyboard.lines[7], PinRef(0x27)); // its own lines kept

        Machine m = machineLikeFrame();
        // The keypad drives its lines: inputs pulled high, not "NC" lines.
        for (int i = 0; i < 7; ++i) m.chip.pins.setSetting(pinIndex(PinRef(0x10 + i)), kInput1);
        m.chip.pins.applySettings(m.chip.portLatches());
        const codegentest::Program p = codegentest::assembleInto(
            m, "        ORG 0\n        MOV SP,#60H\n        LCALL READ_KEY\nDONE:   SJMP DONE\n", text);
        QVERIFY2(p.ok, p.messages.c_str());
        m.modules.keypad.windowOpen = true;
        m.modules.keypad.KeypadPressed = 1;
        m.modules.keypad.keyRow = 2;
        m.modules.keypad.keyColumn = 1;
        QVERIFY(codegentest::runTo(m, p.labels.at("DONE"), 100000));
        QCOMPARE(int(m.chip.iram[0x48]), 2 * 3 + 1);

        // The simulation's "No Keyboard": nothing to generate.
        module.KeypadType = 3;
        QVERIFY(generate(id::GenKeyboard, [&](QDialog* d) {
                    QVERIFY(codegentest::containsAll(summaryOf(d), {"No Keyboard"}));
                    QVERIFY(!button(d, "generate")->isEnabled());
                }).empty());
        module = before;
    }

    // Serial port: a rate lost by changing the generator leaves none
    // selected, which "Generate  Code" reports; Cancel keeps the record.
    void serial() {
        const size_t messages = s_->messages.shown.size();
        const std::string text = generate(id::GenSerial, [&](QDialog* d) {
            for (const char* name : {"init", "receive", "transmit", "mode1"}) tick(d, name);
            tick(d, "timer2");
            tick(d, "baud38400");
            tick(d, "timer1"); // 38400 is out of reach with timer 1 at 12 MHz
            QVERIFY(!child<QRadioButton>(d, "baud38400")->isEnabled());
            tick(d, "generate");
            QVERIFY(d->isVisible());
            QCOMPARE(s_->messages.shown.size(), messages + 1);
            QCOMPARE(s_->messages.shown.back().text, std::string("No Baudrate Selected"));
            tick(d, "baud2400");
            QVERIFY(saveScreenshot(d, "codegen_serial.png"));
            tick(d, "generate");
        });
        QVERIFY(codegentest::containsAll(text, {"INITIALIZE_SERIALPORT:", "RECEIVE_BYTE:", "TRANSMIT_BYTE:"}));
        // Cancel leaves the record as "Generate  Code" kept it.
        const SerialCodeGenSettings kept = codeGenRecords(s_->frame).serial;
        QVERIFY(generate(id::GenSerial, [](QDialog* d) {
                    tick(d, "mode3");
                    tick(d, "cancel");
                }).empty());
        QCOMPARE(int(codeGenRecords(s_->frame).serial.options), int(kept.options));
        QCOMPARE(codeGenRecords(s_->frame).serial.baudIndex, 4);
    }

    // LED: the clock field's two messages, the port lines and digit count,
    // the "Setting" dialog's Cancel.
    void led() {
        const ModuleSettings before = s_->frame.machine().modules.settings;
        const size_t messages = s_->messages.shown.size();
        const std::string text = generate(id::GenLed, [&](QDialog* d) {
            QCOMPARE(child<QLineEdit>(d, "clock")->text(), QString("12000000")); // the device's clock
            tick(d, "routine4"); // 4 digits brings 1 and 2
            QVERIFY(child<QCheckBox>(d, "routine2")->isChecked());
            tick(d, "bcd");
            tick(d, "sevenSegment");
            tick(d, "routine0");
            onNextModal([](QDialog* o) {
                child<QLineEdit>(o, "bufferStart")->setText("50");
                emit child<QLineEdit>(o, "bufferStart")->textEdited("50");
                QVERIFY(child<QLabel>(o, "memoryArea")->text().startsWith("Internal Memory Area used : 50H"));
                button(o, "cancel")->click();
            });
            tick(d, "setting");
            QCOMPARE(int(codeGenRecords(s_->frame).led.bufferStart), 0x30);
            // Two digits: eight segment lines and two digit lines.
            assignLinesOnNextModal({"P1.0", "P1.1", "P1.2", "P1.3", "P1.4", "P1.5", "P1.6", "P1.7", "P3.4", "P3.5"},
                                   [](QDialog* p) {
                                       child<QComboBox>(p, "digits")->setCurrentIndex(1);
                                       emit child<QComboBox>(p, "digits")->activated(1);
                                   });
            tick(d, "portLineSelection");
            QVERIFY(codegentest::containsAll(summaryOf(d), {"Interface : Multiplexed", "Act. Level : 0"}));
            child<QLineEdit>(d, "clock")->setText("");
            tick(d, "generate");
            QCOMPARE(s_->messages.shown.back(), errorMessage("ERROR", "Enter Clock Frequency"));
            child<QLineEdit>(d, "clock")->setText("0");
            tick(d, "generate");
            QCOMPARE(s_->messages.shown.back(), errorMessage("ERROR", "Illegal Clock Frequency"));
            QCOMPARE(s_->messages.shown.size(), messages + 2);
            child<QLineEdit>(d, "clock")->setText("12000000");
            QVERIFY(saveScreenshot(d, "codegen_led.png"));
            tick(d, "generate");
        });
        QCOMPARE(s_->frame.machine().modules.settings, before);
        QVERIFY(codegentest::containsAll(text, {"03E8"}));
    }

    // IIC and SPI: routines, device options, lines, the simulation's bus.
    void buses() {
        const std::string iic = generate(id::GenIic, [&](QDialog* d) {
            for (const char* name : {"rtcRead", "eepromRead", "eepromWrite", "rtcA0High"}) tick(d, name);
            child<QComboBox>(d, "eepromType")->setCurrentIndex(2);
            emit child<QComboBox>(d, "eepromType")->activated(2); // AT24C04: A2 and A1 only
            QVERIFY(!child<QRadioButton>(d, "a0Low")->isEnabled());
            tick(d, "a2High");
            // No IIC part in the simulation, then both lines on one pin:
            // each said, the dialog kept as filled.
            const size_t messages = s_->messages.shown.size();
            tick(d, "sameSetting");
            tick(d, "generate");
            QVERIFY(d->isVisible());
            QVERIFY(s_->messages.shown.back().text.starts_with("No IIC part is wired in the simulation"));
            tick(d, "sameSetting");
            tick(d, "generate");
            QVERIFY(d->isVisible());
            QCOMPARE(s_->messages.shown.back().text,
                     std::string("SDA (P0.0) and SCL (P0.0) must be two different port lines."));
            QCOMPARE(s_->messages.shown.size(), messages + 2);
            QVERIFY(child<QCheckBox>(d, "eepromWrite")->isChecked());
            assignLinesOnNextModal({"P1.6", "P1.7"}); // SCL, SDA
            tick(d, "portLineSelection");
            QVERIFY(codegentest::containsAll(summaryOf(d), {"SDA P1.7", "SCL P1.6", "A0 - 1", "Device : AT24C04",
                                                            "A2 - 1"}));
            QVERIFY(saveScreenshot(d, "codegen_iic.png"));
            tick(d, "generate");
        });
        QVERIFY(codegentest::containsAll(iic, {"0A3H", "0A9H"})); // RTC A0 = 1; EEPROM A2 = 1

        s_->frame.machine().modules.settings.spi.SpiLines = {0x20, 0x21, 0x22};
        s_->frame.machine().modules.settings.spi.SpiEepromCs = 0x23;
        const std::string spi = generate(id::GenSpiEeprom, [&](QDialog* d) {
            tick(d, "read");
            tick(d, "fourWire");
            assignLinesOnNextModal({"P1.0", "P1.1", "P1.2", "P1.3"});
            tick(d, "portLineSelection");
            QVERIFY(codegentest::containsAll(summaryOf(d), {"SPI BUS Width: 4Wire", "SI P1.2", "CS P1.3"}));
            tick(d, "sameSetting"); // the module's 3-wire bus on P2
            QVERIFY(codegentest::containsAll(summaryOf(d), {"SPI BUS Width: 3Wire", "SO&SI P2.1", "CS P2.3"}));
            QVERIFY(saveScreenshot(d, "codegen_spi.png"));
            tick(d, "generate");
        });
        QVERIFY(codegentest::containsAll(spi, {"P2.0", "P2.3"}));
    }

    // The code goes in at the caret of the active editor; without an editor
    // to take it, it is not lost silently.
    void intoTheEditor() {
        setGeneratedCodeHook({});
        const size_t messages = s_->messages.shown.size();
        insertGeneratedCode(s_->frame, QString("NOP\n"));
        QCOMPARE(s_->messages.shown.size(), messages + 1);
        QCOMPARE(s_->messages.shown.back().icon, UserMessage::Icon::Warning);

        EditorView* editor = openEditor(s_->frame, QString());
        QVERIFY(editor && activeEditor(s_->frame) == editor);
        editor->insertAtCaret("START:  SJMP START\n");
        editor->goToLine(1);
        insertGeneratedCode(s_->frame, QString("        NOP\n"));
        QCOMPARE(s_->messages.shown.size(), messages + 1);
        QCOMPARE(editor->textEdit()->toPlainText(), QString("        NOP\nSTART:  SJMP START\n"));
        editor->textEdit()->document()->setModified(false);
        s_->frame.dispatch(id::CloseAll);
        setGeneratedCodeHook([this](const QString& text) { inserted_.push_back(text); });
    }
};

QTEST_MAIN(CodeGenDialogsTest)
#include "codegen_dialogs_test.moc"
