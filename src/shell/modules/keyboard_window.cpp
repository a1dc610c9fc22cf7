#include "shell/modules/keyboard_window.h"

#include "modules/keys.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/modules/key_painter.h"
#include "shell/views/view_table.h"

#include <QGroupBox>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

constexpr int kTickMs = 10;
constexpr int kGroupLeft = 10;
constexpr int kGroupTop = 24;     // first button row below the group's title
constexpr int kSwitchStep = 80;   // momentary and toggle buttons, eight to a row
constexpr int kRowStep = 45;
constexpr QSize kSwitchSize(70, 35);
constexpr int kKeyStep = 60;      // keypad buttons
constexpr QSize kKeySize(50, 35);
constexpr int kGroupGap = 10;

QString lineName(int pin) { return QString::asprintf("P%1d.%1d", pin / 8, pin % 8); }

} // namespace

KeyButton::KeyButton(const QString& caption, QSize size, QWidget* parent)
    : QAbstractButton(parent), size_(size) {
    setText(caption);
    setFocusPolicy(Qt::NoFocus);
    resize(size);
}

void KeyButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintKeyButton(painter, rect(), text(), isDown(), isEnabled());
}

View* createKeyboardView(const ViewSources& sources) { return new KeyboardView(sources.context); }

KeyboardView::KeyboardView(ViewContext& context) : context_(context) {
    setObjectName("MdiKeyboardChild");
    setWindowTitle("Matrix Keyboard and Keys");
    scroll_ = new QScrollArea;
    scroll_->setWidgetResizable(false);
    scroll_->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    context_.runControl().edit([&] {
        ModuleState& modules = context_.machine().modules;
        cleanKeyboardSettings(modules.settings);
        keypadRelease(modules.keypad);
        modules.keypad.windowOpen = true;
    });
    attached_ = true;
    build();
    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &KeyboardView::tick);
    timer_->start(kTickMs);
}

KeyboardView::~KeyboardView() { detach(); }

void KeyboardView::closeEvent(QCloseEvent* event) {
    detach();
    View::closeEvent(event);
}

void KeyboardView::detach() {
    if (!attached_) return;
    attached_ = false;
    timer_->stop();
    context_.runControl().edit([&] {
        KeypadState& keypad = context_.machine().modules.keypad;
        keypadRelease(keypad);
        keypad.windowOpen = false;
    });
}

int KeyboardView::viewCommand() const { return id::KeyboardWindow; }

QSize KeyboardView::sizeHint() const {
    return content_ ? content_->size() + QSize(4, 4) : QSize(300, 120);
}

void KeyboardView::build() {
    const Machine& m = context_.machine();
    const ModuleSettings& s = m.modules.settings;
    const uint32_t mask = m.profile.availablePinMask;
    content_ = new QWidget;
    int y = kGroupGap;
    int width = 0;
    // A group of buttons, `perRow` to a row, placed `step` apart.
    auto group = [&](const QString& title, int count, int perRow, int step, QSize size, auto caption,
                     std::vector<Key>& keys, auto numberOf) {
        auto* box = new QGroupBox(title, content_);
        const int rows = (count + perRow - 1) / perRow;
        const int columns = std::min(count, perRow);
        box->setGeometry(kGroupLeft, y, kGroupLeft + (columns - 1) * step + size.width() + kGroupLeft,
                         kGroupTop + (rows - 1) * kRowStep + size.height() + kGroupLeft);
        for (int i = 0; i < count; ++i) {
            auto* button = new KeyButton(caption(i), size, box);
            button->move(kGroupLeft + (i % perRow) * step, kGroupTop + (i / perRow) * kRowStep);
            keys.push_back({button, numberOf(i)});
        }
        y += box->height() + kGroupGap;
        width = std::max(width, box->geometry().right() + 1 + kGroupLeft);
    };

    const std::vector<int> momentary = momentaryKeyLines(s, mask);
    if (!momentary.empty())
        group("Keys - Momemtary Type", int(momentary.size()), 8, kSwitchStep, kSwitchSize,
              [&](int i) { return lineName(momentary[size_t(i)]); }, momentary_,
              [&](int i) { return momentary[size_t(i)]; });
    const std::vector<int> toggles = toggleKeyLines(s, mask);
    if (!toggles.empty())
        group("Keys - Toggle Type", int(toggles.size()), 8, kSwitchStep, kSwitchSize,
              [&](int i) {
                  const int pin = toggles[size_t(i)];
                  return QString::fromStdString(toggleKeyCaption(pin, m.chip.pins.level(pin)));
              },
              toggle_, [&](int i) { return toggles[size_t(i)]; });
    const int type = keypadType(s);
    if (type != kKeypadNone)
        group(QString::fromStdString(keypadGroupTitle(type)), keypadKeyCount(type), keypadColumns(type),
              kKeyStep, kKeySize, [&](int i) {
                  const std::string_view name = keyName(s, i);
                  return QString::fromLatin1(name.data(), qsizetype(name.size()));
              }, keypad_,
              [](int i) { return i; });

    for (const Key& key : momentary_) key.button->setObjectName("momentary" + lineName(key.number));
    for (const Key& key : toggle_) {
        key.button->setObjectName("toggle" + lineName(key.number));
        connect(key.button, &QAbstractButton::clicked, this, [this, key] { clickToggle(key); });
    }
    for (const Key& key : keypad_) {
        key.button->setObjectName(QString("key%1").arg(key.number));
        connect(key.button, &QAbstractButton::released, this, &KeyboardView::keypadReleased);
    }
    content_->resize(std::max(width, 200), std::max(y, 60));
    scroll_->setWidget(content_);
    scroll_->horizontalScrollBar()->setSingleStep(10);
    scroll_->verticalScrollBar()->setSingleStep(10);
}

