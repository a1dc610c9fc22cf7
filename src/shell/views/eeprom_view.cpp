// Placeholder while the view is written: an empty window.
#include "shell/command_table.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"

#include <QPainter>

namespace quorvel::shell {

namespace {

class EepromView : public TextGridView {
public:
    explicit EepromView(Frame& frame) : TextGridView(frame) {
        setObjectName("MdiEEPROMChild");
        setWindowTitle("On-Chip EEPROM");
    }
    void refreshView() override { update(); }
    int viewCommand() const override { return id::EepromWindow; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

} // namespace

View* createEepromView(Frame& frame) { return new EepromView(frame); }

} // namespace quorvel::shell
