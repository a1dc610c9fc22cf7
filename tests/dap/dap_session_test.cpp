// quorvel-cli --dap driven as an editor drives it, over SDCC programs the
// tests compile: breakpoints on C lines stop there (also one set while the
// program runs), the stack and the steps are the debug session's, and the variables, expressions and memory
// show what the program printed over the UART.
#include "dap_client.h"
#include "test_support.h"

#include "machine/executor.h"
#include "tools/source_map_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

using namespace quorvel::support;
using quorvel::dap::test::DapClient;
using quorvel::dap::test::Json;

namespace {

// The number of the line holding `marker` (after the first `after`).
int lineOf(const std::string& source, const std::string& marker, const std::string& after = "") {
    const size_t at = source.find(marker, source.find(after));
    return at == std::string::npos ? 0 : int(std::count(source.begin(), source.begin() + long(at), '\n') + 1);
}

// Initialize and launch; the server then asks for the configuration.
void start(DapClient& c, const Json& launch) {
    const Json init = c.call("initialize", {{"adapterID", "quorvel"}, {"linesStartAt1", true}});
    ASSERT_EQ(init["success"], true) << init;
    const Json launched = c.call("launch", launch);
    ASSERT_EQ(launched["success"], true) << launched;
    c.event("initialized");
}

// The call stack as (function, line) pairs.
std::vector<std::pair<std::string, int>> where(DapClient& c) {
    std::vector<std::pair<std::string, int>> frames;
    const Json r = c.call("stackTrace", {{"threadId", 1}});
    for (const Json& f : r["body"]["stackFrames"]) frames.emplace_back(f["name"], f["line"]);
    return frames;
}

// A decimal value as the program prints it (its low 32 bits); -1 for text
// that is not a number.
uint32_t number(const std::string& text) {
    size_t end = 0;
    try {
        const long long value = std::stoll(text, &end);
        if (end == text.size()) return uint32_t(value);
    } catch (const std::exception&) {
    }
    return uint32_t(-1);
}

std::string stopReason(DapClient& c) {
    const Json stopped = c.event("stopped");
    return stopped.is_null() ? "none" : stopped["body"].value("reason", "");
}

using Frames = std::vector<std::pair<std::string, int>>;

TEST(DapSession, BreakpointsAndStepsAreTheSessions) {
    TempDir dir;
    const std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/source_steps.c");
    ASSERT_TRUE(compileC(dir.path, "steps", source, {"--debug"}));
    const auto line = [&source](const std::string& mark) { return lineOf(source, "mark:" + mark + " "); };
    DapClient c(dir.path);
    start(c, {{"program", "steps.hex"}});

    // A line without code moves to the next line with code, and says so.
    const std::string path = (dir / "steps.c").string();
    Json set = c.call("setBreakpoints", {{"source", {{"path", path}}},
                                         {"breakpoints", {{{"line", line("nocode")}}, {{"line", line("call")}}}}});
    ASSERT_EQ(set["success"], true) << set;
    const Json& bps = set["body"]["breakpoints"];
    ASSERT_EQ(bps.size(), 2u) << set;
    EXPECT_EQ(bps[0]["verified"], true);
    EXPECT_EQ(bps[0]["line"], line("loop"));
    EXPECT_TRUE(bps[0].contains("message")) << bps[0];
    EXPECT_EQ(bps[1]["line"], line("call"));
    EXPECT_FALSE(bps[1].contains("message")) << bps[1];
    EXPECT_EQ(bps[1]["source"]["path"], path);

    ASSERT_EQ(c.call("configurationDone")["success"], true);
    Json stopped = c.event("stopped");
    EXPECT_EQ(stopped["body"]["reason"], "breakpoint");
    EXPECT_EQ(stopped["body"]["hitBreakpointIds"], Json::array({bps[0]["id"]}));
    EXPECT_EQ(where(c), (Frames{{"main", line("loop")}}));
    // Continuing from a breakpoint leaves it.
    ASSERT_EQ(c.call("continue", {{"threadId", 1}})["success"], true);
    EXPECT_EQ(stopReason(c), "breakpoint");
    EXPECT_EQ(where(c), (Frames{{"main", line("call")}}));

    // The session's steps: into bump, over its line, out to the call.
    const struct {
        const char* request;
        Frames frames;
    } steps[] = {
        {"stepIn", {{"bump", line("bump")}, {"main", line("call")}}},
        {"next", {{"bump", line("port")}, {"main", line("call")}}},
        {"stepOut", {{"main", line("call")}}},
        {"next", {{"main", line("loop")}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.request);
        ASSERT_EQ(c.call(step.request, {{"threadId", 1}})["success"], true);
        EXPECT_EQ(stopReason(c), "step");
        EXPECT_EQ(where(c), step.frames);
    }
    // By instruction the program counter moves within the line.
    const Json pc = c.call("evaluate", {{"expression", "PC"}, {"frameId", 0}})["body"]["result"];
    ASSERT_EQ(c.call("stepIn", {{"threadId", 1}, {"granularity", "instruction"}})["success"], true);
    EXPECT_EQ(stopReason(c), "step");
    EXPECT_NE(c.call("evaluate", {{"expression", "PC"}, {"frameId", 0}})["body"]["result"], pc);

    // Twice more round the loop with the breakpoint on the call alone, then
    // over the last call: count is 0 + 1 + 2.
    set = c.call("setBreakpoints", {{"source", {{"path", path}}}, {"breakpoints", {{{"line", line("call")}}}}});
    ASSERT_EQ(set["success"], true) << set;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(c.call("continue", {{"threadId", 1}})["success"], true);
        EXPECT_EQ(stopReason(c), "breakpoint");
    }
    ASSERT_EQ(c.call("next", {{"threadId", 1}})["success"], true);
    EXPECT_EQ(stopReason(c), "step");
    EXPECT_EQ(c.call("evaluate", {{"expression", "count"}, {"frameId", 0}})["body"]["result"], "3");

    // Without breakpoints the program parks in its endless loop; one set
    // there while it runs stops it.
    ASSERT_EQ(c.call("setBreakpoints", {{"source", {{"path", path}}}, {"breakpoints", Json::array()}})["success"], true);
    ASSERT_EQ(c.call("continue", {{"threadId", 1}})["success"], true);
    set = c.call("setBreakpoints", {{"source", {{"path", path}}}, {"breakpoints", {{{"line", line("park")}}}}});
    ASSERT_EQ(set["body"]["breakpoints"][0]["verified"], true) << set;
    EXPECT_EQ(stopReason(c), "breakpoint");
    EXPECT_EQ(where(c), (Frames{{"main", line("park")}}));
    EXPECT_EQ(c.call("disconnect")["success"], true);
    c.event("terminated");
    EXPECT_EQ(c.wait(), 0);
}

TEST(DapSession, VariablesExpressionsAndMemoryShowWhatTheProgramPrinted) {
    TempDir dir;
    const std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/debug/variables.c");
    ASSERT_TRUE(compileC(dir.path, "variables", source, {"--debug"}));
    const int mark = lineOf(source, "/* MARK */", "void main");
    DapClient c(dir.path);
    start(c, {{"program", "variables.hex"}, {"xdataKb", 64}});
    ASSERT_EQ(c.call("setBreakpoints", {{"source", {{"path", (dir / "variables.c").string()}}},
                                        {"breakpoints", {{{"line", mark}}}}})["body"]["breakpoints"][0]["verified"],
              true);
    ASSERT_EQ(c.call("configurationDone")["success"], true);
    // What the chip transmits comes as output until the stop.
    std::string uart;
    for (Json m = c.next(); !m.is_null() && m["event"] != "stopped"; m = c.next())
        if (m["event"] == "output" && m["body"]["category"] == "stdout") uart += m["body"]["output"];
    std::map<std::string, uint32_t> printed;
    std::istringstream lines(uart);
    for (std::string expression, value; lines >> expression >> value;)
        printed[expression] = uint32_t(std::stoul(value, nullptr, 16));
    ASSERT_GT(printed.size(), 30u) << uart;
    EXPECT_EQ(where(c).front(), (std::pair<std::string, int>{"main", mark}));

    const Json scopes = c.call("scopes", {{"frameId", 0}})["body"]["scopes"];
    ASSERT_EQ(scopes.size(), 5u) << scopes;
    std::map<std::string, Json> shown; // Locals and Globals by name
    for (int i : {0, 1}) {
        const Json listed = c.call("variables", {{"variablesReference", scopes[i]["variablesReference"]}});
        ASSERT_EQ(listed["success"], true) << listed;
        for (const Json& v : listed["body"]["variables"]) shown[v["name"]] = v;
    }
    // A value is what was printed, or not available (never another value).
    int compared = 0;
    for (const auto& [expression, value] : printed) {
        const auto v = shown.find(expression);
        if (v == shown.end() || v->second["type"] == "float") continue;
        const std::string text = v->second["value"];
        if (text.starts_with("not available")) continue;
        EXPECT_EQ(number(text), value) << v->second;
        ++compared;
    }
    EXPECT_GE(compared, 10) << "gc guc gi gui gl gul gs fstat pv loc ...";
    // A struct opens member by member.
    ASSERT_GT(shown["gpt"]["variablesReference"], 0) << shown["gpt"];
    const Json members = c.call("variables", {{"variablesReference", shown["gpt"]["variablesReference"]}})["body"]["variables"];
    for (const Json& member : members)
        EXPECT_EQ(number(member["value"]), printed["gpt." + member["name"].get<std::string>()])
            << member;
    // The registers of the current bank and the rest.
    const Json registers = c.call("variables", {{"variablesReference", scopes[2]["variablesReference"]}})["body"]["variables"];
    ASSERT_EQ(registers.size(), 14u);
    EXPECT_EQ(registers[0]["name"], "R0");
    EXPECT_EQ(registers[13]["name"], "PC");

    // Expressions, and memory at the place a variable gives.
    const Json x = c.call("evaluate", {{"expression", "xarr[3]"}, {"frameId", 0}})["body"];
    EXPECT_EQ(number(x["result"]), printed["xarr[3]"]) << x;
    EXPECT_EQ(x["memoryReference"].get<std::string>().substr(0, 6), "xdata:") << x;
    const Json unknown = c.call("evaluate", {{"expression", "nosuch"}, {"frameId", 0}});
    EXPECT_EQ(unknown["success"], false);
    EXPECT_NE(unknown["message"].get<std::string>().find("unknown name"), std::string::npos) << unknown;
    const std::string gi = shown["gi"]["memoryReference"];
    // -1234 is FB2EH, low byte first.
    EXPECT_EQ(c.call("readMemory", {{"memoryReference", gi}, {"count", 2}})["body"]["data"], "Lvs=");
    // 12345 is 3039H.
    EXPECT_EQ(c.call("writeMemory", {{"memoryReference", gi}, {"data", "OTA="}})["body"]["bytesWritten"], 2);
    EXPECT_EQ(c.call("evaluate", {{"expression", "gi"}, {"frameId", 0}})["body"]["result"], "12345");
    EXPECT_EQ(c.call("disconnect")["success"], true);
    EXPECT_EQ(c.wait(), 0);
}

// Over the SDCC test programs: a breakpoint on every line of the source
// is verified, at the line itself when it has code; and with them set, the
// lines the stops come to (each breakpoint removed once hit) are exactly
// the lines whose code a plain run of the program executes.
TEST(DapSession, EveryLineWithCodeTakesABreakpointAndEveryLineRunHitsIt) {
    const struct {
        const char* file;
        std::vector<std::string> flags;
    } programs[] = {
        {"arithmetic.c", {}},
        {"timer_ticks.c", {}},
        {"large_model.c", {"--model-large", "--stack-auto"}},
        {"bcd_timing.c", {}},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(program.file);
        TempDir dir;
        const std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/firmware/" + program.file);
        std::vector<std::string> flags = program.flags;
        flags.push_back("--debug");
        ASSERT_TRUE(compileC(dir.path, "program", source, flags));

        // The lines with code, and those a plain run executes until the
        // program parks in its final loop.
        quorvel::SourceMap map;
        ASSERT_EQ(quorvel::loadSourceMap(dir / "program.cdb", map), std::nullopt);
        quorvel::Machine m = makeMachine(quorvel::DeviceKind::AT89C52, 11059200, 0xFFFF, 0xFFFF);
        loadCode(m, readBytes(dir / "program.bin"));
        m.codeProfile.enable();
        quorvel::StopConditions parked;
        parked.selfJump = true;
        uint64_t steps = 0;
        while (steps < 20'000'000 && quorvel::runSteps(m, 100'000, parked).cause == quorvel::StopCause::Steps)
            steps += 100'000;
        ASSERT_LT(steps, 20'000'000u) << "the program never parked";
        std::set<int> withCode, executed;
        for (const quorvel::SourceMark& mark : map.marks(quorvel::SourceLevel::C)) {
            if (map.fileName(mark.where.file) != "program.c") continue;
            withCode.insert(int(mark.where.line));
            if (m.codeProfile.counts[mark.address].executions != 0) executed.insert(int(mark.where.line));
        }
        ASSERT_GT(executed.size(), 10u);

        DapClient c(dir.path);
        start(c, {{"program", "program.hex"}, {"device", "AT89C52"}, {"clockHz", 11059200},
                  {"xdataKb", 64}, {"haltOnSelfJump", true}});
        const std::string path = (dir / "program.c").string();
        const int lines = int(std::count(source.begin(), source.end(), '\n'));
        const auto setLines = [&](const std::set<int>& wanted) {
            Json list = Json::array();
            for (int line : wanted) list.push_back({{"line", line}});
            return c.call("setBreakpoints", {{"source", {{"path", path}}}, {"breakpoints", list}});
        };
        std::set<int> every;
        for (int line = 1; line <= lines; ++line) every.insert(line);
        const Json set = setLines(every)["body"]["breakpoints"];
        ASSERT_EQ(set.size(), every.size());
        // Requested line -> the line it was placed at; breakpoint id -> line.
        std::map<int, int> placed, lineOf;
        for (int line = 1; line <= lines; ++line) {
            const Json& b = set[size_t(line - 1)];
            if (b["verified"] != true) {
                // Only past the last line with code.
                EXPECT_GT(line, *withCode.rbegin()) << b;
                continue;
            }
            placed[line] = b["line"];
            lineOf[b["id"]] = b["line"];
            EXPECT_EQ(b["line"] == line, withCode.count(line) == 1) << b;
            EXPECT_EQ(b.contains("message"), b["line"] != line) << b;
        }

        ASSERT_EQ(c.call("configurationDone")["success"], true);
        std::set<int> hit;
        for (int stops = 0; stops <= lines; ++stops) {
            Json message = c.next();
            while (!message.is_null() && message["event"] != "stopped" && message["event"] != "terminated")
                message = c.next();
            if (message.is_null() || message["event"] == "terminated") break;
            const Json& ids = message["body"]["hitBreakpointIds"];
            ASSERT_FALSE(ids.empty()) << message;
            std::set<int> now; // several breakpoints moved to one line hit together
            for (const Json& id : ids) now.insert(lineOf[id]);
            for (int line : now) EXPECT_TRUE(hit.insert(line).second) << "line " << line << " hit again";
            std::set<int> remaining;
            for (const auto& [asked, at] : placed)
                if (!hit.count(at)) remaining.insert(asked);
            const Json again = setLines(remaining)["body"]["breakpoints"];
            for (size_t i = 0; i < again.size(); ++i) lineOf[again[i]["id"]] = again[i]["line"];
            ASSERT_EQ(c.call("continue", {{"threadId", 1}})["success"], true);
        }
        EXPECT_EQ(hit, executed);
        c.call("disconnect");
        c.wait();
    }
}

// Data breakpoints are the session's watchpoints; variables, registers and
// SFRs (with their bits) take values through the session's assignment.
TEST(DapSession, DataBreakpointsAndWritesAreTheSessions) {
    TempDir dir;
    const std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/source_steps.c");
    ASSERT_TRUE(compileC(dir.path, "steps", source, {"--debug"}));
    DapClient c(dir.path);
    start(c, {{"program", "steps.hex"}, {"xdataKb", 64}});
    const Json source1{{"path", (dir / "steps.c").string()}};
    ASSERT_EQ(c.call("setBreakpoints",
                     {{"source", source1},
                      {"breakpoints", {{{"line", lineOf(source, "mark:call")}}}}})["success"],
              true);
    ASSERT_EQ(c.call("configurationDone")["success"], true);
    ASSERT_EQ(stopReason(c), "breakpoint");
    const Json scopes = c.call("scopes", {{"frameId", 0}})["body"]["scopes"];
    ASSERT_EQ(scopes.size(), 5u) << scopes;
    EXPECT_EQ(scopes[3]["name"], "SFRs");
    // The containers by name: the scopes, PSW in Registers, TCON in SFRs
    // (each opens to its bits).
    std::map<std::string, int> ref;
    const auto list = [&c](int reference) {
        return c.call("variables", {{"variablesReference", reference}})["body"]["variables"];
    };
    const auto containers = [&c, &ref, &list] {
        for (const Json& scope : Json(c.call("scopes", {{"frameId", 0}})["body"]["scopes"]))
            ref[scope["name"]] = scope["variablesReference"];
        for (const auto& [scope, name] : {std::pair{"Registers", "PSW"}, std::pair{"SFRs", "TCON"}})
            for (const Json& v : list(ref[scope]))
                if (v["name"] == name) ref[name] = v["variablesReference"];
    };
    containers();
    for (const auto& [name, bits] : {std::pair{"PSW", "CY AC F0 RS1 RS0 OV D1 P "},
                                     std::pair{"TCON", "TF1 TR1 TF0 TR0 IE1 IT1 IE0 IT0 "}}) {
        std::string names;
        for (const Json& v : list(ref[name]))
            names += v["name"].get<std::string>() + " ";
        EXPECT_EQ(names, bits);
    }

    const struct {
        const char* scope;
        const char* name;
        Json dataId;             // null: cannot be watched
        const char* description; // in the description
    } infos[] = {
        {"Globals", "count", "count", "count"},    {"Registers", "R7", "iram:07", "iram:07"},
        {"SFRs", "P1", "sfr:P1", "sfr:P1"},        {"", "xdata:0100", "xdata:0100", "xdata:0100"},
        {"", "code:0000", nullptr, "code memory"}, {"", "nosuch", nullptr, "unknown name"},
    };
    for (const auto& row : infos) {
        SCOPED_TRACE(row.name);
        Json args{{"name", row.name}};
        if (*row.scope) args["variablesReference"] = ref[row.scope];
        const Json info = c.call("dataBreakpointInfo", args);
        EXPECT_EQ(info["body"]["dataId"], row.dataId) << info;
        EXPECT_NE(info["body"].value("description", "").find(row.description), std::string::npos)
            << info;
    }
    const Json set = c.call("setDataBreakpoints",
                            {{"breakpoints", {{{"dataId", "count"}}, {{"dataId", "code:0000"}}}}});
    ASSERT_EQ(set["body"]["breakpoints"].size(), 2u) << set;
    EXPECT_EQ(set["body"]["breakpoints"][0]["verified"], true) << set;
    EXPECT_EQ(set["body"]["breakpoints"][1]["verified"], false) << set;
    ASSERT_EQ(
        c.call("setBreakpoints", {{"source", source1}, {"breakpoints", Json::array()}})["success"],
        true);
    // bump(0) writes 0 over 0, bump(1) 1 over it.
    for (const char* change :
         {"from 00H to 00H by the instruction at ", "from 00H to 01H by the instruction at "}) {
        ASSERT_EQ(c.call("continue", {{"threadId", 1}})["success"], true);
        const Json stopped = c.event("stopped")["body"];
        EXPECT_EQ(stopped["reason"], "data breakpoint");
        EXPECT_EQ(stopped["hitBreakpointIds"], Json::array({set["body"]["breakpoints"][0]["id"]}));
        EXPECT_NE(stopped.value("description", "").find("count (iram:"), std::string::npos)
            << stopped;
        EXPECT_NE(stopped.value("description", "").find(change), std::string::npos) << stopped;
    }

    containers();
    const struct {
        const char* scope; // empty: setExpression
        const char* name;
        const char* value;
        const char* shown; // the value shown after, or the error message
        bool ok;
    } writes[] = {
        {"Globals", "count", "7", "7", true},
        {"Globals", "count", "seven", "not a number", false},
        {"Registers", "A", "0x5A", "0x5A", true},
        {"Registers", "DPTR", "1234H", "0x1234", true},
        {"PSW", "CY", "1", "1", true},
        {"PSW", "CY", "2", "0 or 1", false},
        {"SFRs", "P1", "300", "takes a number from", false},
        {"TCON", "TR0", "1", "1", true},
        {"", "count", "9", "9", true},
        {"", "TH0", "0x12", "18", true}, // a C name of the SDCC header
        {"", "PC", "0xFFFF", "beyond the program memory", false},
        {"", "nosuch", "1", "unknown name", false},
    };
    for (const auto& row : writes) {
        SCOPED_TRACE(std::string(row.name) + " = " + row.value);
        const Json r =
            *row.scope ? c.call("setVariable", {{"variablesReference", ref[row.scope]},
                                                {"name", row.name},
                                                {"value", row.value}})
                       : c.call("setExpression",
                                {{"expression", row.name}, {"value", row.value}, {"frameId", 0}});
        ASSERT_EQ(r["success"], row.ok) << r;
        if (row.ok)
            EXPECT_EQ(r["body"]["value"], row.shown);
        else
            EXPECT_NE(r["message"].get<std::string>().find(row.shown), std::string::npos) << r;
    }
    // What was written is what the program and the other views read.
    for (const auto& [expression, value] :
         {std::pair{"count", "9"}, std::pair{"PSW", "128"}, std::pair{"TCON", "16"}})
        EXPECT_EQ(
            c.call("evaluate", {{"expression", expression}, {"frameId", 0}})["body"]["result"],
            value)
            << expression;
    EXPECT_EQ(c.call("disconnect")["success"], true);
    EXPECT_EQ(c.wait(), 0);
}

// Conditions, hit counts and log points on line, function and instruction
// breakpoints: the session decides at each arrival whether the run stops.
TEST(DapSession, BreakpointConditionsHitCountsAndLogPoints) {
    TempDir dir;
    const std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/source_steps.c");
    ASSERT_TRUE(compileC(dir.path, "steps", source, {"--debug"}));
    const int call = lineOf(source, "mark:call"), park = lineOf(source, "mark:park");
    const struct {
        const char* request;
        Json breakpoints;
        const char* expression; // at the first stop, or in the first message
        const char* value;
    } rows[] = {
        {"setBreakpoints", {{{"line", call}, {"condition", "i == 2"}}}, "i", "2"},
        {"setBreakpoints",
         {{{"line", call}, {"condition", "count>=1"}, {"hitCondition", "1"}}},
         "i",
         "2"},
        {"setBreakpoints", {{{"line", call}, {"hitCondition", "2"}}}, "i", "1"},
        {"setBreakpoints",
         {{{"line", call}, {"hitCondition", "> 2"}}, {{"line", park}}},
         "count",
         "1"},
        {"setBreakpoints",
         {{{"line", park}}, {{"line", call}, {"logMessage", "i={i} R7={R7} {nosuch}"}}},
         "output",
         "i=0 R7=0 <unknown name 'nosuch' in \"nosuch\">\ni=1 R7=1 "},
        {"setBreakpoints",
         {{{"line", call}, {"condition", "nosuch == 1"}}},
         "output",
         "breakpoint condition 'nosuch == 1'"},
        {"setFunctionBreakpoints", {{{"name", "bump"}, {"condition", "count > 0"}}}, "count", "1"},
        {"setInstructionBreakpoints", {{{"instructionReference", "0x0000"}}}, "PC", "0x0000"},
        {"setBreakpoints",
         {{{"line", call}, {"condition", "i =="}}},
         "message",
         "lacks an operand"},
        {"setBreakpoints",
         {{{"line", call}, {"hitCondition", "many"}}},
         "message",
         "does not read"},
        {"setFunctionBreakpoints",
         {{{"name", "nosuch"}}},
         "message",
         "no function or label 'nosuch'"},
        {"setInstructionBreakpoints",
         {{{"instructionReference", "xdata:0100"}}},
         "message",
         "not an address of program"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.breakpoints.dump());
        DapClient c(dir.path);
        start(c, {{"program", "steps.hex"}});
        Json args{{"breakpoints", row.breakpoints}};
        if (std::string(row.request) == "setBreakpoints")
            args["source"] = {{"path", (dir / "steps.c").string()}};
        const Json set = c.call(row.request, args)["body"]["breakpoints"];
        ASSERT_EQ(set.size(), row.breakpoints.size());
        if (std::string(row.expression) == "message") {
            EXPECT_EQ(set[0]["verified"], false) << set;
            EXPECT_NE(set[0].value("message", "").find(row.value), std::string::npos) << set;
            continue;
        }
        EXPECT_EQ(set[0]["verified"], true) << set;
        ASSERT_EQ(c.call("configurationDone")["success"], true);
        std::string output;
        Json m = c.next();
        for (; !m.is_null() && m["event"] != "stopped"; m = c.next())
            if (m["event"] == "output") output += m["body"]["output"];
        ASSERT_EQ(m["body"]["reason"], "breakpoint") << m;
        if (std::string(row.expression) == "output")
            EXPECT_TRUE(output.starts_with(row.value)) << output;
        else
            EXPECT_EQ(c.call("evaluate",
                             {{"expression", row.expression}, {"frameId", 0}})["body"]["result"],
                      row.value);
        EXPECT_EQ(m["body"]["hitBreakpointIds"], Json::array({set[0]["id"]})) << m;
    }
}

} // namespace

TEST(DapSession, TheBoardScopeShowsTheBoardsParts) {
    TempDir dir;
    const std::string demos = std::string(QUORVEL_BUILD_DIR) + "/DemoPrograms/";
    DapClient c(dir.path);
    start(c, {{"program", demos + "Demo3.HEX"}, {"modules", demos + "Demo3.MST"}});
    ASSERT_EQ(c.call("configurationDone")["success"], true);
    // The demonstration writes its message and parks in a loop.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(c.call("pause", {{"threadId", 1}})["success"], true);
    EXPECT_EQ(stopReason(c), "pause");
    const Json scopes = c.call("scopes", {{"frameId", 0}})["body"]["scopes"];
    ASSERT_EQ(scopes[4]["name"], "Board") << scopes;
    std::map<std::string, Json> parts;
    const Json board = c.call("variables", {{"variablesReference", scopes[4]["variablesReference"]}})["body"]["variables"];
    for (const Json& v : board) parts[v["name"]] = v;
    ASSERT_TRUE(parts.contains("LCD")) << scopes;
    const Json lines = c.call("variables", {{"variablesReference", parts["LCD"]["variablesReference"]}})["body"]["variables"];
    std::vector<std::string> shown;
    for (const Json& line : lines) shown.push_back(line["value"]);
    EXPECT_EQ(shown, (std::vector<std::string>{"\"  Quorvel Simulator \"", "\" 8051 Family Demo 3 \"",
                                                "\"4 Lines X 20 Chars  \"", "\"LCD Module Message  \""}));
    // The clock's memory opens to rows of 16 bytes.
    const Json rtc = c.call("variables", {{"variablesReference", parts["RTC"]["variablesReference"]}})["body"]["variables"];
    EXPECT_EQ(rtc.size(), 16u);
    EXPECT_EQ(c.call("disconnect")["success"], true);
}
