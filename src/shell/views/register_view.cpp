// Placeholder while the view is written: an empty window.
#include "shell/command_table.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"

#include <QPainter>

namespace quorvel::shell {

namespace {

class RegisterView : public TextGridView {
public:
    explicit RegisterView(Frame& frame) : TextGridView(frame) {
        setObjectName("MdiRegisterChild");
        setWindowTitle("Registers");
    }
    void refreshView() override { update(); }
    int viewCommand() const override { return id::RegisterWindow; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

} // namespace

View* createRegisterView(Frame& frame) { return new RegisterView(frame); }

} // namespace quorvel::shell
