// The logic analyser window, the Record Waveform switch and Export Waveform.
#include "shell_test_support.h"

#include "machine/executor.h"
#include "machine/wave_recorder.h"
#include "shell/views/logic_analyser_view.h"
#include "shell/wave_capture.h"
#include "tools/vcd_writer.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

constexpr int kLed = 8; // P1.0

// Cycles at which `pin` changed level, after the first entry.
std::vector<uint64_t> edgesOf(const std::vector<LineChange>& changes, int pin) {
    std::vector<uint64_t> edges;
    for (size_t i = 1; i < changes.size(); ++i)
        if (((changes[i].levels ^ changes[i - 1].levels) >> pin) & 1u) edges.push_back(changes[i].cycle);
    return edges;
}

struct Dump {
    int wires = 0;
    std::vector<uint64_t> edges; // times of the changes of one wire after $dumpvars
};

// Reads a value change dump back: the number of wires and the times the
// wire called `name` changed.
Dump parseDump(const QString& text, const QString& name) {
    Dump dump;
    QString code;
    uint64_t time = 0;
    bool inDumpvars = false;
    for (const QString& line : text.split('\n')) {
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        if (words.size() >= 5 && words[0] == "$var") {
            ++dump.wires;
            if (words[4] == name) code = words[3];
        } else if (line.startsWith("$dumpvars")) {
            inDumpvars = true;
        } else if (inDumpvars && line.startsWith("$end")) {
            inDumpvars = false;
        } else if (line.startsWith('#')) {
            time = line.mid(1).toULongLong();
        } else if (!inDumpvars && !code.isEmpty() && line.size() > 1 && line.mid(1) == code) {
            dump.edges.push_back(time);
        }
    }
    return dump;
}

} // namespace

class LogicAnalyserTest : public QObject {
    Q_OBJECT
private slots:
    void recordingFollowsWindowAndSwitch();
    void holdsScrollsAndExportsDemo1Edges();
    void selectLines();
};

// Recording runs only while the window is open or the switch is on.
void LogicAnalyserTest::recordingFollowsWindowAndSwitch() {
    StartedFrame s;
    Frame& f = s.frame;
    QAction* record = f.menuAction(id::RecordWaveform);
    QVERIFY(f.machine().wave == nullptr);
    QVERIFY(!f.menuAction(id::ExportWaveform)->isEnabled());

    enum Step { OpenView, CloseView, Toggle };
    struct Case {
        Step step;
        bool recording;
        bool checked;
    };
    const Case cases[] = {
        {OpenView, true, false}, {Toggle, true, true},    {CloseView, true, true},
        {Toggle, false, false},  {Toggle, true, true},    {OpenView, true, true},
        {Toggle, true, false},   {CloseView, false, false},
    };
    for (const Case& c : cases) {
        switch (c.step) {
        case OpenView: s.open<LogicAnalyserView>(id::LogicAnalyserWindow); break;
        case CloseView:
            windowOf(f, id::LogicAnalyserWindow)->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            break;
        case Toggle: f.dispatch(id::RecordWaveform); break;
        }
        QCOMPARE(f.machine().wave != nullptr, c.recording);
        QCOMPARE(record->isChecked(), c.checked);
    }
    // Nothing ran: still nothing to export.
    QVERIFY(!f.menuAction(id::ExportWaveform)->isEnabled());
    f.dispatch(id::RecordWaveform);
    f.dispatch(id::SingleStep);
    QVERIFY(f.menuAction(id::ExportWaveform)->isEnabled());
}

