// The "Output" window: what the assembler wrote in its last run, read-only.
// A double click on a message line that names a source line ("file(line):
// text") opens that file in an editor (or activates its open editor) with
// the caret on that line.
#pragma once

#include "shell/view.h"

class QPlainTextEdit;

namespace quorvel::shell {

class Frame;

class OutputView : public View {
    Q_OBJECT
public:
    explicit OutputView(Frame& frame, QWidget* parent = nullptr);
    void refreshView() override {}
    int viewCommand() const override { return 0; }

    // The text of a run, whose file names are relative to `folder`.
    void setOutput(const QString& text, const QString& folder);
    QPlainTextEdit* textEdit() const { return text_; }
    // Opens the source line that output line `line` (from 0) names; false
    // when the line names none or the file cannot be opened.
    bool openMessageLine(int line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Frame& frame_;
    QPlainTextEdit* text_;
    QString folder_;
};

// Shows `text` in the Output window (created on first use, activated later).
OutputView* showAssemblerOutput(Frame& frame, const QString& text, const QString& folder);

} // namespace quorvel::shell
