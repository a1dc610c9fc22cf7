#include "shell/memory_dialogs.h"

#include "common/hex_field.h"
#include "debug/run_controller.h"
#include "shell/dialog_parts.h"
#include "shell/hex_edit.h"
#include "shell/messages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {



HexEdit* hexField(int digits, unsigned value, const char* name) {
    auto* edit = new HexEdit(digits);
    edit->setObjectName(name);
    edit->setText(QString::asprintf(digits == 4 ? "%04X" : "%02X", value));
    edit->selectAll();
    return edit;
}

} // namespace

// --------------------------------------------------------------- Save Memory

SaveMemoryDialog::SaveMemoryDialog(const SaveSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName("IDM_SAVEMEMORY");
    setWindowTitle("Save Memory ");
    auto* start = hexField(4, settings.start, "start");
    auto* end = hexField(4, settings.end, "end");
    auto* format = new QGroupBox("File Format");
    auto* hex = new QRadioButton("&Intel Hex");
    hex->setObjectName("hex");
    auto* binary = new QRadioButton("&Binary");
    binary->setObjectName("binary");
    auto* formatLayout = new QVBoxLayout(format);
    formatLayout->addWidget(hex);
    formatLayout->addWidget(binary);
    auto* memory = new QGroupBox("Memory");
    auto* program = new QRadioButton("&Program Memory");
    program->setObjectName("program");
    auto* data = new QRadioButton("&Data Memory");
    data->setObjectName("data");
    auto* memoryLayout = new QVBoxLayout(memory);
    memoryLayout->addWidget(program);
    memoryLayout->addWidget(data);
    (settings.format == SaveFormat::IntelHex ? hex : binary)->setChecked(true);
    (settings.memory == SaveMemory::Program ? program : data)->setChecked(true);
    // The radio buttons take effect at once.
    connect(hex, &QRadioButton::toggled, this, [this](bool on) {
        settings_.format = on ? SaveFormat::IntelHex : SaveFormat::Binary;
    });
    connect(program, &QRadioButton::toggled, this, [this](bool on) {
        settings_.memory = on ? SaveMemory::Program : SaveMemory::ExternalData;
    });

    auto* grid = new QGridLayout;
    grid->addWidget(fieldLabel("S&tarting Address", start), 0, 0);
    grid->addWidget(start, 0, 1);
    grid->addWidget(fieldLabel("&Ending Address", end), 1, 0);
    grid->addWidget(end, 1, 1);
    auto* groups = new QHBoxLayout;
    groups->addWidget(format);
    groups->addWidget(memory);
    auto* save = namedButton("&Save", "save");
    save->setDefault(true);
    auto* cancel = namedButton("&Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(groups);
    layout->addLayout(buttonRow(save, cancel));
    start->setFocus();
    connect(save, &QPushButton::clicked, this, [this, start, end] {
        if (acceptSaveFields(start->value(), end->value(), settings_)) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SaveProgressDialog::SaveProgressDialog(MemorySaver& saver, RunController& run, QWidget* parent)
    : QDialog(parent), saver_(saver), run_(run) {
    setObjectName("IDM_FILESAVE");
    setWindowTitle("Saving...");
    bar_ = new QProgressBar;
    bar_->setObjectName("progress");
    bar_->setRange(0, int(saver.progressTotal()));
    auto* label = new QLabel(QString::fromStdString(saver.label()));
    auto* cancel = namedButton("Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    layout->addWidget(label);
    layout->addWidget(cancel, 0, Qt::AlignCenter);
    connect(cancel, &QPushButton::clicked, this, &SaveProgressDialog::reject);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &SaveProgressDialog::stepOnce);
    timer_->start(50);
}

void SaveProgressDialog::stepOnce() {
    bool more;
    {
        auto guard = run_.pause();
        more = saver_.step(run_.machine().chip);
    }
    bar_->setValue(int(saver_.progress()));
    if (more && !saver_.finished()) {
        timer_->start(1);
        return;
    }
    accept();
}

void SaveProgressDialog::reject() {
    timer_->stop();
    if (!saver_.finished()) saver_.cancel();
    QDialog::reject();
}

// ------------------------------------------------------------ fill and copy

BlockDialog::BlockDialog(BlockCommand command, const BlockValues& values, Messages& messages,
                         QWidget* parent)
    : QDialog(parent), command_(command), values_(values) {
    struct Form {
        const char* resource;
        const char* caption;
        const char* okText;
        MemorySpace space;
        bool copy;
    };
    static const Form kForms[] = {
        {"IDM_EXTERNALMEMORYFILL", "External Memory Fill", "&Fill", MemorySpace::ExternalData, false},
        {"IDM_EXTERNALMEMORYMOVE", "External Memory Copy", "&Copy", MemorySpace::ExternalData, true},
        {"IDM_INTERNALMEMORYFILL", "Internal Memory Fill", "&Fill", MemorySpace::InternalData, false},
        {"IDM_INTERNALMEMORYMOVE", "Internal Memory Copy", "&Copy", MemorySpace::InternalData, true},
        {"IDM_PROGRAMMEMORYFILL", "Program Memory Fill", "&Fill", MemorySpace::Program, false},
        {"IDM_PROGRAMMEMORYMOVE", "Program Memory Copy", "&Move", MemorySpace::Program, true},
    };
    const Form& form = kForms[int(command)];
    setObjectName(form.resource);
    setWindowTitle(form.caption);
    const int digits = form.space == MemorySpace::InternalData ? 2 : 4;
    auto* start = hexField(digits, values.start, "start");
    auto* end = hexField(digits, values.end, "end");
    HexEdit* third = form.copy ? hexField(digits, values.destination, "destination")
                               : hexField(2, values.fill, "fill");
    auto* grid = new QGridLayout;
    grid->addWidget(fieldLabel(form.copy ? "&Starting Address" : "Starting Address", start), 0, 0);
    grid->addWidget(start, 0, 1);
    grid->addWidget(fieldLabel(form.copy ? "&Ending Address" : "Ending Address", end), 1, 0);
    grid->addWidget(end, 1, 1);
    grid->addWidget(fieldLabel(form.copy ? "&Destination Address" : "Fill Data", third), 2, 0);
    grid->addWidget(third, 2, 1);
    auto* ok = namedButton(form.okText, "ok");
    ok->setDefault(true);
    auto* cancel = namedButton("&Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttonRow(ok, cancel));
    start->setFocus();
    connect(ok, &QPushButton::clicked, this, [=, this, &messages] {
        BlockValues entered = values_;
        Validation message =
            form.copy ? acceptCopyFields(form.space, start->value(), end->value(), third->value(), entered)
                      : acceptFillFields(form.space, start->value(), end->value(), third->value(), entered);
        if (message) {
            messages.show(this, *message);
            return;
        }
        values_ = entered;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// ------------------------------------------------------------ Memory Setting

MemorySettingDialog::MemorySettingDialog(const MemorySetting& setting,
                                         const DeviceSelection& selection, Messages& messages,
                                         QWidget* parent)
    : QDialog(parent), setting_(setting), selection_(selection),
      hasXdata_(selection.xdataLimit != 0) {
    setObjectName("IDD_MEMORYSETTING");
    setWindowTitle("Memory Setting");
    prepareMemorySetting(setting_, hasXdata_);

    auto* overlap = new QGroupBox("Overlap");
    overlapOff_ = new QRadioButton("&Disable Overlap");
    overlapOff_->setObjectName("overlapOff");
    overlapOn_ = new QRadioButton("&Enable Overlap");
    overlapOn_->setObjectName("overlapOn");
    start_ = hexField(4, setting_.overlapStart, "overlapStart");
    end_ = hexField(4, setting_.overlapEnd, "overlapEnd");
    auto* overlapLayout = new QGridLayout(overlap);
    overlapLayout->addWidget(overlapOff_, 0, 0, 1, 2);
    overlapLayout->addWidget(overlapOn_, 1, 0, 1, 2);
    overlapLayout->addWidget(new QLabel("Overlap Start Address:"), 2, 0);
    overlapLayout->addWidget(start_, 2, 1);
    overlapLayout->addWidget(new QLabel("Overlap End Address:"), 3, 0);
    overlapLayout->addWidget(end_, 3, 1);

    auto* startup = new QGroupBox("Restore/Clear on Simulator Starting");
    clear_ = new QRadioButton("&Clear");
    clear_->setObjectName("clear");
    restore_ = new QRadioButton("&Restore");
    restore_->setObjectName("restore");
    const char* names[] = {"Program Memory", "External Data Memory", "Internal Data Memory"};
    auto* startupLayout = new QGridLayout(startup);
    startupLayout->addWidget(clear_, 0, 0);
    startupLayout->addWidget(restore_, 0, 1);
    for (int i = 0; i < 3; ++i) {
        clearBoxes_[i] = new QCheckBox(names[i]);
        clearBoxes_[i]->setObjectName(QString("clear%1").arg(i));
        clearBoxes_[i]->setChecked(setting_.startupSelection & (1u << i));
        restoreBoxes_[i] = new QCheckBox(names[i]);
        restoreBoxes_[i]->setObjectName(QString("restore%1").arg(i));
        restoreBoxes_[i]->setChecked(setting_.startupSelection & (0x10u << i));
        startupLayout->addWidget(clearBoxes_[i], i + 1, 0);
        startupLayout->addWidget(restoreBoxes_[i], i + 1, 1);
    }

    (setting_.overlapOn() ? overlapOn_ : overlapOff_)->setChecked(true);
    (setting_.restoreAtStartup() ? restore_ : clear_)->setChecked(true);
    connect(overlapOn_, &QRadioButton::toggled, this, [this](bool on) {
        setting_.overlap = on ? 2 : 0;
        updateControls();
    });
    connect(restore_, &QRadioButton::toggled, this, [this](bool on) {
        setting_.startupAction = on ? 2 : 0;
        updateControls();
    });
    updateControls();

    auto* ok = namedButton("OK", "ok");
    ok->setDefault(true);
    auto* cancel = namedButton("Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(overlap);
    layout->addWidget(startup);
    layout->addLayout(buttonRow(ok, cancel));
    connect(ok, &QPushButton::clicked, this, [this, &messages] {
        uint8_t boxes = 0;
        for (int i = 0; i < 3; ++i) {
            if (clearBoxes_[i]->isChecked()) boxes |= uint8_t(1u << i);
            if (restoreBoxes_[i]->isChecked()) boxes |= uint8_t(0x10u << i);
        }
        MemorySetting result = setting_;
        if (auto message = acceptMemorySetting(result, start_->value(), end_->value(), boxes, selection_)) {
            messages.show(this, *message);
            return;
        }
        setting_ = result;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void MemorySettingDialog::updateControls() {
    MemorySettingControls c = memorySettingControls(setting_, hasXdata_);
    overlapOff_->setEnabled(c.overlapRadios);
    overlapOn_->setEnabled(c.overlapRadios);
    start_->setEnabled(c.addressFields);
    end_->setEnabled(c.addressFields);
    for (int i = 0; i < 3; ++i) {
        clearBoxes_[i]->setEnabled(c.clearBoxes[size_t(i)]);
        restoreBoxes_[i]->setEnabled(c.restoreBoxes[size_t(i)]);
    }
}

} // namespace quorvel::shell
