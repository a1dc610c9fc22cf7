// quorvel-cli --dap and what a client should not send: each broken frame,
// message or request gets a response with success false and a message, and
// the request after it is still answered; a program that runs for ever is
// stopped by a pause, and one that leaves program memory ends the session.
#include "dap/dap_framing.h"
#include "dap_client.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace quorvel::support;
using quorvel::dap::frameMessage;
using quorvel::dap::test::DapClient;
using quorvel::dap::test::Json;

namespace {

// SJMP $ at 0000H.
constexpr const char* kLoopForever = ":0200000080FE80\n:00000001FF\n";
// LJMP 2000H: beyond the 8 KB of an AT89C52's program memory.
constexpr const char* kLeaveMemory = ":03000000022000DB\n:00000001FF\n";

std::string request(const Json& body) { return frameMessage(body.dump()); }

TEST(DapMessages, BadInputGetsAnErrorAndTheNextRequestAnAnswer) {
    TempDir dir;
    dir.write("loop.hex", kLoopForever);
    const Json init{{"seq", 1}, {"type", "request"}, {"command", "initialize"}, {"arguments", Json::object()}};
    const auto launch = [](Json arguments) {
        return Json{{"seq", 2}, {"type", "request"}, {"command", "launch"}, {"arguments", std::move(arguments)}};
    };
    const struct {
        const char* what;
        std::vector<Json> before; // answered first, successfully
        std::string bad;
        const char* message;      // in the error response's message
    } rows[] = {
        {"no Content-Length", {}, "Content-Lenght: 2\r\n\r\n{}", "no Content-Length"},
        {"a header line without a colon", {}, "Content-Length 2\r\n\r\n{}", "a line without a colon"},
        {"a negative length", {}, "Content-Length: -2\r\n\r\n{}", "not a number of bytes"},
        {"a length beyond 64 bits", {}, "Content-Length: 123456789012345678901234567890\r\n\r\n{}", "message too long"},
        {"a length beyond the limit", {}, "Content-Length: 1048577\r\n\r\n{}", "message too long"},
        {"a header that never ends", {}, std::string(9000, 'x'), "no end of the header"},
        {"not JSON", {}, frameMessage("{\"seq\": 1,"), "not JSON"},
        {"an array", {}, frameMessage("[1, 2]"), "must be a JSON object"},
        {"an event", {}, request({{"seq", 1}, {"type", "event"}, {"event", "stopped"}}), "only requests"},
        {"no command", {}, request({{"seq", 1}, {"type", "request"}}), "needs a \"command\""},
        {"an unknown command", {}, request({{"seq", 1}, {"type", "request"}, {"command", "stepInTargets"}}),
         "unsupported request 'stepInTargets'"},
        {"before initialize", {}, request({{"seq", 1}, {"type", "request"}, {"command", "threads"}}),
         "before 'initialize'"},
        {"stackTrace before launch", {init},
         request({{"seq", 2}, {"type", "request"}, {"command", "stackTrace"}, {"arguments", {{"threadId", 1}}}}),
         "needs a launched program"},
        {"arguments not an object", {init}, request({{"seq", 2}, {"type", "request"}, {"command", "launch"}, {"arguments", 5}}),
         "must be an object"},
        {"launch without a program", {init}, request(launch(Json::object())), "launch needs 'program'"},
        {"attach to the command line's adapter", {init},
         request({{"seq", 2}, {"type", "request"}, {"command", "attach"}, {"arguments", {{"port", 4711}}}}),
         "runs its own program: send 'launch'"},
        {"launch with a program of the wrong type", {init}, request(launch({{"program", 7}})),
         "'program' must be a string"},
        {"launch of a missing file", {init}, request(launch({{"program", "nosuch.hex"}})), "nosuch.hex"},
        {"launch on an unknown device", {init}, request(launch({{"program", "loop.hex"}, {"device", "Z80"}})),
         "unknown device 'Z80'"},
        {"launch with a bad clock", {init}, request(launch({{"program", "loop.hex"}, {"clockHz", 99000000}})),
         "--clock 99000000"},
        {"continue before configurationDone", {init, launch({{"program", "loop.hex"}})},
         request({{"seq", 3}, {"type", "request"}, {"command", "continue"}, {"arguments", {{"threadId", 1}}}}),
         "after 'configurationDone'"},
        {"a line given as text", {init, launch({{"program", "loop.hex"}})},
         request({{"seq", 3}, {"type", "request"}, {"command", "setBreakpoints"},
                  {"arguments", {{"source", {{"path", "loop.c"}}}, {"breakpoints", {{{"line", "ten"}}}}}}}),
         "bad arguments of 'setBreakpoints'"},
        {"a memory reference without a space", {init, launch({{"program", "loop.hex"}})},
         request({{"seq", 3}, {"type", "request"}, {"command", "readMemory"},
                  {"arguments", {{"memoryReference", "1234"}, {"count", 4}}}}),
         "expected SPACE:ADDRESS"},
        {"disassembly of data memory", {init, launch({{"program", "loop.hex"}})},
         request({{"seq", 3}, {"type", "request"}, {"command", "disassemble"},
                  {"arguments", {{"memoryReference", "xdata:0"}, {"instructionCount", 4}}}}),
         "not an address of program memory"},
        {"goto before configurationDone", {init, launch({{"program", "loop.hex"}})},
         request({{"seq", 3}, {"type", "request"}, {"command", "goto"}, {"arguments", {{"targetId", 1}}}}),
         "after 'configurationDone'"},
        {"setVariable in a container that is none", {init, launch({{"program", "loop.hex"}})},
         request({{"seq", 3}, {"type", "request"}, {"command", "setVariable"},
                  {"arguments", {{"variablesReference", 9}, {"name", "A"}, {"value", "1"}}}}),
         "no variables reference 9"},
        {"data that is not base64", {init, launch({{"program", "loop.hex"}})},
         request({{"seq", 3}, {"type", "request"}, {"command", "writeMemory"},
                  {"arguments", {{"memoryReference", "iram:30"}, {"data", "!!"}}}}),
         "not base64"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        DapClient c(dir.path);
        for (const Json& before : row.before) {
            c.sendRaw(request(before));
            const Json answer = c.response(before["seq"]);
            ASSERT_EQ(answer["success"], true) << answer;
        }
        c.sendRaw(row.bad);
        Json answer = c.next();
        while (answer["type"] == "event") answer = c.next();
        EXPECT_EQ(answer["type"], "response") << answer;
        EXPECT_EQ(answer["success"], false) << answer;
        EXPECT_NE(answer["message"].get<std::string>().find(row.message), std::string::npos) << answer;
        const Json after = c.call("disconnect");
        EXPECT_EQ(after["success"], true) << after;
        EXPECT_EQ(c.wait(), 0);
    }

    // Input that ends inside a message ends the session cleanly.
    DapClient cut(dir.path);
    cut.sendRaw("Content-Length: 50\r\n\r\n{\"seq\":");
    cut.closeInput();
    EXPECT_EQ(cut.wait(), 0);
    EXPECT_NE(dir.read("dap.err").find("ended inside a message"), std::string::npos) << dir.read("dap.err");
}

// An assembler program (its asm51 listing beside it is the source map):
// a breakpoint on its first instruction stops the first run before that
// instruction; a continue runs into the endless loop, a pause stops it.
TEST(DapMessages, PauseStopsAnEndlessRunAndLeavingProgramMemoryEndsTheSession) {
    TempDir dir;
    dir.write("loop.asm", "        ORG 0\n        INC 30H\nHERE:   SJMP HERE\n        END\n");
    const ProcessResult assembled = runProcess(dir.path, asm51Program().string(), {"loop"});
    ASSERT_EQ(assembled.status, 0) << assembled.output();
    dir.write("away.hex", kLeaveMemory);
    DapClient c(dir.path);
    ASSERT_EQ(c.call("initialize")["success"], true);
    ASSERT_EQ(c.call("launch", {{"program", "loop.hex"}})["success"], true);
    const Json set = c.call("setBreakpoints", {{"source", {{"path", "loop.asm"}}}, {"breakpoints", {{{"line", 2}}}}});
    ASSERT_EQ(set["body"]["breakpoints"][0]["verified"], true) << set;
    ASSERT_EQ(c.call("configurationDone")["success"], true);
    EXPECT_EQ(c.event("stopped")["body"]["reason"], "breakpoint");
    const auto stopped = [&c](int line, const char* iram30) {
        const Json frames = c.call("stackTrace", {{"threadId", 1}})["body"]["stackFrames"];
        ASSERT_EQ(frames.size(), 1u) << frames;
        EXPECT_EQ(frames[0]["line"], line);
        EXPECT_EQ(frames[0]["source"]["path"], (c.folder() / "loop.asm").string());
        EXPECT_EQ(c.call("readMemory", {{"memoryReference", "iram:30"}, {"count", 1}})["body"]["data"], iram30);
    };
    stopped(2, "AA==");
    for (const char* iram30 : {"AQ==", "AQ=="}) {
        ASSERT_EQ(c.call("continue", {{"threadId", 1}})["success"], true);
        // While it runs the server still answers what a run allows.
        EXPECT_EQ(c.call("threads")["body"]["threads"].size(), 1u);
        EXPECT_EQ(c.call("stackTrace", {{"threadId", 1}})["success"], false);
        ASSERT_EQ(c.call("pause", {{"threadId", 1}})["success"], true);
        EXPECT_EQ(c.event("stopped")["body"]["reason"], "pause");
        stopped(3, iram30);
    }
    // The disassembly with each instruction's line, also from before the
    // address asked for; goto sets the program counter to a line's code.
    const Json code = c.call("disassemble", {{"memoryReference", "code:0002"}, {"instructionOffset", -1},
                                             {"instructionCount", 2}})["body"]["instructions"];
    ASSERT_EQ(code.size(), 2u) << code;
    for (const auto& [i, address, text, line] :
         {std::tuple{0, "0x0000", "INC    30", 2}, std::tuple{1, "0x0002", "SJMP   0002", 3}}) {
        EXPECT_EQ(code[i]["address"], address) << code[i];
        EXPECT_EQ(code[i]["instruction"], text) << code[i];
        EXPECT_EQ(code[i]["line"], line) << code[i];
    }
    const Json targets = c.call("gotoTargets", {{"source", {{"path", "loop.asm"}}}, {"line", 2}})["body"]["targets"];
    ASSERT_EQ(targets.size(), 1u) << targets;
    ASSERT_EQ(c.call("goto", {{"threadId", 1}, {"targetId", targets[0]["id"]}})["success"], true);
    EXPECT_EQ(c.event("stopped")["body"]["reason"], "goto");
    stopped(2, "AQ==");
    ASSERT_EQ(c.call("next", {{"threadId", 1}, {"granularity", "instruction"}})["success"], true);
    c.event("stopped");
    stopped(3, "Ag==");
    // A condition the endless loop checks at every pass, never true: the
    // run still takes a pause.
    ASSERT_EQ(c.call("setBreakpoints", {{"source", {{"path", "loop.asm"}}},
                                        {"breakpoints", {{{"line", 3}, {"condition", "R7 == 1"}}}}})["success"],
              true);
    ASSERT_EQ(c.call("continue", {{"threadId", 1}})["success"], true);
    ASSERT_EQ(c.call("pause", {{"threadId", 1}})["success"], true);
    EXPECT_EQ(c.event("stopped")["body"]["reason"], "pause");
    EXPECT_EQ(c.call("disconnect")["success"], true);
    EXPECT_EQ(c.wait(), 0);

    DapClient away(dir.path);
    ASSERT_EQ(away.call("initialize")["success"], true);
    ASSERT_EQ(away.call("launch", {{"program", "away.hex"}})["success"], true);
    ASSERT_EQ(away.call("configurationDone")["success"], true);
    EXPECT_EQ(away.event("exited")["body"]["exitCode"], 4);
    away.event("terminated");
    const Json again = away.call("continue", {{"threadId", 1}});
    EXPECT_EQ(again["success"], false) << again;
    EXPECT_EQ(away.call("disconnect")["success"], true);
    EXPECT_EQ(away.wait(), 0);
}

} // namespace
