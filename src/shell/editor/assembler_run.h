// "Run Assembler": the dialog of the assembler path and its six options, and
// the run itself. The assembler is started without a shell, with the source
// folder as its working folder and the source name (without extension) as
// its only argument; its output goes to the Output window, the listing it
// wrote opens in an editor and the HEX file it wrote is loaded into program
// memory. Files left from an earlier run are never taken for this run's.
//
// The run does not block the user-interface thread: the process is watched
// by an `AssemblerRun` object (a child of the frame, one at a time), which
// stops an assembler that has not finished after `kAssemblerTimeoutMs`.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

class QProcess;
class QTimer;

namespace quorvel::shell {

class EditorView;
class Frame;

// The assembler option bits (stored in the application configuration).
constexpr uint8_t kCaptureOutput = 0x01;
constexpr uint8_t kPassFileName = 0x02;
constexpr uint8_t kRunFromToolbar = 0x04;
constexpr uint8_t kOpenListing = 0x08;
constexpr uint8_t kLoadHex = 0x10;
constexpr uint8_t kSaveBeforeRun = 0x20;

constexpr int kAssemblerTimeoutMs = 120'000;

// The Run Assembler dialog; true when it ended with "R&un" (path and options
// stored).
bool runAssemblerDialog(Frame& frame);

// Runs the assembler on the editor's file (command 111). Does nothing while
// a program runs or while an earlier assembler run has not ended.
void assemble(Frame& frame, EditorView& editor);

class AssemblerRun : public QObject {
    Q_OBJECT
public:
    struct Job {
        QString program;
        QStringList arguments;
        QString folder;     // working folder, the source's
        QString listing;    // name.lst, name.hex in the folder
        QString hex;
        uint8_t options = 0;
    };
    AssemblerRun(Frame& frame, Job job);
    void start();

signals:
    // The run is over (finished, failed to start or stopped); the object is
    // deleted afterwards.
    void ended();

private:
    void finished(bool started);

    Frame& frame_;
    Job job_;
    QProcess* process_;
    QTimer* timeout_;
    qint64 runStart_ = 0;
    std::optional<int64_t> listingBefore_, hexBefore_;
    bool done_ = false;
};

} // namespace quorvel::shell