// The window holds the LED's edges the recorder has; scrolling back stops
// following, the end follows again; zoom keys and the wheel; the export
// writes the edges.
void LogicAnalyserTest::holdsScrollsAndExportsDemo1Edges() {
    StartedFrame s;
    Frame& f = s.frame;
    s.loadDemo("Demo1");
    auto* view = s.open<LogicAnalyserView>(id::LogicAnalyserWindow, QSize(720, 420));
    // About four LED periods (250 ms each at 12 MHz).
    runSteps(f.machine(), 1400000);
    f.refreshViews();
    QVERIFY(view->following());
    QCOMPARE(view->rightCycle(), f.machine().chip.cycleCount());
    QScrollBar* bar = view->scrollBar();
    bar->setValue(0);
    QVERIFY(!view->following());
    const uint64_t right = view->rightCycle();
    runSteps(f.machine(), 100000);
    f.refreshViews();
    QCOMPARE(view->rightCycle(), right); // stays where the user looked
    bar->setValue(bar->maximum());
    QVERIFY(view->following());
    QCOMPARE(view->rightCycle(), f.machine().chip.cycleCount());

    const std::vector<LineChange> recorded = f.waveCapture().recorder().entries();
    QCOMPARE(view->changes(), recorded);
    const std::vector<uint64_t> edges = edgesOf(recorded, kLed);
    QVERIFY2(edges.size() >= 4, qPrintable(QString::number(edges.size())));
    // The blink is regular: every half period takes as long.
    for (size_t i = 2; i < edges.size(); ++i) QCOMPARE(edges[i] - edges[i - 1], edges[1] - edges[0]);
    QVERIFY(edges[1] - edges[0] > 200000 && edges[1] - edges[0] < 300000);

    // Zoomed out, the last blinks are in view; a click puts the cursor at
    // the cycle under it.
    const double before = view->cyclesPerPixel();
    QTest::keyClick(view, Qt::Key_Plus);
    QCOMPARE(view->cyclesPerPixel(), before / 2);
    QTest::keyClick(view, Qt::Key_Minus);
    QTest::keyClick(view, Qt::Key_Minus);
    QCOMPARE(view->cyclesPerPixel(), before * 2);
    const uint64_t target = edges.back() - 60000;
    const int x = int(view->xOf(target));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, 100));
    QVERIFY(view->cursorCycle());
    QVERIFY(std::abs(int64_t(*view->cursorCycle()) - int64_t(target)) <= int64_t(view->cyclesPerPixel()));
    QVERIFY(saveScreenshot(view->parentWidget(), "logic_analyser.png"));
    QWheelEvent wheel(QPointF(300, 100), view->mapToGlobal(QPointF(300, 100)), {}, QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    QCOMPARE(view->cyclesPerPixel(), before);

    // In a font three times as large the name column still holds a name and
    // its level: a click there is not in the plot and leaves the cursor.
    const std::optional<uint64_t> cursor = view->cursorCycle();
    QFont large = view->font();
    large.setPointSizeF(large.pointSizeF() * 3);
    view->setFont(large);
    const int nameWidth = QFontMetrics(large).horizontalAdvance("P3.7 1");
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(nameWidth, view->height() / 2));
    QCOMPARE(view->cursorCycle(), cursor);
    QVERIFY(view->sizeHint().height() > 10 * QFontMetrics(large).height());
    view->setFont(QFont());

    // Export: the lines the window shows, at cycle times (1 us per cycle).
    QTemporaryDir dir;
    const QString path = dir.filePath("blink.vcd");
    s.messages.fileAnswers.push_back(path);
    f.dispatch(id::ExportWaveform);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    const VcdTimescale scale = vcdTimescale(f.machine().selection.frequency);
    Dump dump = parseDump(text, "P1_0");
    QCOMPARE(dump.wires, int(view->lines().size()));
    for (uint64_t& t : dump.edges) t /= scale.unitsPerCycle;
    QCOMPARE(dump.edges, edges);

    // With the window closed every line goes out.
    windowOf(f, id::LogicAnalyserWindow)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.machine().wave == nullptr);
    s.messages.fileAnswers.push_back(path);
    f.dispatch(id::ExportWaveform);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(parseDump(QString::fromUtf8(file.readAll()), "P1_0").wires, 32);

    // A file that cannot be written says so.
    s.messages.fileAnswers.push_back(dir.path());
    f.dispatch(id::ExportWaveform);
    QVERIFY(!s.messages.shown.empty());
    QCOMPARE(s.messages.shown.back().text, std::string("Unable to Write the file"));
}

// "Select Lines...": nothing checked is refused with a message, the
// choice is kept for the next window.
void LogicAnalyserTest::selectLines() {
    StartedFrame s;
    Frame& f = s.frame;
    auto* view = s.open<LogicAnalyserView>(id::LogicAnalyserWindow);
    bool refused = false;
    onNextModal([&](QDialog* dialog) {
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) box->setChecked(false);
        auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        ok->click();
        refused = dialog->isVisible() && !s.messages.shown.empty();
        child<QCheckBox>(dialog, "P1.0")->setChecked(true);
        child<QCheckBox>(dialog, "P3.7")->setChecked(true);
        ok->click();
    });
    view->findChild<QAction*>("selectLines")->trigger();
    QVERIFY(refused);
    QCOMPARE(view->lines(), (std::vector<int>{8, 31}));
    windowOf(f, id::LogicAnalyserWindow)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    view = s.open<LogicAnalyserView>(id::LogicAnalyserWindow);
    QCOMPARE(view->lines(), (std::vector<int>{8, 31}));
}

QTEST_MAIN(LogicAnalyserTest)
#include "logic_analyser_test.moc"
