#include "shell/modules/keyboard_dialogs.h"

#include "modules/module_settings.h"
#include "shell/command_table.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"
#include "shell/modules/keyboard_window.h"
#include "shell/modules/port_grid.h"
#include "shell/modules/port_line_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

class KeyboardSettingDialog : public QDialog {
public:
    explicit KeyboardSettingDialog(Frame& frame) : QDialog(&frame), frame_(frame) {
        setObjectName("IDM_KEYBOARDSETTING");
        setWindowTitle("Keyboard Module Setting");
        Machine& m = frame_.machine();
        frame_.runControl().edit([&] { cleanKeyboardSettings(m.modules.settings); });
        opened_ = m.modules.settings;
        const uint32_t mask = m.profile.availablePinMask;

        momentary_ = new PortGrid("Select Port Lines", "Check the checkbox to Connect\na Momentary Switch", mask);
        momentary_->setObjectName("momentaryLines");
        momentary_->setValue(opened_.KeyMomentary);
        levels_ = new PortGrid("Activating Levels", "Check the checkbox to activate the Switch at '1' level", mask);
        levels_->setObjectName("momentaryLevels");
        levels_->setValue(opened_.KeyMomentaryLevel);
        toggle_ = new PortGrid("Select Port Lines", "Check the checkbox to Connect\na Toggle Switch", mask);
        toggle_->setObjectName("toggleLines");
        toggle_->setValue(opened_.KeyToggle);

        auto* momentaryGroup = new QGroupBox("Keys - Momentary type");
        auto* momentaryLayout = new QHBoxLayout(momentaryGroup);
        momentaryLayout->addWidget(momentary_);
        momentaryLayout->addWidget(levels_);
        auto* toggleGroup = new QGroupBox("Keys - Toggle Type");
        (new QHBoxLayout(toggleGroup))->addWidget(toggle_);

        auto* keypadGroup = new QGroupBox("Matrix KeyPad");
        auto* typeBox = new QGroupBox("Select Keypad Type");
        auto* typeLayout = new QVBoxLayout(typeBox);
        auto* types = new QButtonGroup(this);
        const char* names[] = {"4 X 3", "4 X 4", "4 X 8", "None"};
        for (int t = 0; t < 4; ++t) {
            auto* radio = new QRadioButton(names[t]);
            radio->setObjectName(QString("keypadType%1").arg(t));
            radio->setChecked(keypadType(opened_) == t);
            types->addButton(radio, t);
            typeLayout->addWidget(radio);
        }
        lines_ = namedButton("Port Line Selection", "keypadLines");
        names_ = namedButton("Key Name Setting", "keyNames");
        auto* keypadButtons = new QVBoxLayout;
        keypadButtons->addWidget(lines_);
        keypadButtons->addWidget(names_);
        keypadButtons->addStretch();
        auto* keypadLayout = new QHBoxLayout(keypadGroup);
        keypadLayout->addWidget(typeBox);
        keypadLayout->addLayout(keypadButtons);
        connect(types, &QButtonGroup::idClicked, this, [this](int t) {
            frame_.runControl().edit([&] {
                ModuleSettings& s = frame_.machine().modules.settings;
                s.KeypadType = uint8_t((s.KeypadType & ~3) | t);
            });
            updateEnabling();
        });
        connect(lines_, &QPushButton::clicked, this, [this] { keypadPortLineDialog(frame_, this); });
        connect(names_, &QPushButton::clicked, this, [this] { keyNameDialog(frame_, this); });

        auto* ok = namedButton("OK", "ok");
        auto* cancel = namedButton("Cancel", "cancel");
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        auto* lower = new QHBoxLayout;
        lower->addWidget(toggleGroup);
        lower->addWidget(keypadGroup);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(momentaryGroup);
        layout->addLayout(lower);
        layout->addLayout(buttonRow(ok, cancel));
        updateEnabling();
    }

