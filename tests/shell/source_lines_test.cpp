// Source lines in the program window: a C program compiled with SDCC
// --debug brings its map beside it; the window shows the lines, steps go
// line by line, a breakpoint on a line stops Go, and the profile columns
// count the loop. With QUORVEL_SCREENSHOT_DIR set, the program window is
// saved as program_source_profile.png.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/source_debug.h"
#include "shell_test_support.h"
#include "test_support.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <sstream>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

class SourceLinesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::string source_;

    // The line of the comment "mark:<name>" in the C source.
    uint32_t lineOf(const char* mark) const {
        const size_t pos = source_.find(std::string("mark:") + mark + " ");
        if (pos == std::string::npos) qFatal("no mark %s", mark);
        return uint32_t(std::count(source_.begin(), source_.begin() + long(pos), '\n') + 1);
    }
    QString program() const { return dir_.filePath("steps.hex"); }

    static uint32_t lineAtPc(Frame& frame) {
        auto where = frame.sourceDebug().map()->locationAt(frame.runControl().currentAddress());
        return where ? where->line : 0;
    }
    static uint16_t functionStart(Frame& frame, const char* name) {
        for (const SourceFunction& f : frame.sourceDebug().map()->functions())
            if (f.name == name) return f.start;
        qFatal("no function %s", name);
        return 0;
    }
    // The first shown row whose source column names `line` of steps.c.
    static int rowOfLine(ProgramView* view, uint32_t line) {
        const QString place = QString("steps.c:%1 ").arg(line);
        for (int row = 1; row < view->rows(); ++row)
            if (view->annotationText(row).contains(place)) return row;
        return -1;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        std::ifstream in(std::string(QUORVEL_TEST_DATA) + "/source_steps.c");
        std::stringstream text;
        text << in.rdbuf();
        source_ = text.str();
        QVERIFY(!source_.empty());
        auto compiled = support::compileC(dir_.path().toStdString(), "steps", source_, {"--debug"});
        QVERIFY2(bool(compiled), compiled.message());
    }

    // The stepping itself is checked with the core; here the commands, the
    // column and the window following the program counter.
    void rowsShowTheLinesAndStepsFollow() {
        StartedFrame f;
        QVERIFY(!f.frame.menuAction(id::StepSourceLine)->isEnabled());
        f.loadProgram(program());
        QVERIFY(f.frame.menuAction(id::StepSourceLine)->isEnabled());
        auto* view = f.open<ProgramView>(id::ProgramWindow, QSize(1000, 400));
        view->setTop(functionStart(f.frame, "bump"));
        QCOMPARE(view->annotationText(1).left(6), QString("bump()"));
        const int row = rowOfLine(view, lineOf("bump"));
        QVERIFY(row > 0);
        QVERIFY(view->annotationText(row).endsWith("count += n;             /* mark:bump */"));
        const QString disassembly = view->rowText(row);

        // Switched off: no column, the disassembly as before.
        f.frame.dispatch(id::SourceLines);
        for (int r = 1; r < view->rows(); ++r) QVERIFY(view->annotationText(r).isEmpty());
        QCOMPARE(view->rowText(row), disassembly);
        f.frame.dispatch(id::SourceLines);

        // From the reset through the start-up code to the call, over it.
        for (int i = 0; i < 20 && lineAtPc(f.frame) != lineOf("call"); ++i)
            f.frame.dispatch(id::StepSourceLine);
        QCOMPARE(lineAtPc(f.frame), lineOf("call"));
        f.frame.dispatch(id::StepOverSourceLine);
        const uint32_t after = lineAtPc(f.frame);
        QVERIFY2(after != lineOf("bump") && after != lineOf("call"), QByteArray::number(after));
        bool shown = false;
        for (int r = 1; r < view->rows(); ++r)
            shown = shown || view->rowAddress(r - 1) == f.frame.runControl().currentAddress();
        QVERIFY(shown);
        QVERIFY(f.messages.shown.empty());

        // A map that cannot be read: a message, and the old map stays.
        f.messages.fileAnswers.push_back(dir_.filePath("missing.cdb"));
        f.frame.dispatch(id::LoadSourceMap);
        QVERIFY(!f.messages.shown.empty());
        QVERIFY(QString::fromStdString(f.messages.shown.back().text).contains("missing.cdb"));
        QVERIFY(f.frame.sourceDebug().map());

        // Another program without a map forgets it.
        f.loadDemo("Demo1", false);
        QVERIFY(!f.frame.sourceDebug().map());
        QVERIFY(!f.frame.menuAction(id::StepSourceLine)->isEnabled());
    }

    void lineBreakStopsGoAndProfileCounts() {
        StartedFrame f;
        f.loadProgram(program());
        f.frame.dispatch(id::Profile);
        auto* view = f.open<ProgramView>(id::ProgramWindow, QSize(1000, 520));
        view->setTop(functionStart(f.frame, "main"));
        const int afterRow = rowOfLine(view, lineOf("after"));
        QVERIFY(afterRow > 0);
        view->toggleLineBreakAt(afterRow);

        f.frame.dispatch(id::Go);
        QTRY_VERIFY(!f.frame.runControl().running());
        QCOMPARE(lineAtPc(f.frame), lineOf("after"));
        QVERIFY(f.messages.shown.empty());

        // The loop ran three times: so did the first instruction of bump's line.
        view->setTop(functionStart(f.frame, "bump"));
        const int bumpRow = rowOfLine(view, lineOf("bump"));
        QVERIFY(bumpRow > 0);
        QCOMPARE(view->annotationText(bumpRow).left(10).trimmed(), QString("3"));
        QVERIFY(!view->rowNeverExecuted(bumpRow));
        // The line after the loop has not run yet.
        view->setTop(functionStart(f.frame, "main"));
        QCOMPARE(view->annotationText(afterRow).left(10).trimmed(), QString("0"));
        QVERIFY(view->rowNeverExecuted(afterRow));

        if (QMdiSubWindow* window = windowOf(f.frame, id::ProgramWindow)) window->resize(1060, 520);
        QVERIFY(saveScreenshot(view->parentWidget(), "program_source_profile.png"));

        // Clear Profile zeroes the counts: the loop is "never executed" again.
        const int loopRow = rowOfLine(view, lineOf("loop"));
        QVERIFY(loopRow > 0);
        QVERIFY(!view->rowNeverExecuted(loopRow));
        f.frame.dispatch(id::ClearProfile);
        QVERIFY(view->rowNeverExecuted(loopRow));
        view->toggleLineBreakAt(afterRow);
        QVERIFY(f.frame.runControl().session().lineBreaks().none());
    }
};

QTEST_MAIN(SourceLinesTest)
#include "source_lines_test.moc"
