// A Debug Adapter Protocol client for the tests: starts `quorvel-cli --dap`
// in a folder with pipes to its standard input and output (its standard
// error goes to the file dap.err there), sends framed requests and reads
// its responses and events, each within kWait or the test fails.
#pragma once

#include "dap/dap_framing.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quorvel::dap::test {

using Json = nlohmann::json;

class DapClient {
public:
    static constexpr std::chrono::seconds kWait{20};

    explicit DapClient(const std::filesystem::path& folder);
    ~DapClient();

    // Sends a request; returns its seq.
    int send(std::string_view command, Json arguments = Json::object());
    void sendRaw(std::string_view bytes);
    // Closes the server's standard input.
    void closeInput();
    // The response to request `seq` (events that come first are kept).
    Json response(int seq);
    Json call(std::string_view command, Json arguments = Json::object()) { return response(send(command, std::move(arguments))); }
    // The next event named `name` (other events before it are dropped).
    Json event(std::string_view name);
    // The next message of any kind; null when the server closed its output.
    Json next();
    const std::filesystem::path& folder() const { return folder_; }
    // Waits for the server to end; its exit status (-1: killed by a signal
    // or still running after kWait).
    int wait();

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    int seq_ = 1;
    FrameReader reader_;
    std::deque<Json> kept_;
    int status_ = -2;
};

} // namespace quorvel::dap::test
