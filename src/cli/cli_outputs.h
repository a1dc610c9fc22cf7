// The files quorvel-cli writes (--uart-out, --trace, --profile, --vcd) and
// how each is opened so that nothing the user had is lost:
//
//  - a name for one of the process's own streams ("-", /dev/stdout,
//    /dev/stderr, /dev/fd/N, /proc/self/fd/N, or the very file standard
//    output or error was redirected to) is written through that stream, never
//    opened again and emptied: `--trace /dev/stdout >> ci.log` appends;
//  - a FIFO is opened without blocking; with no reader yet, standard error
//    says what the run waits for before it waits;
//  - a regular file written during the run (trace, UART output) is emptied
//    only once every output could be opened;
//  - an end-of-run save (profile, waveform) goes to a temporary file beside
//    the target that is renamed over it when complete, as every other saver
//    does, so a run killed halfway leaves the previous file whole.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::cli {

class Output {
public:
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    // Closes what is still open; a save never completed leaves its target
    // alone and its temporary removed.
    ~Output();

    // Opens `name` ("-" is standard output). `save`: the whole content is
    // written after the run (temporary and rename for a regular file).
    // Returns the message when it cannot be opened. `beforeWaiting` runs
    // before the open waits for a FIFO's reader.
    std::optional<std::string> open(const std::string& name, bool save,
                                    const std::function<void()>& beforeWaiting = {});
    // Empties a regular file written as the run goes; false (with errno)
    // when that fails.
    bool start();
    // Flushes and closes; a save is renamed over its target. Returns the
    // message when anything could not be written.
    std::optional<std::string> finish();

    std::FILE* file() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    // Written through the process's standard output (the report goes there
    // too, after it).
    bool isStandardOutput() const { return file_ == stdout; }

private:
    std::string name_;
    std::FILE* file_ = nullptr;
    bool emptyAtStart_ = false;
    std::filesystem::path temporary_; // a save's temporary, until renamed
    std::filesystem::path target_;    // what it is renamed over
};

// How messages name an output: "standard output" for "-", else the name.
std::string outputLabel(const std::string& name);

// The descriptor an output name stands for when it is one of the process's
// own streams: "-" and /dev/stdout 1, /dev/stderr 2, /dev/fd/N and
// /proc/self/fd/N N, and 1 or 2 for another name of the file standard output
// or error is (a regular file, a FIFO or a terminal).
std::optional<int> streamDescriptor(const std::string& name);

// Two outputs (option, name) that name the same file would be mixed into
// one: the message refusing the first such pair. Outputs through a stream
// and devices (/dev/null, a terminal) may be shared.
std::optional<std::string> outputsSharingAFile(
    const std::vector<std::pair<std::string, std::string>>& outputs);

} // namespace quorvel::cli
