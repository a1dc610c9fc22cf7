// The LED window and its settings dialogs: the layout of LEDs and digits,
// the digits of a running multiplexed demonstration, the point LEDs, the
// enabling rules, at-once changes, OK and Cancel.
#include "shell/modules/led_painter.h"
#include "shell/modules/led_window.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPainter>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

constexpr std::array<SegmentPattern, 10> kDecimal{0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                  0x6D, 0x7D, 0x07, 0x7F, 0x6F};
int decimalOf(SegmentPattern pattern) {
    auto it = std::find(kDecimal.begin(), kDecimal.end(), pattern);
    return it == kDecimal.end() ? -1 : int(it - kDecimal.begin());
}

// Red pixels of the picture painted into an image.
int redInk(const LedPicture& picture, QRect area) {
    QImage image(ledWindowExtent(picture.items).expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QPainter painter(&image);
    paintLedPicture(painter, picture, image.size());
    painter.end();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.red() > 180 && c.green() < 90 && c.blue() < 90;
        }
    return n;
}

} // namespace

class LedTest : public QObject {
    Q_OBJECT
private slots:
    void layoutPlacesItemsInRowsOfEight();
    void paintedDigitLightsOnlyItsSegments();
    void runningDemoShowsBothDigits();
    void pointLedsFollowTheirLatches();
    void settingDialogOkTakesTheGrids();
    void settingAndPortLineDialogsCancelAndOk();
};

// Items go 60 apart, eight to a row; digits start a row 60 below the LEDs,
// a wrapped row is 80 lower.
void LedTest::layoutPlacesItemsInRowsOfEight() {
    const struct {
        const char* name;
        uint8_t p1Leds, p2Leds;
        int digits;
        size_t count;
        QPoint last;
    } cases[] = {
        {"three LEDs, digit 60 lower", 0x07, 0, 1, 4, {10, 70}},
        {"a full row of LEDs, digit 60 below it", 0xFF, 0, 1, 9, {10, 70}},
        {"nine LEDs wrap after x = 430", 0xFF, 0x01, 0, 9, {10, 90}},
        {"nine digits wrap too", 0, 0, 9, 9, {10, 90}},
    };
    for (const auto& c : cases) {
        ModuleSettings s;
        s.LedConnected = {0, c.p1Leds, c.p2Leds, 0};
        const auto items = ledWindowLayout(s, 0xFF00FF00u | (c.p2Leds ? 0x00FF0000u : 0u), c.digits);
        QVERIFY2(items.size() == c.count, c.name);
        QVERIFY2(items[0].at == QPoint(10, 10) && items[1].at == QPoint(70, 10), c.name);
        QVERIFY2(items.back().at == c.last, c.name);
        // P2 is not offered: its LEDs are left out.
        s.LedConnected = {0, c.p1Leds, 0xFF, 0};
        QCOMPARE(ledWindowLayout(s, 0xFF00FF00u, 0).size(), size_t(std::popcount(c.p1Leds)));
    }
}

void LedTest::paintedDigitLightsOnlyItsSegments() {
    LedPicture picture;
    picture.items = {{LedItem::Digit, 0, QPoint(10, 10)}};
    picture.shown.digitCount = 1;
    picture.shown.digits[0] = 0x01; // segment a only
    const QRect a(14, 10, 20, 5), d(14, 56, 20, 5), dot(40, 56, 5, 5);
    QVERIFY(redInk(picture, a) > 40);
    QCOMPARE(redInk(picture, d), 0);
    picture.shown.digits[0] = 0x88; // d and the dot
    QCOMPARE(redInk(picture, a), 0);
    QVERIFY(redInk(picture, d) > 40);
    QVERIFY(redInk(picture, dot) > 5);
    picture.digitGreen = true; // green lights no red
    QCOMPARE(redInk(picture, d), 0);
}

