// The "Matrix Keyboard and Keys" window (MdiKeyboardChild): a push button
// per momentary key, a button per toggle key ("P%1d.%1d = %1d") and the
// matrix keypad's buttons captioned with the key names, built from the
// settings when the window opens (and again when the settings dialog changes
// which keys exist). A 10 ms timer applies the held momentary keys and scans
// the keypad, with the simulation paused; the keypad's per-instruction hook
// is on while the window exists.
#pragma once

#include "shell/view.h"

#include <QAbstractButton>
#include <vector>

class QScrollArea;
class QTimer;

namespace quorvel::shell {

class ViewContext;

// A key of the window, drawn as a key cap that sinks in while held.
class KeyButton : public QAbstractButton {
    Q_OBJECT
public:
    KeyButton(const QString& caption, QSize size, QWidget* parent);
    QSize sizeHint() const override { return size_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QSize size_;
};

class KeyboardView : public View {
    Q_OBJECT
public:
    explicit KeyboardView(ViewContext& context);
    ~KeyboardView() override;

    void refreshView() override;
    int viewCommand() const override;
    QSize sizeHint() const override;

    // Builds the buttons again from the settings.
    void rebuild();

    // The buttons (null when there is none): momentary and toggle keys by pin
    // index, keypad keys by key number.
    KeyButton* momentaryButton(int pin) const;
    KeyButton* toggleButton(int pin) const;
    KeyButton* keypadButton(int key) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Lets go of the keypad hook once; a closed window is deleted later,
    // maybe after a new keyboard window took the hook.
    void detach();
    bool attached_ = false;
    struct Key {
        KeyButton* button;
        int number; // pin index, or key number on the keypad
    };
    void build();
    void tick();
    void clickToggle(const Key& key);
    void keypadReleased();

    ViewContext& context_;
    QScrollArea* scroll_;
    QWidget* content_ = nullptr;
    QTimer* timer_;
    std::vector<Key> momentary_, toggle_, keypad_;
};

} // namespace quorvel::shell
