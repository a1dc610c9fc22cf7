// Base of the part windows built from controls (serial port, I/O levels): in
// the Clear View arrangement they have no caption bar and paint their title
// on the first row instead, navy while their window is the active one, grey
// otherwise; their controls then sit `clearViewDrop` pixels lower.
#pragma once

#include "shell/view.h"

namespace quorvel::shell {

class ViewContext;

class PartWindow : public View {
    Q_OBJECT
public:
    PartWindow(ViewContext& context, const char* clearViewTitle, int clearViewDrop);

    // The title line is drawn as active: its window is the MDI area's active one.
    bool titleActive() const;

protected:
    bool clearView() const;
    // The top margin of the controls: `normal` in Normal View, that plus the
    // drop in Clear View.
    int topMargin(int normal) const { return clearView() ? normal + drop_ : normal; }
    // Height of the painted title line.
    int titleHeight(int normalMargin) const { return topMargin(normalMargin); }
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    virtual int normalTopMargin() const = 0;

    ViewContext& context_;

private:
    const char* title_;
    int drop_;
};

} // namespace quorvel::shell
