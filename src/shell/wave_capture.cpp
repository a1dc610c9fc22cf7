#include "shell/wave_capture.h"

#include "machine/machine.h"
#include "debug/run_controller.h"

#include <algorithm>

namespace quorvel::shell {

WaveCapture::WaveCapture(Machine& machine, RunController& run) : machine_(machine), run_(run) {
    for (int pin = 8; pin < 16; ++pin) lines_.push_back(pin); // P1.0 - P1.7
    lines_.push_back(24);                                     // P3.0 (RXD)
    lines_.push_back(25);                                     // P3.1 (TXD)
}

WaveCapture::~WaveCapture() {
    if (!recorder_ || machine_.wave != recorder_.get()) return;
    auto guard = run_.pause();
    machine_.wave = nullptr;
}

void WaveCapture::setSwitchedOn(bool on) {
    const bool was = recording();
    switchOn_ = on;
    // Turning the switch on starts a new recording even while a window
    // already records.
    if (on && was) {
        auto guard = run_.pause();
        recorder_->clear();
        ++clears_;
    }
    apply(was);
}

void WaveCapture::clear() {
    if (!recorder_) return;
    auto guard = run_.pause();
    recorder_->clear();
    ++clears_;
}

void WaveCapture::viewOpened() {
    const bool was = recording();
    ++openViews_;
    apply(was);
}

void WaveCapture::viewClosed() {
    const bool was = recording();
    openViews_ = std::max(0, openViews_ - 1);
    apply(was);
}

void WaveCapture::apply(bool wasRecording) {
    const bool now = recording();
    if (now == wasRecording) return;
    if (now && !recorder_) recorder_ = std::make_unique<WaveRecorder>();
    auto guard = run_.pause();
    if (now) {
        recorder_->clear();
        ++clears_;
        machine_.wave = recorder_.get();
    } else {
        machine_.wave = nullptr;
    }
}

const WaveRecorder& WaveCapture::recorder() const {
    // An empty one until recording first starts.
    static const WaveRecorder kNone(2);
    return recorder_ ? *recorder_ : kNone;
}

void WaveCapture::setLines(std::vector<int> lines) {
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](int pin) { return pin < 0 || pin > 31; }),
                lines.end());
    lines_ = std::move(lines);
}

QString lineName(int pin) { return QString("P%1.%2").arg(pin / 8).arg(pin % 8); }

} // namespace quorvel::shell
