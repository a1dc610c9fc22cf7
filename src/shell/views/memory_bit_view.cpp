// Placeholder while the view is written: an empty window.
#include "shell/command_table.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"

#include <QPainter>

namespace quorvel::shell {

namespace {

class MemoryBitView : public TextGridView {
public:
    explicit MemoryBitView(Frame& frame) : TextGridView(frame) {
        setObjectName("MdiMemoryBitStatusChild");
        setWindowTitle("Memory Bit Status");
    }
    void refreshView() override { update(); }
    int viewCommand() const override { return id::MemoryBitWindow; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

} // namespace

View* createMemoryBitView(Frame& frame) { return new MemoryBitView(frame); }

} // namespace quorvel::shell
