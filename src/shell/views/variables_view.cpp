// The Variables window (MdiVariablesChild): the locals and parameters of the
// stack frame chosen in the Call Stack window (the innermost one after every
// step) and the program's globals and file statics, as a tree whose structs
// and arrays open member by member. Columns Name, Value, Type and Place; a
// variable without a place at this program counter reads "not available
// (why)". A value is edited in place (double-click or F2 on it): the text
// goes into the variable where it lives, or a wrong entry is refused with
// the reason and nothing changes. Values that changed since the machine last
// ran are red. Its popup menu sets a watchpoint on a variable.
#include "shell/command_table.h"
#include "shell/debug_commands.h"
#include "shell/history_commands.h"
#include "shell/view_context.h"
#include "shell/views/view_table.h"
#include "shell/messages.h"
#include "shell/program_debug.h"
#include "shell/views/view_table.h"
#include "shell/view.h"

#include <QHeaderView>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

namespace quorvel::shell {

namespace {

enum Column { NameColumn, ValueColumn, TypeColumn, PlaceColumn };
// Item data: the C expression of a variable row, and its key among the
// shown values ("G:" and the expression for globals; for locals "L:", the
// frame and its function, then the expression).
constexpr int kExpressionRole = Qt::UserRole;
constexpr int kKeyRole = Qt::UserRole + 1;

const char* const kNoSymbols = "No symbols: load a program with its .cdb or .lst";

// Only the value column takes typing.
class ValueDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != ValueColumn) return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
};

struct Row {
    QString name;
    CValue value;
    QString error; // the expression could not be evaluated
};

class VariablesView : public View {
public:
    VariablesView(const ViewContext& context, ProgramDebug& debug) : context_(context), debug_(debug) {
        setObjectName("MdiVariablesChild");
        setWindowTitle("Variables");
        tree_ = new QTreeWidget(this);
        tree_->setObjectName("variables");
        tree_->setColumnCount(4);
        tree_->setHeaderLabels({"Name", "Value", "Type", "Place"});
        tree_->setItemDelegate(new ValueDelegate(tree_));
        tree_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
        tree_->setContextMenuPolicy(Qt::CustomContextMenu);
        const QFontMetrics metrics(font());
        const int digit = metrics.horizontalAdvance('0');
        tree_->header()->resizeSection(NameColumn, digit * 12);
        tree_->header()->resizeSection(ValueColumn, digit * 30);
        tree_->header()->resizeSection(TypeColumn, digit * 20);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(tree_);
        connect(tree_, &QTreeWidget::itemExpanded, this, [this] {
            if (!filling_) refreshView(); // the opened row's members
        });
        connect(tree_, &QTreeWidget::itemChanged, this, &VariablesView::valueEdited);
        connect(tree_, &QWidget::customContextMenuRequested, this, &VariablesView::popupMenu);
        growWindowToContentWhenPlaced();
    }

    int viewCommand() const override { return id::VariablesWindow; }

    QSize sizeHint() const override {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance('0') * 80, metrics.lineSpacing() * 18};
    }
    QSize minimumSizeHint() const override {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance('0') * 40, metrics.lineSpacing() * 6};
    }

    void refreshView() override {
        auto guard = context_.runControl().pause();
        const DebugSession& session = debug_.session();
        const CVariables* variables = session.variables();
        filling_ = true;
        if (!variables) {
            tree_->clear();
            auto* item = new QTreeWidgetItem(tree_, {kNoSymbols});
            item->setFirstColumnSpanned(true);
            shown_.clear();
            previous_.clear();
            filling_ = false;
            return;
        }
        const size_t frameIndex = debug_.selectedFrame();
        const std::vector<StackEntry> stack = session.stack();
        const QString function = QString::fromStdString(stack[frameIndex].function);
        // What was shown before the machine last ran is the measure of
        // "changed"; another frame's locals have other keys, so they are
        // new rather than changed.
        const uint64_t cycles = context_.machine().chip.cycleCount();
        if (cycles != shownCycles_) previous_ = shown_;
        shown_.clear();
        shownFrame_ = frameIndex;
        shownCycles_ = cycles;

        if (tree_->topLevelItemCount() != 2 || tree_->topLevelItem(0)->text(NameColumn) == kNoSymbols) {
            tree_->clear();
            for (int group = 0; group < 2; ++group) {
                auto* item = new QTreeWidgetItem(tree_);
                item->setFirstColumnSpanned(true);
                item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
                item->setExpanded(true);
            }
        }
        QTreeWidgetItem* locals = tree_->topLevelItem(0);
        QTreeWidgetItem* globals = tree_->topLevelItem(1);
        locals->setText(NameColumn, function.isEmpty() ? QString("Locals") : "Locals of " + function + "()");
        globals->setText(NameColumn, "Globals");
        syncRows(locals, QString("L:%1:%2:").arg(frameIndex).arg(function),
                 evaluateAll(session.localNames(frameIndex), frameIndex));
        syncRows(globals, "G:", evaluateAll(session.globalNames(), frameIndex));
        filling_ = false;
    }