void LedTest::runningDemoShowsBothDigits() {
    StartedFrame started("Atmel 89C52");
    started.loadDemo("Demo2");
    // Point LEDs on the two digit selects (active low) as well.
    started.frame.machine().modules.settings.LedConnected[3] = 0x30;
    // Opened in a place too small (as a stored layout may give it), the
    // window grows to show every digit and LED.
    auto* view = started.open<LedView>(id::LedWindow, QSize(120, 60));
    QCOMPARE(view->picture().shown.digitCount, 2);
    QVERIFY(view->width() >= ledWindowExtent(view->picture().items).width());
    QVERIFY(view->height() >= ledWindowExtent(view->picture().items).height());
    // Before the program ran, both digits are dark.
    QCOMPARE(view->picture().shown.digits[0], SegmentPattern(0));
    QCOMPARE(view->picture().shown.digits[1], SegmentPattern(0));
    const int before = view->changes();

    started.frame.dispatch(id::Go);
    // The program selects one digit at a time; sampled every millisecond,
    // both show a decimal digit, and the count moves on.
    QTRY_VERIFY_WITH_TIMEOUT(decimalOf(view->picture().shown.digits[0]) >= 0 &&
                                 decimalOf(view->picture().shown.digits[1]) >= 0,
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT(view->picture().shown.digits[1] != SegmentPattern(0x3F), 10000);
    QVERIFY(view->changes() > before + 1);
    QCoreApplication::processEvents();
    QVERIFY(saveScreenshot(view->parentWidget(), "led_window.png"));
    started.frame.dispatch(id::StopExecution);
    QTRY_VERIFY(!started.frame.runControl().running());
}

void LedTest::pointLedsFollowTheirLatches() {
    StartedFrame started("Atmel 89C52");
    ModuleSettings& s = started.frame.machine().modules.settings;
    s.LedConnected = {0, 0x03, 0, 0}; // P1.0 lit at 0, P1.1 lit at 1
    s.LedActiveHigh = {0, 0x02, 0, 0};
    s.LedSevenSegment = 0;
    auto* view = started.open<LedView>(id::LedWindow);
    QCOMPARE(view->picture().items.size(), size_t(2));
    QCOMPARE(view->picture().shown.pointLit, 1u << 9); // latches reset to 1
    started.chip().writeDirect(0x90, 0xFC);
    started.frame.refreshViews();
    QCOMPARE(view->picture().shown.pointLit, 1u << 8);
    QVERIFY(redInk(view->picture(), QRect(10, 10, 24, 24)) > 50);
    QCOMPARE(redInk(view->picture(), QRect(70, 10, 24, 24)), 0);
}

void LedTest::settingDialogOkTakesTheGrids() {
    StartedFrame started("Atmel 89C2051");
    ModuleSettings& s = started.frame.machine().modules.settings;
    auto* view = started.open<LedView>(id::LedWindow);
    onNextModal([&](QDialog* dialog) {
        auto* grid = child<QGroupBox>(dialog, "ledLines");
        QVERIFY(!child<QCheckBox>(grid, "P0.0")->isEnabled()); // not on a 20-pin device
        QVERIFY(!child<QCheckBox>(grid, "P3.6")->isEnabled());
        child<QCheckBox>(grid, "P3.7")->click();
        child<QCheckBox>(child<QGroupBox>(dialog, "ledLevels"), "P3.7")->click();
        child<QRadioButton>(dialog, "pointGreen")->click();
        child<QPushButton>(dialog, "ok")->click();
    });
    started.frame.dispatch(id::LedSetting);
    QCOMPARE(s.LedConnected[3], uint8_t(0x80));
    QCOMPARE(s.LedActiveHigh[3], uint8_t(0x80));
    // The open window shows the new LED at once, green and lit (latch 1).
    QCOMPARE(view->picture().items.front(), (LedItem{LedItem::Point, 31, QPoint(10, 10)}));
    QVERIFY(view->picture().pointGreen);
    QCOMPARE(view->picture().shown.pointLit, 1u << 31);
}

// The port-line dialog's Cancel puts back the lines and the digit count,
// its OK keeps them. The setting dialog changes the options at once and the
// grids only on OK; its Cancel puts both back, the seven-segment flag keeps
// what was chosen.
void LedTest::settingAndPortLineDialogsCancelAndOk() {
    StartedFrame started("Atmel 89C52");
    started.loadDemo("Demo2");
    ModuleSettings& s = started.frame.machine().modules.settings;
    ModuleSettings before = s;
    bool checked = false;
    // Three digits add a select line, wired to +5V.
    auto selectLines = [&](QDialog* lines, bool keep) {
        auto* digits = child<QComboBox>(lines, "digits");
        digits->setCurrentIndex(2);
        emit digits->activated(2);
        QCOMPARE(s.LedDigitCount, uint8_t(3));
        auto* control = child<QComboBox>(lines, "controlLine");
        QCOMPARE(control->count(), 11);
        control->setCurrentIndex(10);
        auto* port = child<QComboBox>(lines, "portLine");
        const int plus5V = port->findText("+5V");
        port->setCurrentIndex(plus5V);
        emit port->activated(plus5V);
        QCOMPARE(s.LedLines[10], kPinPlus5V);
        checked = true;
        if (keep) child<QPushButton>(lines, "ok")->click();
        else lines->reject();
    };
    for (bool keep : {false, true}) {
        onNextModal([&, keep](QDialog* dialog) {
            onNextModal([&, keep](QDialog* lines) { selectLines(lines, keep); });
            child<QPushButton>(dialog, "portLines")->click();
            child<QPushButton>(dialog, "ok")->click();
        });
        checked = false;
        started.frame.dispatch(id::LedSetting);
        QVERIFY(checked);
        if (!keep) {
            QCOMPARE(s.LedLines, before.LedLines);
            QCOMPARE(s.LedDigitCount, before.LedDigitCount);
        }
    }
    QCOMPARE(s.LedLines[10], kPinPlus5V);
    QCOMPARE(s.LedDigitCount, uint8_t(3));

    before = s;
    onNextModal([&](QDialog* dialog) {
        QVERIFY(saveScreenshot(dialog, "led_setting.png"));
        auto* external = child<QCheckBox>(dialog, "externalMux");
        auto* decoder = child<QComboBox>(dialog, "decoder");
        // Multiplexed with internal selection.
        QVERIFY(external->isEnabled() && !decoder->isEnabled());
        external->click();
        QVERIFY(decoder->isEnabled());
        QVERIFY(s.LedOptions & kLedExternalMux); // at once
        child<QRadioButton>(dialog, "nonMultiplexed")->click();
        QVERIFY(!external->isEnabled() && !decoder->isEnabled());
        child<QRadioButton>(dialog, "commonCathode")->click();
        QVERIFY(s.LedOptions & kLedCommonCathode);
        child<QCheckBox>(dialog, "noSevenSegment")->click();
        QVERIFY(!child<QPushButton>(dialog, "portLines")->isEnabled());
        QCOMPARE(s.LedSevenSegment, uint8_t(0));
        // The grids are taken on OK only.
        child<QCheckBox>(child<QGroupBox>(dialog, "ledLines"), "P2.3")->click();
        QCOMPARE(s.LedConnected, before.LedConnected);
        dialog->reject();
    });
    started.frame.dispatch(id::LedSetting);
    QCOMPARE(s.LedOptions, before.LedOptions);
    QCOMPARE(s.LedConnected, before.LedConnected);
    QCOMPARE(s.LedSevenSegment, uint8_t(0));
    QCOMPARE(s.LedLines, before.LedLines);
}

QTEST_MAIN(LedTest)
#include "led_test.moc"
