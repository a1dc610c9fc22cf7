// Placeholder while the view is written: an empty window.
#include "shell/command_table.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"

#include <QPainter>

namespace quorvel::shell {

namespace {

class InternalMemoryView : public TextGridView {
public:
    explicit InternalMemoryView(Frame& frame) : TextGridView(frame) {
        setObjectName("MdiInternalMemoryChild");
        setWindowTitle("Internal Data Memory");
    }
    void refreshView() override { update(); }
    int viewCommand() const override { return id::InternalMemoryWindow; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

} // namespace

View* createInternalMemoryView(Frame& frame) { return new InternalMemoryView(frame); }

} // namespace quorvel::shell
