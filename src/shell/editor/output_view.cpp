#include "shell/editor/output_view.h"

#include "shell/editor/editor_view.h"
#include "shell/frame.h"
#include "tools/assembler_messages.h"

#include <QDir>
#include <QEvent>
#include <QFontDatabase>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

namespace quorvel::shell {

OutputView::OutputView(Frame& frame, QWidget* parent) : View(parent), frame_(frame) {
    setObjectName("OutputChild");
    setWindowTitle("Output");
    text_ = new QPlainTextEdit(this);
    text_->setObjectName("text");
    text_->setReadOnly(true);
    // Long messages (paths, the assembler's reasons) wrap at the window's
    // edge; a double-click still finds the whole message line.
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    setFocusProxy(text_);
}

void OutputView::setOutput(const QString& text, const QString& folder) {
    folder_ = folder;
    text_->setPlainText(text);
}

bool OutputView::openMessageLine(int line) {
    const QTextBlock block = text_->document()->findBlockByNumber(line);
    if (!block.isValid()) return false;
    const auto at = messageLocation(block.text().toStdString());
    if (!at) return false;
    const QString path = QDir(folder_).absoluteFilePath(QString::fromStdString(at->file));
    EditorView* editor = findEditor(frame_, path);
    if (editor) {
        frame_.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(editor->parentWidget()));
    } else {
        editor = openEditor(frame_, path);
        if (!editor) return false;
    }
    editor->goToLine(at->line);
    return true;
}

bool OutputView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int line = text_->cursorForPosition(mouse->position().toPoint()).blockNumber();
        if (openMessageLine(line)) return true;
    }
    return View::eventFilter(watched, event);
}

OutputView* showAssemblerOutput(Frame& frame, const QString& text, const QString& folder) {
    OutputView* view = nullptr;
    for (QMdiSubWindow* window : frame.mdiArea()->subWindowList())
        if (auto* output = qobject_cast<OutputView*>(window->widget())) view = output;
    if (view) {
        frame.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(view->parentWidget()));
    } else {
        view = new OutputView(frame);
        frame.addViewWindow(view, QSize(620, 220));
    }
    view->setOutput(text, folder);
    return view;
}

} // namespace quorvel::shell
