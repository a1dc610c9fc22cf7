// Placeholder while the view is written: an empty window.
#include "shell/command_table.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"

#include <QPainter>

namespace quorvel::shell {

namespace {

class ExternalMemoryView : public TextGridView {
public:
    explicit ExternalMemoryView(Frame& frame) : TextGridView(frame) {
        setObjectName("MdiExternalMemoryChild");
        setWindowTitle("External Data Memory");
    }
    void refreshView() override { update(); }
    int viewCommand() const override { return id::ExternalMemoryWindow; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

} // namespace

View* createExternalMemoryView(Frame& frame) { return new ExternalMemoryView(frame); }

} // namespace quorvel::shell