void KeyboardView::rebuild() {
    momentary_.clear();
    toggle_.clear();
    keypad_.clear();
    context_.runControl().edit([&] {
        ModuleState& modules = context_.machine().modules;
        cleanKeyboardSettings(modules.settings);
        keypadRelease(modules.keypad);
    });
    delete scroll_->takeWidget();
    content_ = nullptr;
    build();
}

void KeyboardView::refreshView() {
    // A toggle key's caption shows its line's level, whoever set it last.
    auto guard = context_.runControl().pause();
    const PinState& pins = context_.machine().chip.pins;
    for (const Key& key : toggle_)
        key.button->setText(QString::fromStdString(toggleKeyCaption(key.number, pins.level(key.number))));
}

void KeyboardView::tick() {
    uint32_t held = 0;
    for (const Key& key : momentary_)
        if (key.button->isDown()) held |= 1u << key.number;
    int heldKey = kNoKeyHeld;
    for (const Key& key : keypad_)
        if (key.button->isDown()) {
            heldKey = key.number;
            break;
        }
    // The ticks reach the machine as inputs, logged while recording when
    // they change it.
    RunController& run = context_.runControl();
    auto guard = run.pause();
    MachineInput keys;
    keys.kind = MachineInput::Kind::HeldKeys;
    keys.value = held;
    run.tickInput(keys);
    if (keypadType(context_.machine().modules.settings) == kKeypadNone) return;
    // Without a key held the tick lets go of a key still pressed (its
    // button lost the press without a release: the pointer left it).
    MachineInput keypad;
    keypad.kind = MachineInput::Kind::KeypadKey;
    keypad.value = uint32_t(heldKey);
    run.tickInput(keypad);
}

void KeyboardView::clickToggle(const Key& key) {
    bool level;
    {
        RunController& run = context_.runControl();
        auto guard = run.pause();
        MachineInput click;
        click.kind = MachineInput::Kind::ToggleKey;
        click.pin = key.number;
        run.input(click);
        level = context_.machine().chip.pins.level(key.number);
    }
    key.button->setText(QString::fromStdString(toggleKeyCaption(key.number, level)));
    key.button->update();
}

void KeyboardView::keypadReleased() {
    context_.runControl().edit([this] { keypadRelease(context_.machine().modules.keypad); });
}

KeyButton* KeyboardView::momentaryButton(int pin) const {
    for (const Key& key : momentary_)
        if (key.number == pin) return key.button;
    return nullptr;
}

KeyButton* KeyboardView::toggleButton(int pin) const {
    for (const Key& key : toggle_)
        if (key.number == pin) return key.button;
    return nullptr;
}

KeyButton* KeyboardView::keypadButton(int key) const {
    for (const Key& k : keypad_)
        if (k.number == key) return k.button;
    return nullptr;
}

} // namespace quorvel::shell
