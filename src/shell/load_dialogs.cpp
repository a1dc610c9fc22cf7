#include "shell/load_dialogs.h"

#include "debug/run_controller.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quorvel::shell {

LoadProgressDialog::LoadProgressDialog(FileLoader& loader, RunController& run, QWidget* parent)
    : QDialog(parent), loader_(loader), run_(run) {
    setObjectName("IDM_FILELOAD");
    setWindowTitle("Loading...");
    bar_ = new QProgressBar;
    bar_->setObjectName("progress");
    bar_->setRange(0, int(std::min<uint64_t>(loader.progressTotal(), INT32_MAX)));
    bar_->setValue(0);
    auto* label = new QLabel(QString::fromStdString(loader.label()));
    label->setObjectName("label");
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    layout->addWidget(label);
    layout->addWidget(cancel, 0, Qt::AlignCenter);
    connect(cancel, &QPushButton::clicked, this, &LoadProgressDialog::reject);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &LoadProgressDialog::stepOnce);
    timer_->start(50);
}

void LoadProgressDialog::stepOnce() {
    // What the step stores is logged in the history (a program's load
    // starts a new one after it: Frame::loadFile).
    bool more = false;
    run_.edit([&] { more = loader_.step(run_.machine().chip); });
    bar_->setValue(int(std::min<uint64_t>(loader_.progress(), INT32_MAX)));
    if (more && !loader_.finished()) {
        timer_->start(1);
        return;
    }
    accept();
}

void LoadProgressDialog::reject() {
    timer_->stop();
    if (!loader_.finished()) loader_.cancel();
    QDialog::reject();
}

void showLoadingDetails(QWidget* parent, const LoadOutcome& outcome) {
    QDialog dialog(parent);
    dialog.setObjectName("IDM_FILELOADINGDETAILS");
    dialog.setWindowTitle(QString::fromLatin1(kLoadDetailsCaption.data(), int(kLoadDetailsCaption.size())));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromLatin1(kLoadDetailsHeadline.data(), int(kLoadDetailsHeadline.size()))));
    layout->addWidget(new QLabel(QString::fromLatin1(kLoadDetailsLabel.data(), int(kLoadDetailsLabel.size()))));
    auto* text = new QPlainTextEdit(QString::fromStdString(outcome.detailsText()));
    text->setObjectName("details");
    text->setReadOnly(true);
    text->setMinimumSize(320, 120);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    dialog.exec();
}

} // namespace quorvel::shell
