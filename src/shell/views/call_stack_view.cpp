// The Call Stack window (MdiCallStackChild): the calls the program is in as
// the debug session keeps them, the innermost first, one row each with the
// function, its source line and the address it is at (the program counter,
// or the call it made). A function an interrupt entered is marked so, and a
// frame whose return address is no longer on the stack (the program moved SP
// or popped it) is marked unknown. Choosing a row shows its locals in the
// Variables window; a double-click shows its address in the program window.
#include "shell/command_table.h"
#include "shell/debug_commands.h"
#include "shell/view_context.h"
#include "shell/views/view_table.h"
#include "shell/program_debug.h"
#include "shell/views/view_table.h"
#include "shell/view.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

enum Column { FunctionColumn, SourceColumn, AddressColumn };

QString functionText(const StackEntry& entry) {
    QString text = entry.function.empty() ? QString("?") : QString::fromStdString(entry.function);
    if (entry.interrupt) text += " (interrupt)";
    if (!entry.known) text += " (unknown: its return address is gone)";
    return text;
}

class CallStackView : public View {
public:
    CallStackView(const ViewContext& context, ProgramDebug& debug) : context_(context), debug_(debug) {
        setObjectName("MdiCallStackChild");
        setWindowTitle("Call Stack");
        tree_ = new QTreeWidget(this);
        tree_->setObjectName("callStack");
        tree_->setColumnCount(3);
        tree_->setHeaderLabels({"Function", "Source", "Address"});
        tree_->setRootIsDecorated(false);
        tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        const QFontMetrics metrics(font());
        tree_->header()->resizeSection(FunctionColumn, metrics.horizontalAdvance('0') * 24);
        tree_->header()->resizeSection(SourceColumn, metrics.horizontalAdvance('0') * 20);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(tree_);
        connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
            if (filling_ || !item) return;
            debug_.selectFrame(size_t(tree_->indexOfTopLevelItem(item)));
            // The Variables window lists the chosen frame's locals.
            context_.refreshViews();
        });
        connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
            context_.showCodeAddress(uint16_t(item->data(AddressColumn, Qt::UserRole).toUInt()));
        });
        growWindowToContentWhenPlaced();
    }

    int viewCommand() const override { return id::CallStackWindow; }

    QSize sizeHint() const override {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance('0') * 60, metrics.lineSpacing() * 10};
    }
    QSize minimumSizeHint() const override {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance('0') * 30, metrics.lineSpacing() * 4};
    }

    void refreshView() override {
        auto guard = context_.runControl().pause();
        ProgramDebug& debug = debug_;
        const std::vector<StackEntry> stack = debug.session().stack();
        const size_t selected = debug.selectedFrame();
        filling_ = true;
        while (tree_->topLevelItemCount() > int(stack.size())) delete tree_->topLevelItem(tree_->topLevelItemCount() - 1);
        for (size_t i = 0; i < stack.size(); ++i) {
            const StackEntry& entry = stack[i];
            QTreeWidgetItem* item = int(i) < tree_->topLevelItemCount() ? tree_->topLevelItem(int(i))
                                                                         : new QTreeWidgetItem(tree_);
            item->setText(FunctionColumn, functionText(entry));
            item->setText(SourceColumn, entry.file.empty() ? QString()
                                                           : QString("%1:%2").arg(QString::fromStdString(entry.file))
                                                                 .arg(entry.line));
            item->setText(AddressColumn, QString::asprintf("%04XH", unsigned(entry.pc)));
            item->setData(AddressColumn, Qt::UserRole, unsigned(entry.pc));
        }
        tree_->setCurrentItem(tree_->topLevelItem(int(selected)));
        filling_ = false;
    }

private:
    const ViewContext& context_;
    ProgramDebug& debug_;
    QTreeWidget* tree_;
    bool filling_ = false;
};

} // namespace

View* createCallStackView(const ViewSources& sources) { return new CallStackView(sources.context, sources.programDebug); }

} // namespace quorvel::shell