    void accept() override {
        ModuleSettings after;
        frame_.runControl().edit([&] {
            ModuleSettings& s = frame_.machine().modules.settings;
            s.KeyMomentary = momentary_->value();
            s.KeyMomentaryLevel = levels_->value();
            s.KeyToggle = toggle_->value();
            after = s;
        });
        if (auto* window = qobject_cast<KeyboardView*>(frame_.view(id::KeyboardWindow));
            window && keyboardWindowNeedsRebuild(opened_, after))
            window->rebuild();
        QDialog::accept();
    }

    void reject() override {
        frame_.runControl().edit([&] {
            ModuleSettings& s = frame_.machine().modules.settings;
            s.KeypadLines = opened_.KeypadLines;
            s.KeyMomentary = opened_.KeyMomentary;
            s.KeyMomentaryLevel = opened_.KeyMomentaryLevel;
            s.KeyToggle = opened_.KeyToggle;
            s.KeypadType = opened_.KeypadType;
        });
        QDialog::reject();
    }

private:
    void updateEnabling() {
        const bool keypad = keypadType(frame_.machine().modules.settings) != kKeypadNone;
        lines_->setEnabled(keypad);
        names_->setEnabled(keypad);
    }

    Frame& frame_;
    ModuleSettings opened_;
    PortGrid* momentary_;
    PortGrid* levels_;
    PortGrid* toggle_;
    QPushButton* lines_;
    QPushButton* names_;
};

} // namespace

void keyboardSettingCommand(Frame& frame) {
    KeyboardSettingDialog dialog(frame);
    dialog.exec();
}

void keypadPortLineDialog(Frame& frame, QWidget* parent) {
    ModuleSettings& s = frame.machine().modules.settings;
    const auto saved = s.KeypadLines;
    PortLineDialog::Wiring wiring{
        [&s] { return keypadControlLines(keypadType(s)); },
        [&s](int entry) { return s.KeypadLines[size_t(entry)]; },
        [&s](int entry, PinRef line) { s.KeypadLines[size_t(entry)] = line; },
        [&s] { return keypadSummaryLines(s); },
        [&s, saved] { s.KeypadLines = saved; },
        false,
    };
    PortLineDialog dialog(frame, "IDM_KEYPADPORTLINES", "Matrix Keypad - Port Line Selection",
                          std::move(wiring), parent);
    dialog.exec();
}

void keyNameDialog(Frame& frame, QWidget* parent) {
    ModuleSettings& s = frame.machine().modules.settings;
    const auto saved = s.KeyNames;
    QDialog dialog(parent ? parent : &frame);
    dialog.setObjectName("IDM_KEYNAMES");
    dialog.setWindowTitle("Matrix Keypad - Port Line Selection");
    auto* keys = new QComboBox;
    keys->setObjectName("key");
    for (const std::string& choice : keyNameChoices(keypadType(s))) keys->addItem(QString::fromStdString(choice));
    auto* name = new QLineEdit;
    name->setObjectName("keyName");
    name->setMaxLength(kKeyNameLength);
    auto showName = [&s, keys, name] {
        const std::string_view text = keyName(s, keys->currentIndex());
        name->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    };
    showName();
    QObject::connect(keys, &QComboBox::currentIndexChanged, &dialog, showName);
    QObject::connect(name, &QLineEdit::textEdited, &dialog, [&frame, &s, keys](const QString& text) {
        frame.runControl().edit([&] { setKeyName(s, keys->currentIndex(), text.toLatin1().toStdString()); });
    });
    auto* form = new QFormLayout;
    form->addRow(fieldLabel("Select Key:", keys), keys);
    form->addRow(fieldLabel("Key Name:", name), name);
    auto* ok = namedButton("OK", "ok");
    auto* cancel = namedButton("Cancel", "cancel");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addLayout(buttonRow(ok, cancel));
    if (dialog.exec() != QDialog::Accepted) {
        frame.runControl().edit([&] { s.KeyNames = saved; });
    }
}

} // namespace quorvel::shell
