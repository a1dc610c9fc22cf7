// The source editor and the assembler run, driven as a user would: typing a
// program, saving it, assembling it with the bundled asm51 and stepping the
// loaded program; an error line of the output opening its source line;
// failed runs that must not load files of earlier runs; the "save changes?"
// question; Find and Replace; keyword colours; a large file. With
// QUORVEL_SCREENSHOT_DIR set, a picture of an editor beside the program
// window is saved there (editor.png).
#include "shell/editor/assembler_run.h"
#include "shell/editor/editor_view.h"
#include "shell/editor/output_view.h"
#include "shell/editor/search_dialog.h"
#include "shell/editor/source_highlighter.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

void typeLines(QPlainTextEdit* text, const QStringList& lines) {
    text->setFocus();
    for (const QString& line : lines) {
        QTest::keyClicks(text, line);
        QTest::keyClick(text, Qt::Key_Return);
    }
}

OutputView* outputView(Frame& frame) {
    for (QMdiSubWindow* window : frame.mdiArea()->subWindowList())
        if (auto* view = qobject_cast<OutputView*>(window->widget())) return view;
    return nullptr;
}

// The colour the highlighter gave the character at `column` of `block`;
// black when it gave none.
QColor colourAt(const QTextBlock& block, int column) {
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
        if (column >= range.start && column < range.start + range.length)
            return range.format.foreground().color();
    return QColor(0, 0, 0);
}

} // namespace

class EditorTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(dir_.isValid());
        // Paths with spaces reach the assembler as they are.
        folder_ = QDir(dir_.path()).filePath("my sources");
        QVERIFY(QDir().mkpath(folder_));
    }

    void typedProgramIsAssembledLoadedAndStepped() {
        StartedFrame started;
        Frame& frame = started.frame;
        frame.appConfig().assemblerPath = QUORVEL_ASM51;
        frame.appConfig().assemblerOptions = 0x3F;
        const QString source = QDir(folder_).filePath("count up.asm");
        started.messages.fileAnswers.push_back(source);
        frame.dispatch(id::LoadTextFile);
        EditorView* editor = activeEditor(frame);
        QVERIFY(editor);
        QCOMPARE(frame.menuBarKind(), MenuBarKind::Editor);

        typeLines(editor->textEdit(), {"        MOV  A,#5", "        INC  A", "HERE:   SJMP HERE", "        END"});
        QCOMPARE(editor->windowTitle(), QString("count up.asm*"));
        frame.dispatch(id::SaveTextFile);
        QCOMPARE(editor->windowTitle(), QString("count up.asm"));
        QVERIFY(readFile(source).startsWith("        MOV  A,#5\n        INC  A\n"));

        // What the previous program left: a PC inside the new one, cycles,
        // profile counts. Loading by Run Assembler resets them as Load
        // Program does.
        frame.runControl().setCurrentAddress(0x0002);
        started.chip().setCycleCount(99);
        frame.machine().codeProfile.enable();
        frame.machine().codeProfile.counts[2].executions = 5;

        LoadDetailsAnswerer details;
        frame.dispatch(id::RunAssemblerKey); // F9
        QTRY_VERIFY(outputView(frame));
        QTRY_COMPARE(started.chip().readCode(3), uint8_t(0x80));
        QCOMPARE(frame.runControl().currentAddress(), uint16_t(0));
        QCOMPARE(started.chip().cycleCount(), uint64_t(0));
        QCOMPARE(frame.machine().codeProfile.at(2).executions, uint64_t(0));
        QVERIFY(outputView(frame)->textEdit()->toPlainText().contains("0 errors"));
        QVERIFY(findEditor(frame, QDir(folder_).filePath("count up.lst")));

        frame.dispatch(id::SingleStep);
        frame.dispatch(id::SingleStep);
        QCOMPARE(started.chip().acc(), uint8_t(6));
    }

    void errorLineOpensItsSourceLine() {
        StartedFrame started;
        Frame& frame = started.frame;
        frame.appConfig().assemblerPath = QUORVEL_ASM51;
        frame.appConfig().assemblerOptions = 0x3F;
        const QString source = QDir(folder_).filePath("broken.asm");
        QVERIFY(writeFile(source, "        MOV  A,#1\r\n        MOVE A,#2\r\n        END\r\n"));
        EditorView* editor = openEditor(frame, source);
        QVERIFY(editor);
        started.writeCode(0, {0x12, 0x34});
        frame.dispatch(id::RunAssemblerKey);
        QTRY_VERIFY(outputView(frame));
        // Nothing loaded, no HEX left: the program memory is as it was.
        QCOMPARE(started.chip().readCode(0), uint8_t(0x12));
        QVERIFY(!QFile::exists(QDir(folder_).filePath("broken.hex")));

        // The user moves elsewhere, then double-clicks the error line, which
        // wraps in a narrow window rather than being cut.
        editor->textEdit()->moveCursor(QTextCursor::End);
        QPlainTextEdit* output = outputView(frame)->textEdit();
        outputView(frame)->parentWidget()->resize(180, 200);
        QCoreApplication::processEvents();
        QCOMPARE(output->horizontalScrollBar()->maximum(), 0);
        QVERIFY(output->document()->find("broken.asm(2)").block().layout()->lineCount() > 1);
        const QTextBlock error = output->document()->find("broken.asm(2)").block();
        QVERIFY(error.isValid());
        QTextCursor at(error);
        const QPoint point = output->cursorRect(at).center() + QPoint(4, 0);
        QTest::mouseDClick(output->viewport(), Qt::LeftButton, {}, point);
        QCOMPARE(activeEditor(frame), editor);
        QCOMPARE(editor->textEdit()->textCursor().blockNumber(), 1);
        // Saved again with the line ends it had.
        editor->insertAtCaret("; fixed?");
        QVERIFY(editor->save());
        QVERIFY(readFile(source).startsWith("        MOV  A,#1\r\n; fixed?        MOVE"));
    }

    // A run that cannot start, and an assembler that fails without writing:
    // the listing and HEX file of an earlier run stay where they are and
    // are neither opened nor loaded.
    void failedRunsLoadNothingOld() {
        const QString fake = QDir(folder_).filePath("fails.sh");
        QVERIFY(writeFile(fake, "#!/bin/sh\necho \"old.asm(1): cannot assemble\"\nexit 1\n"));
        QFile::setPermissions(fake, QFile::permissions(fake) | QFileDevice::ExeOwner);
        const struct {
            QString assembler;
            bool outputShown;
        } rows[] = {{QDir(folder_).filePath("no such assembler"), false}, {fake, true}};
        for (const auto& row : rows) {
            StartedFrame started;
            Frame& frame = started.frame;
            frame.appConfig().assemblerPath = row.assembler.toStdString();
            frame.appConfig().assemblerOptions = 0x3F;
            const QString source = QDir(folder_).filePath("old.asm");
            QVERIFY(writeFile(source, "        NOP\n        END\n"));
            QVERIFY(writeFile(QDir(folder_).filePath("old.hex"), ":03000000020000FB\n:00000001FF\n"));
            QVERIFY(writeFile(QDir(folder_).filePath("old.lst"), "old listing\n"));
            for (const char* name : {"old.hex", "old.lst"}) {
                QFile old(QDir(folder_).filePath(name));
                QVERIFY(old.open(QIODevice::ReadWrite));
                QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                        QFileDevice::FileModificationTime));
            }
            QVERIFY(openEditor(frame, source));
            frame.dispatch(id::RunAssemblerKey);
            QTRY_VERIFY(!frame.findChild<AssemblerRun*>());
            QCOMPARE(outputView(frame) != nullptr, row.outputShown);
            QCOMPARE(started.messages.shown.size(), size_t(row.outputShown ? 0 : 1));
            QCOMPARE(started.chip().readCode(0), uint8_t(0xFF));
            QVERIFY(!findEditor(frame, QDir(folder_).filePath("old.lst")));
            QVERIFY(QFile::exists(QDir(folder_).filePath("old.hex")));
            QCOMPARE(frame.statusText(0), QString("Ready"));
        }
    }

    // The dialog keeps an empty path from being stored; "R&un" stores the
    // path and the options and runs.
    void runAssemblerDialog() {
        StartedFrame started;
        Frame& frame = started.frame;
        frame.appConfig().assemblerOptions = 0x3F;
        const QString source = QDir(folder_).filePath("dialog.asm");
        QVERIFY(writeFile(source, "        MOV  A,#7\n        END\n"));
        QVERIFY(openEditor(frame, source));
        bool stayedOpen = false;
        onNextModal([&](QDialog* dialog) {
            QCOMPARE(dialog->objectName(), QString("IDM_RUNASSEMBLER"));
            child<QLineEdit>(dialog, "path")->clear();
            child<QPushButton>(dialog, "run")->click();
            stayedOpen = dialog->isVisible();
            child<QLineEdit>(dialog, "path")->setText(QUORVEL_ASM51);
            child<QCheckBox>(dialog, "option4")->setChecked(false); // no HEX load
            child<QPushButton>(dialog, "run")->click();
        });
        frame.dispatch(id::RunAssembler);
        QVERIFY(stayedOpen);
        QCOMPARE(started.messages.shown.at(0).text,
                 std::string("Enter the Assembler filename and press Run button"));
        QCOMPARE(frame.appConfig().assemblerPath, std::string(QUORVEL_ASM51));
        QCOMPARE(frame.appConfig().assemblerOptions, uint8_t(0x2F));
        QTRY_VERIFY(outputView(frame));
        QTRY_VERIFY(findEditor(frame, QDir(folder_).filePath("dialog.lst")));
        QCOMPARE(started.chip().readCode(0), uint8_t(0xFF));
        QVERIFY(QFile::exists(QDir(folder_).filePath("dialog.hex")));
    }

    void savePromptsOnClose() {
        // Answer, whether the window closed, what the file holds.
        const struct {
            Messages::Answer answer;
            bool closed;
            QByteArray file;
        } rows[] = {{Messages::Answer::Cancel, false, "old\n"},
                    {Messages::Answer::No, true, "old\n"},
                    {Messages::Answer::Yes, true, "new old\n"}};
        const QString path = QDir(folder_).filePath("kept.asm");
        for (const auto& row : rows) {
            QVERIFY(writeFile(path, "old\n"));
            StartedFrame started;
            Frame& frame = started.frame;
            frame.dispatch(id::RegisterWindow); // closes only once the exit is certain
            EditorView* editor = openEditor(frame, path);
            QVERIFY(editor);
            editor->insertAtCaret("new ");
            started.messages.answers.push_back(row.answer);
            frame.close(); // Exit asks the editor first
            QCoreApplication::processEvents();
            QCOMPARE(started.messages.shown.back().text, std::string("Save current changes in kept.asm?"));
            QCOMPARE(frame.isVisible(), !row.closed);
            QCOMPARE(frame.mdiArea()->subWindowList().size(), row.closed ? 0 : 2);
            QCOMPARE(readFile(path), row.file);
        }
        // An untitled document is saved under the name the user gives; a
        // cancelled Save As keeps it open.
        StartedFrame started;
        EditorView* editor = openEditor(started.frame, QString());
        editor->insertAtCaret("        NOP\n");
        QCOMPARE(editor->windowTitle(), QString("Editor*"));
        started.messages.answers = {Messages::Answer::Yes, Messages::Answer::Yes};
        started.frame.dispatch(id::CloseAll);
        QCOMPARE(started.frame.mdiArea()->subWindowList().size(), 1);
        const QString named = QDir(folder_).filePath("named.asm");
        started.messages.fileAnswers.push_back(named);
        started.frame.dispatch(id::CloseAll);
        QVERIFY(started.frame.mdiArea()->subWindowList().isEmpty());
        QCOMPARE(readFile(named), QByteArray("        NOP\n"));
        QCOMPARE(started.messages.prompts, QStringList({"SaveAs", "SaveAs"}));
    }

    void findAndReplace() {
        StartedFrame started;
        Frame& frame = started.frame;
        EditorView* editor = openEditor(frame, QString());
        editor->insertAtCaret("mov a,#1\nMOV b,#2\nmove c\n");
        editor->textEdit()->moveCursor(QTextCursor::Start);
        auto& shown = started.messages.shown;

        frame.dispatch(id::Find);
        auto* find = child<SearchDialog>(editor, "FindDialog");
        child<QLineEdit>(find, "findText")->setText("MOV ");
        child<QCheckBox>(find, "matchCase")->setChecked(true);
        child<QPushButton>(find, "findNext")->click();
        QCOMPARE(editor->textEdit()->textCursor().blockNumber(), 1);
        child<QPushButton>(find, "cancel")->click();
        frame.dispatch(id::FindNext); // F3 again: nothing after it
        QCOMPARE(shown.back().text, std::string("The search text is not found."));

        editor->textEdit()->moveCursor(QTextCursor::Start);
        frame.dispatch(id::Replace);
        auto* replace = child<SearchDialog>(editor, "ReplaceDialog");
        child<QLineEdit>(replace, "findText")->setText("mov");
        child<QLineEdit>(replace, "replaceText")->setText("MOVX");
        child<QCheckBox>(replace, "matchCase")->setChecked(false);
        // Replaces the first, stops at the next.
        child<QPushButton>(replace, "replace")->click();
        QCOMPARE(editor->textEdit()->textCursor().selectedText(), QString("MOV"));
        child<QPushButton>(replace, "replaceAll")->click();
        QCOMPARE(shown.back().text, std::string("Replaced 2 occurances."));
        QCOMPARE(editor->textEdit()->toPlainText(), QString("MOVX a,#1\nMOVX b,#2\nMOVXe c\n"));
        // One match after the caret: replaced, nothing further.
        editor->textEdit()->moveCursor(QTextCursor::Start);
        child<QLineEdit>(replace, "findText")->setText("MOVXe");
        child<QLineEdit>(replace, "replaceText")->setText("MOV");
        child<QPushButton>(replace, "replace")->click();
        QCOMPARE(shown.back().text, std::string("Replaced 1 occurances."));
        frame.dispatch(id::Undo);
        QVERIFY(editor->textEdit()->toPlainText().contains("MOVXe c"));
    }

    void keywordColours() {
        StartedFrame started;
        EditorView* editor = openEditor(started.frame, QString());
        editor->insertAtCaret("loop: mov P1.0,c ; MOV again\nMOVE P1.8,ACC\n  ORG 0\nMOVX @DPTR,A\nINC DPTR\n");
        QCoreApplication::processEvents();
        QTextDocument* document = editor->textEdit()->document();
        const QColor blue(0, 0, 255), red(255, 0, 0), magenta(255, 0, 255), brown(139, 69, 19),
            green(0, 128, 0), black(0, 0, 0);
        const struct {
            int line, column;
            QColor colour;
        } cells[] = {{0, 0, black}, {0, 6, blue},  {0, 10, magenta}, {0, 17, green}, {0, 21, green},
                     {1, 0, black}, {1, 10, red},  {2, 2, brown},    {3, 5, blue}};
        for (const auto& cell : cells)
            QCOMPARE(colourAt(document->findBlockByNumber(cell.line), cell.column), cell.colour);
        // Removing the ";" brings the keyword colours back.
        QTextCursor cursor(document->findBlockByNumber(0));
        cursor.setPosition(cursor.position() + 17);
        cursor.deleteChar();
        QCOMPARE(colourAt(document->findBlockByNumber(0), 19), blue);

        // In a listing the object byte F0 is a number; the source's F0 the bit.
        const QString listing = QDir(folder_).filePath("bits.lst");
        QVERIFY(writeFile(listing, "    7   0005  F0 D2 D5      SETB F0\r\n"));
        QTextDocument* lst = openEditor(started.frame, listing)->textEdit()->document();
        QCoreApplication::processEvents();
        for (const auto& [column, colour] : {std::pair{14, black}, {17, black}, {28, blue}, {33, magenta}})
            QCOMPARE(colourAt(lst->findBlockByNumber(0), column), colour);
    }

    // A source file of a megabyte opens whole: no line is cut off.
    void largeFileOpensWhole() {
        QByteArray text;
        for (int line = 0; text.size() < (1 << 20); ++line)
            text += QByteArray("LINE") + QByteArray::number(line) + ":  MOV  A,#0" +
                    QByteArray::number(line % 10) + "H   ; a comment\r\n";
        const QString path = QDir(folder_).filePath("big.asm");
        QVERIFY(writeFile(path, text));
        StartedFrame started;
        EditorView* editor = openEditor(started.frame, path);
        QVERIFY(editor);
        QCOMPARE(editor->textEdit()->document()->blockCount(), text.count('\n') + 1);
    }

    void screenshot() {
        StartedFrame started;
        Frame& frame = started.frame;
        frame.resize(1200, 700);
        started.writeCode(0, {0x75, 0x90, 0x00, 0xB2, 0x90, 0x80, 0xFC});
        frame.dispatch(id::ProgramWindow);
        frame.view(id::ProgramWindow)->parentWidget()->setGeometry(0, 0, 420, 520);
        const QString path = QDir(folder_).filePath("blink.asm");
        QVERIFY(writeFile(path, "; Flash the LED on P1.0\r\n        ORG  0\r\n"
                                "START:  MOV  P1,#00H      ; all lines low\r\n"
                                "LOOP:   CPL  P1.0         ; toggle the LED\r\n"
                                "        MOV  R7,#200\r\n"
                                "WAIT:   DJNZ R7,WAIT\r\n"
                                "        SETB TR0\r\n"
                                "        SJMP LOOP\r\n        END\r\n"));
        EditorView* editor = openEditor(frame, path);
        editor->parentWidget()->setGeometry(430, 0, 560, 360);
        QVERIFY(saveScreenshot(&frame, "editor.png"));
    }

private:
    QTemporaryDir dir_;
    QString folder_;
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
