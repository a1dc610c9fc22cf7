// The Variables and Call Stack windows on a C program compiled with SDCC
// --debug (tests/data/debug/variables.c, which prints its variables over the
// UART before each line marked MARK): at a mark the Variables window shows
// what the program printed, an edit in place changes memory (a wrong entry
// changes nothing), a step draws what it changed red; the Call Stack window
// lists the calls, picks the frame of the locals and shows a call in the
// program window; Break on Write on a memory byte stops the run after the
// writing instruction and says what it wrote. With QUORVEL_SCREENSHOT_DIR
// set, the two windows are saved as debug_windows.png.
#include "chip/chip_events.h"
#include "shell/program_debug.h"
#include "shell/program_view.h"
#include "shell/source_commands.h"
#include "shell/source_debug.h"
#include "shell/views/memory_view.h"
#include "shell_test_support.h"
#include "test_support.h"

#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// The UART's bytes as the program sends them (from the simulation thread),
// in place of the frame's own receiver, which this test does not need.
struct UartRecorder : ChipEvents {
    std::mutex lock;
    std::string sent;
    void byteTransmitted(uint16_t entry) override {
        std::lock_guard<std::mutex> hold(lock);
        sent.push_back(char(entry & 0xFF));
    }

    // "expression HEX" lines sent since the last call.
    std::map<std::string, uint32_t> printed() {
        std::lock_guard<std::mutex> hold(lock);
        std::map<std::string, uint32_t> values;
        std::istringstream lines(sent);
        for (std::string expression, value; lines >> expression >> value;)
            values[expression] = uint32_t(std::stoul(value, nullptr, 16));
        sent.clear();
        return values;
    }
};

// The row `path` of a tree: a top-level row whose name starts with
// path[0], then children by name, each opened on the way.
QTreeWidgetItem* row(QTreeWidget* tree, const QStringList& path) {
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < tree->topLevelItemCount() && !item; ++i)
        if (tree->topLevelItem(i)->text(0).startsWith(path[0])) item = tree->topLevelItem(i);
    for (int depth = 1; item && depth < path.size(); ++depth) {
        item->setExpanded(true);
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < item->childCount() && !found; ++i)
            if (item->child(i)->text(0) == path[depth]) found = item->child(i);
        item = found;
    }
    if (!item) qFatal("no row %s", qPrintable(path.join('/')));
    return item;
}

bool isRed(QTreeWidgetItem* item) { return item->foreground(1).color() == QColor(255, 0, 0); }

} // namespace

class DebugWindowsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::vector<uint32_t> marks_; // lines of the MARK comments: in rec, sum, leaf, main

    struct Session : StartedFrame {
        UartRecorder uart;
        QTreeWidget* variables = nullptr;
        ChipEvents* notices;
        Session(const QString& program) : StartedFrame("Atmel 89C52", 6), notices(chip().events) {
            chip().events = &uart;
            loadProgram(program);
            variables = child<QTreeWidget>(open<View>(id::VariablesWindow), "variables");
        }
        ~Session() { chip().events = notices; }
        // Go to the MARK on `line`, with that line's breakpoint only.
        std::map<std::string, uint32_t> goToMark(uint32_t line) {
            const SourceMap* map = frame.sourceDebug().map();
            const auto where = map->resolveLine("variables.c", line);
            if (!where) qFatal("no code on line %u", line);
            const auto toggle = [this, &where] {
                frame.sourceDebug().toggleLineBreak(where->where);
                auto guard = frame.runControl().pause();
                frame.runControl().session().setLineBreaks(frame.sourceDebug().lineBreakAddresses());
            };
            toggle();
            frame.dispatch(id::Go);
            if (!QTest::qWaitFor([this] { return !frame.runControl().running(); }, 30000)) qFatal("no stop");
            toggle();
            return uart.printed();
        }
        CValue value(const char* expression) {
            const CEvaluation e = frame.programDebug().session().evaluate(expression);
            if (!e.value || !e.value->place) qFatal("%s: %s", expression, e.error.c_str());
            return *e.value;
        }
    };
    QString program() const { return dir_.filePath("variables.hex"); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        std::ifstream in(std::string(QUORVEL_TEST_DATA) + "/debug/variables.c");
        std::stringstream text;
        text << in.rdbuf();
        const std::string source = text.str();
        std::istringstream lines(source);
        std::string line;
        for (uint32_t number = 1; std::getline(lines, line); ++number)
            if (line.find("/* MARK */") != std::string::npos) marks_.push_back(number);
        QCOMPARE(marks_.size(), size_t(4));
        auto compiled = support::compileC(dir_.path().toStdString(), "variables", source, {"--debug"});
        QVERIFY2(bool(compiled), compiled.message());
        QVERIFY(QDir(dir_.path()).mkdir("nooverlay"));
        compiled = support::compileC(dir_.filePath("nooverlay").toStdString(), "variables", source,
                                     {"--debug", "--nooverlay"});
        QVERIFY2(bool(compiled), compiled.message());
    }

    // A function that calls nothing has its locals overlaid unless built
    // with --nooverlay: then the window shows them, else says why not.
    void leafLocalsHavePlacesOnlyWithNoOverlay() {
        const std::pair<QString, QString> builds[] = {
            {program(), "not available (its type is not in the debug file"},
            {dir_.filePath("nooverlay/variables.hex"), "42"},
        };
        for (const auto& [hex, shown] : builds) {
            Session s(hex);
            s.goToMark(marks_[2]);
            const QString t = row(s.variables, {"Locals of leaf", "t"})->text(1);
            QVERIFY2(t.startsWith(shown), qPrintable(hex + ": " + t));
        }
    }

    void variablesShowWhatTheProgramPrinted() {
        Session s(program());
        QVERIFY(!s.variables->topLevelItem(0)->text(0).startsWith("No symbols"));
        const auto printed = s.goToMark(marks_[3]);
        enum Kind { Unsigned, Signed, Float };
        const struct {
            QStringList path;
            const char* printed;
            Kind kind;
        } rows[] = {
            {{"Globals", "gc"}, "gc", Signed},               // signed char, data
            {{"Globals", "gui"}, "gui", Unsigned},           // unsigned int
            {{"Globals", "gl"}, "gl", Signed},               // long
            {{"Globals", "gul"}, "gul", Unsigned},           // unsigned long
            {{"Globals", "gf"}, "gf", Float},                // float
            {{"Globals", "ibuf", "[2]"}, "ibuf[2]", Unsigned}, // idata array element
            {{"Globals", "xarr", "[3]"}, "xarr[3]", Signed}, // xdata array element
            {{"Globals", "pv"}, "pv", Unsigned},             // pdata
            {{"Globals", "gpt", "y"}, "gpt.y", Signed},      // struct member
            {{"Globals", "gpt", "f2"}, "gpt.f2", Unsigned},  // bit-field
            {{"Globals", "guv", "b", "[1]"}, "guv.b[1]", Unsigned}, // union's array
            {{"Globals", "xpt", "y"}, "xpt.y", Signed},      // xdata struct
            {{"Globals", "fstat"}, "fstat", Unsigned},       // file static
        };
        for (const auto& r : rows) {
            QVERIFY2(printed.count(r.printed), r.printed);
            const uint32_t bits = printed.at(r.printed);
            float real;
            std::memcpy(&real, &bits, sizeof real);
            const QString expected = r.kind == Float    ? QString::number(double(real), 'g', 7)
                                     : r.kind == Signed ? QString::number(int32_t(bits))
                                                        : QString::number(bits);
            QCOMPARE(row(s.variables, r.path)->text(1), expected);
        }
        // Without --nooverlay main's locals have no place in the debug file.
        QVERIFY(row(s.variables, {"Locals of main()", "j"})->text(1).startsWith("not available ("));

        // An edit lands in memory; a wrong one is refused and changes nothing.
        const CValue gi = s.value("gi");
        QCOMPARE(gi.place->space, CSpace::Iram);
        auto memory = [&] { return s.chip().iram[gi.place->bytes[0]] | s.chip().iram[gi.place->bytes[1]] << 8; };
        row(s.variables, {"Globals", "gi"})->setText(1, "4321");
        QCOMPARE(memory(), 4321);
        QVERIFY(s.messages.shown.empty());
        row(s.variables, {"Globals", "gi"})->setText(1, "x");
        QCOMPARE(memory(), 4321);
        QCOMPARE(row(s.variables, {"Globals", "gi"})->text(1), QString("4321"));
        QCOMPARE(s.messages.shown.size(), size_t(1));
        QVERIFY(!isRed(row(s.variables, {"Globals", "gi"})));

        // The marked line increments `stop`: after the step it is red, the
        // rest is not.
        s.frame.dispatch(id::StepSourceLine);
        QVERIFY(isRed(row(s.variables, {"Globals", "stop"})));
        QVERIFY(!isRed(row(s.variables, {"Globals", "gi"})));

        // Break on Write from the popup menu of `stop`: the increment in
        // rec stops the next run.
        QTimer::singleShot(0, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) qFatal("no popup menu");
            menu->actions().front()->trigger();
            menu->close();
        });
        const QPoint at = s.variables->visualItemRect(row(s.variables, {"Globals", "stop"})).center();
        emit s.variables->customContextMenuRequested(at);
        const uint8_t address = uint8_t(s.value("stop").place->bytes[0]);
        const uint8_t before = s.chip().iram[address];
        s.frame.dispatch(id::Go);
        QTRY_VERIFY_WITH_TIMEOUT(!s.frame.runControl().running(), 10000);
        const QString stopped = s.frame.statusText(0);
        QVERIFY2(stopped.startsWith(QString::asprintf("Watchpoint stop (iram:%02X) written at ", address)) &&
                     stopped.endsWith(QString::asprintf(": %02X -> %02X", before, uint8_t(before + 1))),
                 qPrintable(stopped));

        // A program without a source map has no symbols, and says so.
        s.loadDemo("Demo1", false);
        QVERIFY(s.variables->topLevelItem(0)->text(0).startsWith("No symbols: "));
    }

    void callStackAndBreakOnWrite() {
        Session s(program());
        auto* stackView = s.open<View>(id::CallStackWindow);
        auto* stack = child<QTreeWidget>(stackView, "callStack");
        const auto printed = s.goToMark(marks_[0]);
        QCOMPARE(stack->topLevelItemCount(), 3);
        const char* functions[] = {"rec", "rec", "main"};
        for (int i = 0; i < 3; ++i) QCOMPARE(stack->topLevelItem(i)->text(0), QString(functions[i]));

        // The innermost frame's locals, then an outer frame's, whose stack
        // locals the inner call has taken over.
        QCOMPARE(row(s.variables, {"Locals of rec()", "n"})->text(1), QString::number(printed.at("n")));
        QCOMPARE(row(s.variables, {"Locals of rec()", "k"})->text(1), QString::number(printed.at("k")));
        const QSize area = s.frame.mdiArea()->viewport()->size();
        const int stackHeight = stack->fontMetrics().lineSpacing() * 9;
        windowOf(s.frame, id::CallStackWindow)->setGeometry(0, 0, area.width(), stackHeight);
        windowOf(s.frame, id::VariablesWindow)->setGeometry(0, stackHeight, area.width(), area.height() - stackHeight);
        QVERIFY(saveScreenshot(s.frame.mdiArea(), "debug_windows.png"));
        stack->setCurrentItem(stack->topLevelItem(1));
        QVERIFY(row(s.variables, {"Locals of rec()", "n"})->text(1).startsWith("not available ("));

        // A double-click shows main's call in the program window.
        QTreeWidgetItem* mainRow = stack->topLevelItem(2);
        const QRect place = stack->visualItemRect(mainRow);
        QTest::mouseClick(stack->viewport(), Qt::LeftButton, {}, place.center());
        QTest::mouseDClick(stack->viewport(), Qt::LeftButton, {}, place.center());
        QVERIFY(s.frame.programView());
        QCOMPARE(QString::asprintf("%04XH", unsigned(s.frame.programView()->top())), mainRow->text(2));

        // Break on Write on `stop` in the internal memory window: the marked
        // line's increment stops the run right after it.
        const uint8_t address = uint8_t(s.value("stop").place->bytes[0]);
        const uint16_t markPc = s.chip().pc;
        const uint8_t before = s.chip().iram[address];
        auto* memory = s.open<MemoryView>(id::InternalMemoryWindow);
        memory->goToAddress(address & 0xF0);
        memory->placeCaret(0, memory->layout().hexColumn + memory->layout().hexStride * (address & 15));
        QCOMPARE(memory->caretAddress(), uint32_t(address));
        QMenu* menu = memory->createContextMenu(memory);
        for (QAction* action : menu->actions())
            if (action->data().toInt() == MemoryView::kBreakOnWrite) action->trigger();
        delete menu;
        QCOMPARE(s.frame.programDebug().session().watchpoints().places().size(), size_t(1));
        s.frame.dispatch(id::Go);
        QTRY_VERIFY_WITH_TIMEOUT(!s.frame.runControl().running(), 10000);
        // The line is MOV A,stop; INC A; MOV stop,A (F5 stop).
        uint16_t writer = markPc;
        while (writer < markPc + 8 && !(s.chip().readCode(writer) == 0xF5 && s.chip().readCode(writer + 1) == address))
            ++writer;
        QCOMPARE(s.chip().pc, uint16_t(writer + 2));
        QCOMPARE(s.frame.statusText(0), QString::asprintf("Watchpoint iram:%02X written at %04XH: %02X -> %02X",
                                                          address, writer, before, uint8_t(before + 1)));
        s.frame.dispatch(id::ClearWatchpoints);
        QVERIFY(s.frame.programDebug().session().watchpoints().empty());

        // Step Out of Function returns from the innermost rec to its caller;
        // the Run menu offers it beside the other source-line steps.
        const int depth = stack->topLevelItemCount();
        QVERIFY(depth >= 2);
        QMenu* run = nullptr;
        for (QAction* top : s.frame.menuBar()->actions())
            if (top->text().remove('&') == "Run") run = top->menu();
        QVERIFY(run);
        emit run->aboutToShow();
        QAction* stepOut = nullptr;
        for (QAction* a : run->actions())
            if (a->text().startsWith("Step Ou&t of Function")) stepOut = a;
        QVERIFY(stepOut && stepOut->isEnabled());
        run->popup(s.frame.mapToGlobal(QPoint(0, 0)));
        QVERIFY(saveScreenshot(run, "run_menu.png"));
        run->close();
        s.frame.dispatch(id::StepOutOfFunction);
        QCOMPARE(stack->topLevelItemCount(), depth - 1);
        s.frame.dispatch(id::ResetCpu);
        QCOMPARE(stack->topLevelItemCount(), 1);
    }
};

QTEST_MAIN(DebugWindowsTest)
#include "debug_windows_test.moc"
