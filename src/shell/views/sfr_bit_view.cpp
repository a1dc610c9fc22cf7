// Placeholder while the view is written: an empty window.
#include "shell/command_table.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"

#include <QPainter>

namespace quorvel::shell {

namespace {

class SfrBitView : public TextGridView {
public:
    explicit SfrBitView(Frame& frame) : TextGridView(frame) {
        setObjectName("MdiSfrBitStatusChild");
        setWindowTitle("SFR Bit Status");
    }
    void refreshView() override { update(); }
    int viewCommand() const override { return id::SfrBitWindow; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

} // namespace

View* createSfrBitView(Frame& frame) { return new SfrBitView(frame); }

} // namespace quorvel::shell
