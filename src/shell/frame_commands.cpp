// The frame's commands that open a dialog: Go To, the breakpoint, single-step
// and execution settings, the execution-time measurement, help and About.
#include "shell/frame.h"

#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/run_dialogs.h"
#include "shell/toolbar_icons.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace quorvel::shell {

void Frame::goTo() {
    GoToDialog dialog(run_->lastGoToAddress, this);
    if (dialog.exec() != QDialog::Accepted) return;
    applyRunOutcome(run_->goTo(dialog.address()));
}

void Frame::breakpointSetting() {
    BreakpointDialog dialog(run_->breakpoint, machine_.selection.kind, machine_.chip.hasXdata(),
                            messages_, this);
    if (dialog.exec() == QDialog::Accepted) setBreakpoint(dialog.condition());
}

void Frame::setBreakpoint(const BreakpointCondition& condition) {
    const BreakpointCondition before = run_->breakpoint;
    run_->breakpoint = condition;
    updateBreakpointStatus();
    // There is one breakpoint: a new one takes the place of the old.
    if (before.isSet() && run_->breakpoint.isSet() && !(before == run_->breakpoint))
        setStatusText(0, QString("The new breakpoint replaced \"%1\": one breakpoint is kept at a time.")
                             .arg(QString::fromStdString(breakpointStatusText(before, machine_.selection.kind))));
    if (ProgramView* view = programView()) view->update();
}

void Frame::singleStepSetting() {
    SingleStepDialog dialog(run_->numberOfSteps, messages_, this);
    if (dialog.exec() == QDialog::Accepted) run_->numberOfSteps = dialog.steps();
}

void Frame::runSetting() {
    ExecutionSettingDialog dialog(run_->execution, runSpeed(), messages_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    run_->execution = dialog.settings();
    setRunSpeed(dialog.speed());
    QString tip = commandToolTip(id::Go);
    if (auto given = goToolTip(run_->execution)) tip = QString::fromStdString(*given);
    if (QAction* go = toolbarAction(id::Go)) go->setToolTip(tip);
}

void Frame::calculateExecutionTime() {
    ExecutionTimeDialog dialog(*run_, messages_, this);
    dialog.exec();
    refreshViews();
}

void Frame::showHelp() {
    // The help pages sit in the resource folder (beside the executable in a
    // build tree, share/quorvel when installed).
    const QString path = resourceDir_ + "/help/index.html";
    if (!QFile::exists(path)) {
        showMessage(errorMessage(
            "ERROR", "Error: Help File Not Found or\nRequires Internet explorer with version 4.0"));
        return;
    }
    for (QMdiSubWindow* window : mdiArea()->subWindowList())
        if (window->objectName() == "HelpWindow") {
            mdiArea()->setActiveSubWindow(window);
            return;
        }
    // The pages under a Back button that returns along the links followed.
    auto* page = new QWidget;
    auto* browser = new QTextBrowser;
    browser->setObjectName("HelpBrowser");
    browser->setSource(QUrl::fromLocalFile(path));
    browser->setOpenExternalLinks(false);
    auto* back = new QPushButton("Back");
    back->setObjectName("helpBack");
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    connect(back, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    auto* bar = new QHBoxLayout;
    bar->addWidget(back);
    bar->addStretch();
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(2, 2, 2, 2);
    column->addLayout(bar);
    column->addWidget(browser, 1);
    QMdiSubWindow* window = mdiArea()->addSubWindow(page);
    window->setObjectName("HelpWindow");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle("Quorvel Simulator Help");
    window->setWindowIcon(applicationIcon());
    window->show();
    fitIntoMdiArea(window, QSize(640, 480));
}

void Frame::showAbout() {
    QDialog box(this);
    box.setObjectName("IDM_APPABOUT");
    box.setWindowTitle("About Quorvel Simulator");
    box.setWindowIcon(applicationIcon());
    auto* layout = new QVBoxLayout(&box);
    auto* title = new QLabel("<b>Quorvel Simulator</b>");
    title->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel("Version 1.0");
    version->setObjectName("version");
    version->setAlignment(Qt::AlignCenter);
    auto* text = new QLabel("A simulator for the 8051 family of microcontrollers\n"
                            "with the parts wired to their ports.");
    text->setAlignment(Qt::AlignCenter);
    auto* license = new QLabel("Copyright (c) Quorvel Simulator developers.\n"
                               "Free software under the MIT License (see LICENSE).");
    license->setObjectName("license");
    license->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(text);
    layout->addWidget(license);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    box.exec();
}

} // namespace quorvel::shell