private:
    std::vector<Row> evaluateAll(const std::vector<std::string>& names, size_t frameIndex) const {
        std::vector<Row> rows;
        for (const std::string& name : names) {
            const CEvaluation e = debug_.session().evaluate(name, frameIndex);
            Row row{QString::fromStdString(name), e.value.value_or(CValue{}), {}};
            if (!e.value) {
                row.value.expression = name;
                row.error = QString::fromStdString(e.error);
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    // The rows under `parent` become `rows`, keeping the items (and so what
    // is open and selected) of the rows that stay.
    void syncRows(QTreeWidgetItem* parent, const QString& group, const std::vector<Row>& rows) {
        const CVariables& variables = *debug_.session().variables();
        const Machine& machine = context_.machine();
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            const QString expression = QString::fromStdString(row.value.expression);
            const QString key = group + expression;
            QTreeWidgetItem* item = int(i) < parent->childCount() ? parent->child(int(i)) : nullptr;
            if (item && item->data(NameColumn, kKeyRole).toString() != key) {
                delete item;
                item = nullptr;
            }
            if (!item) {
                item = new QTreeWidgetItem;
                parent->insertChild(int(i), item);
                item->setData(NameColumn, kKeyRole, key);
                item->setData(NameColumn, kExpressionRole, expression);
            }
            const bool placed = row.error.isEmpty() && row.value.place;
            const QString value = row.error.isEmpty() ? QString::fromStdString(variables.format(machine, row.value))
                                                      : "not available (" + row.error + ")";
            item->setText(NameColumn, row.name);
            item->setText(ValueColumn, value);
            item->setText(TypeColumn, row.error.isEmpty() ? QString::fromStdString(typeName(row.value.type)) : "");
            item->setText(PlaceColumn, placed ? QString::fromStdString(row.value.place->where) : "");
            const auto before = previous_.find(key);
            const bool changed = before != previous_.end() && before->second != value;
            item->setForeground(ValueColumn, changed ? QColor(255, 0, 0) : palette().color(QPalette::Text));
            shown_[key] = value;
            const bool aggregate = placed && !row.value.type.isScalar();
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (placed && !aggregate && row.value.place->space != CSpace::Code) flags |= Qt::ItemIsEditable;
            item->setFlags(flags);
            item->setChildIndicatorPolicy(aggregate ? QTreeWidgetItem::ShowIndicator
                                                    : QTreeWidgetItem::DontShowIndicatorWhenChildless);
            if (aggregate && item->isExpanded()) {
                std::vector<Row> parts;
                for (CValue& part : variables.children(machine, row.value)) {
                    const std::string& e = part.expression;
                    const std::string tail = e.substr(std::min(e.size(), row.value.expression.size()));
                    parts.push_back({QString::fromStdString(tail.starts_with('.') ? tail.substr(1) : tail),
                                     std::move(part), {}});
                }
                syncRows(item, group, parts);
            } else {
                qDeleteAll(item->takeChildren());
            }
        }
        while (parent->childCount() > int(rows.size())) delete parent->child(parent->childCount() - 1);
    }

    void valueEdited(QTreeWidgetItem* item, int column) {
        if (filling_ || column != ValueColumn) return;
        const std::string expression = item->data(NameColumn, kExpressionRole).toString().toStdString();
        const std::string text = item->text(ValueColumn).trimmed().toStdString();
        std::string error;
        {
            RunController& run = context_.runControl();
            auto guard = run.pause();
            ProgramDebug& debug = debug_;
            const CEvaluation e = debug.session().evaluate(expression, debug.selectedFrame());
            if (!e.value) {
                error = e.error;
            } else {
                // Through the session, which logs the write while recording.
                if (!run.running()) run.keepHistoryPresent();
                error = debug.session().writeVariable(*e.value, text);
                if (!run.running()) run.notePresent();
            }
        }
        if (!error.empty()) {
            refreshView(); // the value as it is
            context_.showMessage(errorMessage("Variables", expression + ": " + error));
            return;
        }
        // The new value is the user's, not a change the program made: neither
        // it nor the structs and arrays around it are drawn red.
        QStringList keys;
        for (QTreeWidgetItem* row = item; row && row->parent(); row = row->parent())
            keys << row->data(NameColumn, kKeyRole).toString();
        context_.refreshViews(); // may replace the items
        for (const QString& key : keys)
            if (shown_.count(key)) previous_[key] = shown_[key];
        refreshView();
    }

    void popupMenu(const QPoint& at) {
        QTreeWidgetItem* item = tree_->itemAt(at);
        if (!item || item->data(NameColumn, kExpressionRole).isNull()) return;
        const QString expression = item->data(NameColumn, kExpressionRole).toString();
        const bool local = item->data(NameColumn, kKeyRole).toString().startsWith("L:");
        QMenu menu(this);
        QAction* watch = menu.addAction(QString("Break on &Write (%1)").arg(expression));
        // A watchpoint is placed where the variable lives at the program
        // counter: an outer frame's locals are not there.
        watch->setEnabled(!item->text(PlaceColumn).isEmpty() && (!local || shownFrame_ == 0));
        connect(watch, &QAction::triggered, this, [this, expression] { breakOnWrite(context_, debug_, expression); });
        QAction* last = menu.addAction(QString("&Last Write (%1)").arg(expression));
        last->setEnabled(watch->isEnabled() && debug_.session().history() && !context_.runControl().running());
        connect(last, &QAction::triggered, this, [this, expression] { showLastWrite(context_, debug_, expression); });
        menu.exec(tree_->viewport()->mapToGlobal(at));
    }

    const ViewContext& context_;
    ProgramDebug& debug_;
    QTreeWidget* tree_;
    bool filling_ = false;
    size_t shownFrame_ = 0;
    uint64_t shownCycles_ = 0;
    std::map<QString, QString> shown_;    // value text by key, as last shown
    std::map<QString, QString> previous_; // ... when the machine last ran
};

} // namespace

View* createVariablesView(const ViewSources& sources) { return new VariablesView(sources.context, sources.programDebug); }

} // namespace quorvel::shell
