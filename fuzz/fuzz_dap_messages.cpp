// Fuzzes the Debug Adapter Protocol server: the input is what a client
// sends, read in two parts (so that frames are also cut between reads). It
// follows an initialize and a launch of a one-instruction program (SJMP $,
// written once to the temporary folder), so a launch in the input is
// refused and nothing else on disk is read (a restart reads the same
// program again); when the first byte is odd,
// configurationDone too, so the requests on a stopped program are reached.
// A run asks for the client's bytes twice and then finds its input ended,
// so no run goes on for ever; it asks every 64 instructions, so the inputs
// go to the server's handling of messages rather than to running SJMP $.
// Checks: no crash or sanitizer report; everything the server writes is a
// whole frame holding a JSON object with a seq one more than the last.
#include "dap/dap_server.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

using namespace quorvel::dap;

namespace {

const std::string& programFile() {
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "quorvel_fuzz_dap_program.hex";
        std::ofstream(file, std::ios::binary) << ":0200000080FE80\n:00000001FF\n";
        return file.string();
    }();
    return path;
}

std::string request(int seq, const char* command, const Json& arguments = Json::object()) {
    return frameMessage(Json{{"seq", seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}}.dump());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    int64_t lastSeq = 0;
    const auto check = [&lastSeq](std::string_view framed) {
        FrameReader reader;
        reader.feed(framed);
        const std::optional<Frame> frame = reader.next();
        if (!frame || !frame->error.empty() || reader.next()) std::abort();
        const Json message = Json::parse(frame->body, nullptr, false);
        if (!message.is_object() || !message.contains("seq") || message["seq"] != lastSeq + 1) std::abort();
        lastSeq = message["seq"];
        return true;
    };
    int polls = 0;
    DapServer server(check, [&polls]() -> std::optional<std::string> {
        if (++polls > 2) return std::nullopt;
        return std::string();
    });
    server.setRunSlice(64);
    std::string start = request(1, "initialize") +
                        request(2, "launch", {{"program", programFile()}, {"stopOnEntry", true}});
    if (!input.empty() && (input[0] & 1)) start += request(3, "configurationDone");
    if (!server.receive(start)) std::abort();
    const size_t half = input.size() / 2;
    if (server.receive(input.substr(0, half))) server.receive(input.substr(half));
    server.endOfInput();
    return 0;
}
