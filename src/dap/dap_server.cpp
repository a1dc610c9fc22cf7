#include "dap/dap_server.h"

#include "cli/cli_options.h"
#include "cli/cli_report.h"
#include "cli/cli_session.h"
#include "debug/run_controller.h"
#include "machine/space_address.h"
#include "modules/iic_settings.h"
#include "modules/lcd_controller.h"
#include "modules/led_display.h"
#include "modules/spi_settings.h"
#include "tools/disassembler.h"
#include "tools/symbol_names.h"

#include <algorithm>
#include <bit>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace quorvel::dap {

namespace fs = std::filesystem;

namespace {

constexpr int kThreadId = 1;
// The most bytes one readMemory request returns.
constexpr int64_t kMaxMemoryRead = 1 << 16;

// ---- base64, as the memory requests carry their bytes

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = uint32_t(bytes[i]) << 16 | (i + 1 < bytes.size() ? uint32_t(bytes[i + 1]) << 8 : 0) |
                           (i + 2 < bytes.size() ? uint32_t(bytes[i + 2]) : 0);
        out += kBase64[(n >> 18) & 63];
        out += kBase64[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kBase64[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kBase64[n & 63] : '=';
    }
    return out;
}

std::optional<std::vector<uint8_t>> fromBase64(std::string_view text) {
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    if (text.size() % 4 == 1) return std::nullopt;
    std::vector<uint8_t> out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const size_t value = kBase64.find(c);
        if (value == std::string_view::npos) return std::nullopt;
        bits = bits << 6 | uint32_t(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(uint8_t(bits >> count));
        }
    }
    return out;
}

std::string hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// ---- launch arguments, by the command line's options

enum class Takes : uint8_t { Text, Number, TextList, Flag };

struct LaunchArgument {
    std::string_view name;
    std::string_view option; // empty: not an option of the command line
    Takes takes;
};

constexpr std::array<LaunchArgument, 10> kLaunchArguments{{
    {"program", "", Takes::Text},
    {"device", "--device", Takes::Text},
    {"clockHz", "--clock", Takes::Number},
    {"codeMemory", "--code-memory", Takes::Text},
    {"xdataKb", "--xdata", Takes::Number},
    {"modules", "--modules", Takes::Text},
    {"pins", "--pin", Takes::TextList},
    {"sourceMap", "--source-map", Takes::Text},
    {"stopOnEntry", "", Takes::Flag},
    {"haltOnSelfJump", "--halt-on-self-jump", Takes::Flag},
}};

// The argument's value as the command line would take it, or why not.
std::optional<std::string> optionValue(const Json& value, Takes takes, std::string& error, std::string_view name) {
    switch (takes) {
    case Takes::Text:
        if (value.is_string()) return value.get<std::string>();
        break;
    case Takes::Number:
        if (value.is_number_integer() || value.is_number_unsigned()) return value.dump();
        if (value.is_string()) return value.get<std::string>();
        if (value.is_number_float()) {
            const double d = value.get<double>();
            if (d >= 0 && d < 1e12 && d == double(int64_t(d))) return std::to_string(int64_t(d));
            return value.dump();
        }
        break;
    default: break;
    }
    error = "launch argument '" + std::string(name) + "' must be " +
            (takes == Takes::Number ? "a number" : "a string");
    return std::nullopt;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The registers the Registers scope lists and evaluate knows.
constexpr std::array<std::string_view, 14> kRegisterNames{
    "R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7", "A", "B", "PSW", "DPTR", "SP", "PC"};

std::optional<Json> field(const Json& object, const char* name) {
    if (!object.is_object() || !object.contains(name)) return std::nullopt;
    return object[name];
}

// Where a C value's bytes lie one after another, the address a memory
// reference names.
std::optional<std::string> memoryReference(const CValue& value) {
    if (!value.place || value.place->bytes.empty() || value.place->bitLength) return std::nullopt;
    const CPlace& place = *value.place;
    for (size_t i = 1; i < place.bytes.size(); ++i)
        if (place.bytes[i] != place.bytes[0] + i) return std::nullopt;
    AddressSpace space = AddressSpace::InternalRam;
    switch (place.space) {
    case CSpace::Iram: space = AddressSpace::InternalRam; break;
    case CSpace::Sfr: space = AddressSpace::Sfr; break;
    case CSpace::Xdata: space = AddressSpace::ExternalData; break;
    case CSpace::Code: space = AddressSpace::Code; break;
    case CSpace::Bit: space = AddressSpace::Bit; break;
    }
    // Registers are internal RAM too, but a register bank's bytes are only
    // meaningful while the function runs; they are shown all the same.
    return spaceAddressText(SpaceAddress{space, place.bytes[0]});
}

// The member's or element's own name: "x" of "s.x", "[2]" of "a[2]".
std::string partName(const std::string& parent, const std::string& expression) {
    std::string name = expression.starts_with(parent) ? expression.substr(parent.size()) : expression;
    if (name.starts_with(".")) name.erase(0, 1);
    else if (name.starts_with("->")) name.erase(0, 2);
    return name;
}

// A number argument held within +-2^31 (0 when missing), so sums with
// addresses and line bases cannot overflow; beyond that every value is as
// far out of range as the bound.
int64_t boundedNumber(const Json& object, const char* name) {
    constexpr int64_t kBound = int64_t(1) << 31;
    if (!object.contains(name)) return 0;
    const Json& value = object[name];
    if (value.is_number_float()) return int64_t(std::clamp(value.get<double>(), -double(kBound), double(kBound)));
    if (value.is_number_unsigned()) return int64_t(std::min<uint64_t>(value.get<uint64_t>(), uint64_t(kBound)));
    return std::clamp(value.get<int64_t>(), -kBound, kBound);
}

// The SFRs with a name, in address order ("P0" ... "B").
std::vector<uint8_t> namedSfrs() {
    std::vector<uint8_t> list;
    for (unsigned address = 0x80; address <= 0xFF; ++address)
        if (lookupDirectName(directDisplayName(uint8_t(address)))) list.push_back(uint8_t(address));
    return list;
}

// A bit by its name ("TR0", "P1.3", "CY"), or its address ("D1").
std::string bitName(uint8_t bitAddress) {
    std::string name = bitDisplayName(bitAddress);
    for (char& c : name)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

} // namespace

// ---- the commands

const std::vector<DapServer::Command>& DapServer::commands() {
    static const std::vector<Command> table{
        // name, handler, needs a launched program, answered during a run
        {"initialize", &DapServer::initialize, false, false},
        {"launch", &DapServer::launch, false, false},
        {"attach", &DapServer::attach, false, false},
        {"setBreakpoints", &DapServer::setBreakpoints, true, true},
        {"setFunctionBreakpoints", &DapServer::setFunctionBreakpoints, true, true},
        {"setInstructionBreakpoints", &DapServer::setInstructionBreakpoints, true, true},
        {"dataBreakpointInfo", &DapServer::dataBreakpointInfo, true, false},
        {"setDataBreakpoints", &DapServer::setDataBreakpoints, true, true},
        {"setExceptionBreakpoints", &DapServer::setExceptionBreakpoints, true, true},
        {"exceptionInfo", &DapServer::exceptionInfo, true, false},
        {"configurationDone", &DapServer::configurationDone, true, false},
        {"threads", &DapServer::threads, true, true},
        {"stackTrace", &DapServer::stackTrace, true, false},
        {"scopes", &DapServer::scopes, true, false},
        {"variables", &DapServer::variables, true, false},
        {"continue", &DapServer::continueRun, true, false},
        {"next", &DapServer::next, true, false},
        {"stepIn", &DapServer::stepIn, true, false},
        {"stepOut", &DapServer::stepOut, true, false},
        {"stepBack", &DapServer::stepBack, true, false},
        {"reverseContinue", &DapServer::reverseContinue, true, false},
        {"pause", &DapServer::pause, true, true},
        {"evaluate", &DapServer::evaluate, true, false},
        {"setVariable", &DapServer::setVariable, true, false},
        {"setExpression", &DapServer::setExpression, true, false},
        {"disassemble", &DapServer::disassemble, true, false},
        {"gotoTargets", &DapServer::gotoTargets, true, false},
        {"goto", &DapServer::gotoLine, true, false},
        {"readMemory", &DapServer::readMemory, true, false},
        {"writeMemory", &DapServer::writeMemory, true, false},
        {"terminate", &DapServer::terminate, true, true},
        {"restart", &DapServer::restart, true, true},
        {"disconnect", &DapServer::disconnect, false, true},
        {"uartInput", &DapServer::uartInput, true, true},
    };
    return table;
}

DapServer::DapServer(Writer writer, Poll poll) : writer_(std::move(writer)), poll_(std::move(poll)) {}

DapServer::DapServer(Writer writer, DapHost& host) : writer_(std::move(writer)), host_(&host) {}

Machine& DapServer::machine() const { return host_ ? host_->machine() : session_->machine; }

DebugSession& DapServer::debug() const { return host_ ? host_->debug() : session_->debug; }

DapServer::~DapServer() {
    if (session_) machine().chip.events = nullptr;
}

bool DapServer::receive(std::string_view bytes) {
    reader_.feed(bytes);
    while (!ended_) {
        const std::optional<Frame> frame = reader_.next();
        if (!frame) break;
        handleFrame(*frame);
    }
    return !ended_;
}

void DapServer::endOfInput() {
    if (reader_.midMessage()) std::fputs("quorvel-cli: --dap: the input ended inside a message\n", stderr);
    ended_ = true;
}

void DapServer::send(Json message) {
    if (!writer_) return;
    message["seq"] = seq_++;
    const std::string text = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (!writer_(frameMessage(text))) ended_ = true;
}

void DapServer::sendEvent(std::string_view event, Json body) {
    if (event == "stopped" && hasProgram()) stoppedAt_ = {machine().chip.cycleCount(), machine().chip.pc};
    Json message{{"type", "event"}, {"event", event}};
    if (!body.empty()) message["body"] = std::move(body);
    send(std::move(message));
}

void DapServer::respond(const Json& request, const Reply& reply) {
    Json message{{"type", "response"}, {"request_seq", 0}, {"command", ""}, {"success", reply.error.empty()}};
    if (request.is_object()) {
        if (request.contains("seq") && request["seq"].is_number_integer()) message["request_seq"] = request["seq"];
        if (request.contains("command") && request["command"].is_string()) message["command"] = request["command"];
    }
    if (!reply.error.empty()) message["message"] = reply.error;
    if (!reply.body.empty()) message["body"] = reply.body;
    send(std::move(message));
}

void DapServer::handleFrame(const Frame& frame) {
    if (!frame.error.empty()) {
        respond(Json(), Reply{{}, frame.error});
        return;
    }
    Json request = Json::parse(frame.body, nullptr, false);
    if (request.is_discarded()) {
        respond(Json(), Reply{{}, "the message is not JSON"});
        return;
    }
    handleRequest(request);
}

void DapServer::handleRequest(const Json& request) {
    if (!request.is_object()) return respond(Json(), Reply{{}, "a message must be a JSON object"});
    if (!request.contains("type") || request["type"] != "request")
        return respond(request, Reply{{}, "only requests are taken (\"type\": \"request\")"});
    if (!request.contains("command") || !request["command"].is_string())
        return respond(request, Reply{{}, "a request needs a \"command\""});
    const std::string command = request["command"];
    const auto& table = commands();
    const auto row = std::find_if(table.begin(), table.end(), [&](const Command& c) { return c.name == command; });
    if (row == table.end()) return respond(request, Reply{{}, "unsupported request '" + command + "'"});
    if (!initialized_ && command != "initialize" && command != "disconnect")
        return respond(request, Reply{{}, "'" + command + "' before 'initialize'"});
    if (row->needsLaunch && !hasProgram())
        return respond(request, Reply{{}, "'" + command + "' needs " +
                                              (host_ ? "the simulator's program: send 'attach' first"
                                                     : "a launched program: send 'launch' first")});
    if (running_ && !row->whileRunning)
        return respond(request, Reply{{}, "'" + command + "' while the program runs: pause it first"});
    const Json none = Json::object();
    const Json& arguments = request.contains("arguments") ? request["arguments"] : none;
    Reply reply;
    try {
        if (!arguments.is_object()) reply.error = "the arguments of '" + command + "' must be an object";
        else reply = (this->*(row->handler))(arguments);
    } catch (const Json::exception& e) {
        // An argument of the wrong type (a line given as text, ...).
        reply = Reply{{}, "bad arguments of '" + command + "': " + e.what()};
        afterResponse_ = nullptr;
    }
    respond(request, reply);
    if (auto then = std::exchange(afterResponse_, nullptr); then && !ended_) then();
}

// ---- setting up

DapServer::Reply DapServer::initialize(const Json& a) {
    if (initialized_) return {{}, "'initialize' was already sent"};
    initialized_ = true;
    if (auto starts = field(a, "linesStartAt1"); starts && starts->is_boolean()) lineBase_ = starts->get<bool>() ? 0 : 1;
    Json filters = Json::array();
    for (const ExceptionStopInfo& info : exceptionStopTable())
        filters.push_back(Json{{"filter", info.name}, {"label", info.label}, {"default", false}});
    return {Json{
        {"exceptionBreakpointFilters", filters},
        {"supportsExceptionInfoRequest", true},
        {"supportsConfigurationDoneRequest", true},
        {"supportsEvaluateForHovers", true},
        {"supportsReadMemoryRequest", true},
        {"supportsWriteMemoryRequest", true},
        {"supportsTerminateRequest", true},
        {"supportsSteppingGranularity", true},
        {"supportsDataBreakpoints", true},
        {"supportsConditionalBreakpoints", true},
        {"supportsHitConditionalBreakpoints", true},
        {"supportsLogPoints", true},
        {"supportsFunctionBreakpoints", true},
        {"supportsInstructionBreakpoints", true},
        {"supportsSetVariable", true},
        {"supportsSetExpression", true},
        {"supportsDisassembleRequest", true},
        {"supportsGotoTargetsRequest", true},
        // The desktop simulator's history and program are its own.
        {"supportsStepBack", true},
        {"supportsRestartRequest", !host_},
    }};
}

DapServer::Reply DapServer::launch(const Json& a) {
    if (host_)
        return {{}, "the simulator has its program already: attach to it ({\"request\": \"attach\", "
                    "\"port\": N}), or launch quorvel-cli --dap"};
    if (session_) return {{}, "a program is already launched"};
    stopOnEntry_ = false;
    std::vector<std::string> args;
    std::string program;
    for (const LaunchArgument& argument : kLaunchArguments) {
        const std::optional<Json> value = field(a, std::string(argument.name).c_str());
        if (!value || value->is_null()) continue;
        std::string error;
        if (argument.takes == Takes::Flag) {
            if (!value->is_boolean()) return {{}, "launch argument '" + std::string(argument.name) + "' must be true or false"};
            if (argument.option.empty()) stopOnEntry_ = value->get<bool>();
            else if (value->get<bool>()) args.emplace_back(argument.option);
        } else if (argument.takes == Takes::TextList) {
            const Json list = value->is_array() ? *value : Json::array({*value});
            for (const Json& item : list) {
                if (!item.is_string()) return {{}, "launch argument 'pins' must be a list of strings such as \"P1.0=0\""};
                args.push_back(std::string(argument.option) + "=" + item.get<std::string>());
            }
        } else {
            const std::optional<std::string> text = optionValue(*value, argument.takes, error, argument.name);
            if (!text) return {{}, error};
            if (argument.option.empty()) program = *text;
            else args.push_back(std::string(argument.option) + "=" + *text);
        }
    }
    if (program.empty()) return {{}, "launch needs 'program': the .hex, .ihx or .bin file to run"};
    // Without a sourceMap the program's .cdb or .lst is read when one lies
    // beside it.
    const bool mapGiven = std::any_of(args.begin(), args.end(), [](const std::string& s) { return s.starts_with("--source-map="); });
    if (!mapGiven) {
        std::error_code ec;
        for (const char* extension : {".cdb", ".lst"})
            if (fs::is_regular_file(fs::path(program).replace_extension(extension), ec)) {
                args.push_back("--source-map=" + program);
                break;
            }
    }
    args.push_back("--");
    args.push_back(program);
    if (auto failure = openSession(args)) return {{}, *failure};
    launchArgs_ = std::move(args);
    // The client sends its breakpoints once the program is loaded.
    afterResponse_ = [this] { sendEvent("initialized"); };
    return {};
}

DapServer::Reply DapServer::attach(const Json&) {
    if (!host_)
        return {{}, "quorvel-cli --dap runs its own program: send 'launch' (attach is for the desktop "
                    "simulator's Allow Debugger to Attach)"};
    if (attached_) return {{}, "already attached"};
    attached_ = true;
    sourceFolder_ = host_->sourceFolder();
    afterResponse_ = [this] { sendEvent("initialized"); };
    return {};
}

std::optional<std::string> DapServer::openSession(const std::vector<std::string>& args) {
    const std::vector<std::string_view> views(args.begin(), args.end());
    const cli::ParseResult parsed = cli::parseCommandLine(views);
    if (!parsed.error.empty()) return parsed.error;
    auto session = std::make_unique<cli::Session>();
    std::istringstream noInput;
    if (auto failure = cli::setUpSession(parsed.options, *session, noInput)) return *failure;
    if (session_) machine().chip.events = nullptr;
    session_ = std::move(session);
    uart_ = std::make_unique<cli::UartRecorder>(machine(), false);
    uart_->setCollector(&uartBytes_);
    machine().chip.events = uart_.get();
    if (!session_->sourceMapReport.filesRead.empty())
        sourceFolder_ = fs::absolute(session_->sourceMapReport.filesRead.front()).parent_path().string();
    for (const std::string& warning : session_->warnings)
        sendEvent("output", {{"category", "console"}, {"output", "warning: " + warning + "\n"}});
    return std::nullopt;
}

DapServer::Reply DapServer::restart(const Json&) {
    if (host_) return {{}, "restart the program in the simulator (Reset CPU), not over an attached connection"};
    if (!configured_) return {{}, "the program starts after 'configurationDone'"};
    // A run under way ends first (runProgram starts again then).
    if (running_) {
        pauseAsked_ = restartAsked_ = true;
        return {};
    }
    afterResponse_ = [this] { relaunch(); };
    return {};
}

void DapServer::relaunch() {
    uartBytes_.clear();
    references_.clear();
    const std::vector<ExceptionStop> exceptions = debug().exceptionStops();
    if (auto failure = openSession(launchArgs_)) {
        sendEvent("output", {{"category", "console"}, {"output", "restart: " + *failure + "\n"}});
        terminated_ = true;
        sendEvent("exited", {{"exitCode", 1}});
        sendEvent("terminated");
        return;
    }
    terminated_ = false;
    // The breakpoints of every kind, on the program as it is read now.
    applyCodeBreaks();
    for (DataBreakpoint& b : dataBreakpoints_) {
        b.firstPlace = debug().watchpoints().places().size();
        debug().watch(b.text);
        b.endPlace = debug().watchpoints().places().size();
    }
    debug().setExceptionStops(exceptions);
    startProgram();
}

void DapServer::startProgram() {
    cli::startRun(*session_);
    // The history step back and reverse continue go back in.
    debug().setRecording(true);
    if (stopOnEntry_)
        sendEvent("stopped", {{"reason", "entry"}, {"threadId", kThreadId}, {"allThreadsStopped", true}});
    // The first run stops at a breakpoint on the first instruction before
    // it runs.
    else
        runProgram(false);
}

std::string DapServer::sourcePath(const std::string& file) const {
    fs::path path(file);
    if (path.is_relative() && !sourceFolder_.empty()) path = fs::path(sourceFolder_) / path;
    return path.lexically_normal().string();
}

DapServer::Reply DapServer::setBreakpoints(const Json& a) {
    const Json& source = a.at("source");
    std::string path;
    if (source.contains("path")) path = source["path"].get<std::string>();
    else if (source.contains("name")) path = source["name"].get<std::string>();
    if (path.empty()) return {{}, "setBreakpoints needs the source's path"};
    const SourceMap* map = debug().sourceMap();
    const uint32_t codeLimit = machine().chip.codeLimit;
    // Taken whole once every breakpoint of the request has been read.
    std::vector<LineBreakpoint> kept;
    Json answers = Json::array();
    const Json none = Json::array();
    for (const Json& wanted : a.contains("breakpoints") ? a["breakpoints"] : none) {
        wanted.at("line").get<int64_t>(); // a line that is no number is refused
        const int64_t asked = boundedNumber(wanted, "line") + lineBase_;
        Json answer{{"id", nextBreakpointId_}, {"verified", false}, {"line", clientLine(int(std::clamp<int64_t>(asked, 0, INT32_MAX)))}};
        std::string error = "no source map: give the launch a sourceMap (.cdb or .lst)";
        std::optional<ResolvedLine> resolved;
        if (map && asked > 0 && asked <= UINT32_MAX) resolved = map->resolveLine(path, uint32_t(asked), &error);
        else if (map) error = "no line " + std::to_string(asked);
        LineBreakpoint kept1{nextBreakpointId_++, {}, {}};
        if (auto problem = readRule(wanted, kept1.rule)) {
            error = *problem;
            resolved.reset();
        }
        if (resolved) {
            for (uint16_t address : resolved->addresses)
                if (address <= codeLimit) kept1.addresses.push_back(address);
            if (kept1.addresses.empty()) {
                error = map->text(resolved->where) + " has its code beyond the program memory";
            } else {
                answer["verified"] = true;
                answer["line"] = clientLine(int(resolved->where.line));
                answer["source"] = Json{{"path", sourcePath(map->files()[resolved->where.file])}};
                if (resolved->where.line != asked)
                    answer["message"] = "line " + std::to_string(asked) + " has no code; the breakpoint is at line " +
                                        std::to_string(resolved->where.line);
                error.clear();
            }
        }
        if (!error.empty()) answer["message"] = error;
        kept.push_back(std::move(kept1));
        answers.push_back(std::move(answer));
    }
    lineBreakpoints_[path] = std::move(kept);
    applyCodeBreaks();
    return {Json{{"breakpoints", answers}}};
}

std::optional<std::string> DapServer::readRule(const Json& wanted, CodeBreak& rule) {
    for (auto [name, text] :
         {std::pair{"condition", &rule.condition}, std::pair{"hitCondition", &rule.hitCondition},
          std::pair{"logMessage", &rule.logMessage}})
        if (wanted.contains(name)) *text = wanted[name].get<std::string>();
    return DebugSession::codeBreakProblem(rule);
}

void DapServer::applyCodeBreaks() {
    // A breakpoint kept from before keeps its hits.
    std::map<int, uint64_t> hits;
    const std::vector<CodeBreak>& before = debug().codeBreaks();
    for (size_t i = 0; i < before.size() && i < codeBreakIds_.size(); ++i)
        hits[codeBreakIds_[i]] = before[i].hits;
    std::vector<CodeBreak> breaks;
    codeBreakIds_.clear();
    const auto add = [&](const LineBreakpoint& b) {
        for (uint16_t address : b.addresses) {
            breaks.push_back(b.rule);
            breaks.back().address = address;
            breaks.back().hits = hits[b.id];
            codeBreakIds_.push_back(b.id);
        }
    };
    for (const auto& [file, list] : lineBreakpoints_)
        std::for_each(list.begin(), list.end(), add);
    std::for_each(functionBreakpoints_.begin(), functionBreakpoints_.end(), add);
    std::for_each(instructionBreakpoints_.begin(), instructionBreakpoints_.end(), add);
    debug().setCodeBreaks(std::move(breaks));
    stopConditionsChanged();
}

void DapServer::stopConditionsChanged() {
    if (!running_) return;
    // A run under way takes the session's stop conditions as it started:
    // the server's own run ends its slice and goes on under the new ones,
    // the host's run is redirected by the host.
    if (host_) host_->stopConditionsChanged();
    else restartRun_ = true;
}

DapServer::Reply DapServer::setFunctionBreakpoints(const Json& a) {
    std::vector<LineBreakpoint> kept;
    Json answers = Json::array();
    for (const Json& wanted : a.at("breakpoints")) {
        const std::string name = wanted.at("name").get<std::string>();
        LineBreakpoint b{nextBreakpointId_++, {}, {}};
        Json answer{{"id", b.id}, {"verified", false}};
        std::optional<std::string> problem = readRule(wanted, b.rule);
        const std::optional<uint16_t> address = debug().functionAddress(name);
        if (!problem && !address)
            problem = "no function or label '" + name + "' in the program's symbols";
        if (problem) {
            answer["message"] = *problem;
        } else {
            b.addresses.push_back(*address);
            answer["verified"] = true;
            answer["instructionReference"] = hex(*address, 4);
        }
        kept.push_back(std::move(b));
        answers.push_back(std::move(answer));
    }
    functionBreakpoints_ = std::move(kept);
    applyCodeBreaks();
    return {Json{{"breakpoints", answers}}};
}

DapServer::Reply DapServer::setInstructionBreakpoints(const Json& a) {
    std::vector<LineBreakpoint> kept;
    Json answers = Json::array();
    for (const Json& wanted : a.at("breakpoints")) {
        std::string reference = wanted.at("instructionReference").get<std::string>();
        const int64_t offset = boundedNumber(wanted, "offset");
        LineBreakpoint b{nextBreakpointId_++, {}, {}};
        Json answer{{"id", b.id}, {"verified", false}};
        std::optional<std::string> problem = readRule(wanted, b.rule);
        // "0x0123" or "code:0123".
        if (reference.starts_with("0x") || reference.starts_with("0X"))
            reference = "code:" + reference.substr(2);
        std::string error;
        const std::optional<SpaceAddress> start = parseSpaceAddress(reference, error);
        const int64_t address = start ? int64_t(start->address) + offset : -1;
        if (!problem && !start) problem = error;
        if (!problem && (start->space != AddressSpace::Code || address < 0 ||
                         address > machine().chip.codeLimit))
            problem = "'" + reference + "' is not an address of program memory";
        if (problem) {
            answer["message"] = *problem;
        } else {
            b.addresses.push_back(uint16_t(address));
            answer["verified"] = true;
            answer["instructionReference"] = hex(uint32_t(address), 4);
        }
        kept.push_back(std::move(b));
        answers.push_back(std::move(answer));
    }
    instructionBreakpoints_ = std::move(kept);
    applyCodeBreaks();
    return {Json{{"breakpoints", answers}}};
}

DapServer::Reply DapServer::setExceptionBreakpoints(const Json& a) {
    std::vector<ExceptionStop> stops;
    Json answers = Json::array();
    for (const Json& filter : a.at("filters")) {
        const std::string name = filter.get<std::string>();
        const auto info = std::find_if(exceptionStopTable().begin(), exceptionStopTable().end(),
                                       [&](const ExceptionStopInfo& i) { return i.name == name; });
        if (info == exceptionStopTable().end()) return {{}, "no exception filter '" + name + "'"};
        stops.push_back(info->stop);
        answers.push_back(Json{{"verified", true}});
    }
    debug().setExceptionStops(std::move(stops));
    stopConditionsChanged();
    return {Json{{"breakpoints", answers}}};
}

DapServer::Reply DapServer::exceptionInfo(const Json&) {
    const DebugRun& run = debug().lastRun();
    if (!run.exception) return {{}, "the program did not stop at an exception"};
    const ExceptionStopInfo& info = exceptionStopTable()[size_t(*run.exception)];
    return {Json{{"exceptionId", info.name}, {"description", run.exceptionText}, {"breakMode", "always"}}};
}

DapServer::Reply DapServer::configurationDone(const Json&) {
    if (configured_) return {{}, "'configurationDone' was already sent"};
    configured_ = true;
    // Attached: the program is where the simulator has it, running or not.
    if (host_) {
        afterResponse_ = [this] {
            if (host_->running()) return hostRunStarted();
            sendEvent("stopped", {{"reason", "entry"},
                                  {"description", "attached to the simulator"},
                                  {"threadId", kThreadId},
                                  {"allThreadsStopped", true}});
        };
        return {};
    }
    afterResponse_ = [this] { startProgram(); };
    return {};
}

DapServer::Reply DapServer::threads(const Json&) {
    return {Json{{"threads", Json::array({Json{{"id", kThreadId}, {"name", "8051"}}})}}};
}

// ---- where the program is

Json DapServer::stackFrame(size_t index) const {
    const std::vector<StackEntry> stack = debug().stack();
    const StackEntry& entry = stack[index];
    std::string name = entry.function.empty() ? hex(entry.pc, 4) : entry.function;
    if (entry.interrupt) name += " [interrupt]";
    if (!entry.known) name += " [return address overwritten]";
    Json frame{{"id", index},
               {"name", name},
               {"line", 0},
               {"column", 0},
               {"instructionPointerReference",
                spaceAddressText(SpaceAddress{AddressSpace::Code, entry.pc})}};
    if (!entry.file.empty()) {
        const std::string path = sourcePath(entry.file);
        frame["source"] = Json{{"name", fs::path(path).filename().string()}, {"path", path}};
        frame["line"] = clientLine(entry.line);
        frame["column"] = 1 - lineBase_;
    }
    return frame;
}

DapServer::Reply DapServer::stackTrace(const Json& a) {
    const size_t total = debug().stack().size();
    const size_t start = size_t(std::clamp<int64_t>(a.value("startFrame", int64_t(0)), 0, int64_t(total)));
    const int64_t levels = a.value("levels", int64_t(0));
    const size_t end = levels > 0 ? std::min(total, start + size_t(std::min<int64_t>(levels, int64_t(total)))) : total;
    Json frames = Json::array();
    for (size_t i = start; i < end; ++i) frames.push_back(stackFrame(i));
    return {Json{{"stackFrames", frames}, {"totalFrames", total}}};
}

int DapServer::addReference(Reference reference) {
    references_.push_back(std::move(reference));
    return int(references_.size());
}

DapServer::Reply DapServer::scopes(const Json& a) {
    const int64_t frame = a.at("frameId").get<int64_t>();
    if (frame < 0 || size_t(frame) >= debug().stack().size()) return {{}, "no stack frame " + std::to_string(frame)};
    Json list = Json::array();
    for (const auto& [name, kind] :
         {std::pair{"Locals", Container::Locals}, std::pair{"Globals", Container::Globals},
          std::pair{"Registers", Container::Registers}, std::pair{"SFRs", Container::Sfrs},
          std::pair{"Board", Container::Board}}) {
        list.push_back(Json{{"name", name}, {"variablesReference", addReference({kind, size_t(frame), {}})},
                            {"expensive", false}});
        if (kind == Container::Locals) list.back()["presentationHint"] = "locals";
        if (kind == Container::Registers) list.back()["presentationHint"] = "registers";
    }
    return {Json{{"scopes", list}}};
}

std::optional<Json> DapServer::registerValue(std::string_view asked) const {
    std::string name = lower(asked);
    if (name == "acc") name = "a";
    const ChipState& chip = machine().chip;
    for (size_t i = 0; i < kRegisterNames.size(); ++i) {
        if (name != lower(kRegisterNames[i])) continue;
        if (i < 8) return Json(hex(chip.iram[chip.bankBase() + i], 2));
        switch (i) {
        case 8: return Json(hex(chip.acc(), 2));
        case 9: return Json(hex(chip.sfr(0xF0), 2));
        case 10: return Json(hex(chip.psw(), 2));
        case 11: return Json(hex(chip.dptr(), 4));
        case 12: return Json(hex(chip.sfr(0x81), 2));
        default: return Json(hex(chip.pc, 4));
        }
    }
    // An SFR by its name, read without the side effects of an instruction's read.
    std::string upperName(asked);
    for (char& c : upperName)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (const std::optional<uint8_t> address = lookupDirectName(upperName))
        return Json(
            hex(debug().readMemory(SpaceAddress{AddressSpace::Sfr, *address}, 1).at(0), 2));
    return std::nullopt;
}

Json DapServer::variable(const std::string& name, const std::string& expression, size_t frame) {
    Json v{{"name", name}, {"evaluateName", expression}, {"variablesReference", 0}};
    const CEvaluation e = debug().evaluate(expression, frame);
    if (!e.value) {
        v["value"] = "error: " + e.error;
        return v;
    }
    const CVariables& variables = *debug().variables();
    v["value"] = variables.format(machine(), *e.value);
    v["type"] = typeName(e.value->type);
    if (!variables.children(machine(), *e.value).empty())
        v["variablesReference"] = addReference({Container::Parts, frame, expression});
    if (auto reference = memoryReference(*e.value)) v["memoryReference"] = *reference;
    return v;
}

DapServer::Reply DapServer::variables(const Json& a) {
    const int64_t id = a.at("variablesReference").get<int64_t>();
    if (id < 1 || size_t(id) > references_.size()) return {{}, "no variables reference " + std::to_string(id)};
    return listVariables(references_[size_t(id - 1)]);
}

Json DapServer::sfrBits(uint8_t address) {
    const uint8_t value =
        debug().readMemory(SpaceAddress{AddressSpace::Sfr, address}, 1).at(0);
    Json list = Json::array();
    for (int bit = 7; bit >= 0; --bit)
        list.push_back(Json{{"name", bitName(uint8_t(address + bit))},
                            {"value", std::to_string(value >> bit & 1)},
                            {"variablesReference", 0}});
    return list;
}

namespace {

// Memory as rows of 16 bytes: "0010" = "FF FF ...".
Json byteRows(std::span<const uint8_t> bytes) {
    Json rows = Json::array();
    for (size_t row = 0; row < bytes.size(); row += 16) {
        std::string text;
        for (size_t i = row; i < std::min(bytes.size(), row + 16); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%s%02X", i == row ? "" : " ", bytes[i]);
            text += byte;
        }
        char name[8];
        std::snprintf(name, sizeof name, "%04zX", row);
        rows.push_back(Json{{"name", name}, {"value", text}, {"variablesReference", 0}});
    }
    return rows;
}

Json shown(std::string name, std::string value) {
    return Json{{"name", std::move(name)}, {"value", std::move(value)}, {"variablesReference", 0}};
}

std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

} // namespace

Json DapServer::boardParts() {
    const Machine& m = machine();
    const ModuleSettings& settings = m.modules.settings;
    const auto part = [this](std::string name, std::string value, std::string which) {
        Json v = shown(std::move(name), std::move(value));
        v["variablesReference"] = addReference({Container::BoardPart, 0, std::move(which)});
        return v;
    };
    Json list = Json::array();
    std::string lcd;
    for (int row = 0; row < lcdGeometry(settings.LcdOptions).rows; ++row)
        lcd += (row ? " | " : "") + lcdRowText(m.modules.lcd, settings.LcdOptions, row);
    list.push_back(part("LCD", inQuotes(lcd), "lcd"));
    LedDigitMemory memory = m.modules.ledDigitMemory;
    const LedEvaluation leds = evaluateLeds(settings, m.chip.portLatches(), memory, true);
    list.push_back(part("LEDs", std::to_string(std::popcount(leds.pointLit)) + " of " +
                                    std::to_string(std::popcount(leds.pointConnected)) + " lit",
                        "leds"));
    std::string digits;
    for (int d = 0; d < leds.digitCount; ++d) digits += cli::segmentText(leds.digits[size_t(d)]);
    list.push_back(part("Seven-segment digits", inQuotes(digits), "digits"));
    list.push_back(part("Keys", "", "keys"));
    const IicEepromTypeInfo& iic = iicEepromTypeInfo(iicEepromType(settings.iic));
    list.push_back(part(std::string("IIC EEPROM ") + iic.name, std::to_string(iic.size) + " bytes", "iic"));
    const int spiType = spiEepromType(settings.spi);
    list.push_back(part(std::string("SPI EEPROM ") + spiEepromTypeName(spiType),
                        std::to_string(spiEepromSize(spiType)) + " bytes", "spi"));
    list.push_back(part("RTC", std::to_string(kRtcMemorySize) + " bytes", "rtc"));
    return list;
}

Json DapServer::boardPart(const std::string& which) {
    const Machine& m = machine();
    const ModuleSettings& settings = m.modules.settings;
    Json list = Json::array();
    if (which == "lcd") {
        for (int row = 0; row < lcdGeometry(settings.LcdOptions).rows; ++row)
            list.push_back(shown("line " + std::to_string(row + 1),
                                 inQuotes(lcdRowText(m.modules.lcd, settings.LcdOptions, row))));
    } else if (which == "leds" || which == "digits") {
        LedDigitMemory memory = m.modules.ledDigitMemory;
        const LedEvaluation leds = evaluateLeds(settings, m.chip.portLatches(), memory, true);
        if (which == "leds") {
            for (int pin = 0; pin < 32; ++pin)
                if (leds.pointConnected >> pin & 1u)
                    list.push_back(shown(pinRefName(pinRefFromIndex(pin)), leds.pointLit >> pin & 1u ? "on" : "off"));
        } else {
            for (int d = 0; d < leds.digitCount; ++d)
                list.push_back(shown("digit " + std::to_string(d + 1),
                                     inQuotes(cli::segmentText(leds.digits[size_t(d)])) + " (segments " +
                                         hex(leds.digits[size_t(d)], 2) + ")"));
        }
    } else if (which == "keys") {
        // A momentary key is pressed while its line is at its pressed level;
        // a toggle key shows its line's level.
        for (int pin = 0; pin < 32; ++pin) {
            const int port = pin / 8, bit = pin % 8;
            const bool level = m.chip.pins.level(pin);
            const std::string name = settings.KeyNames[size_t(pin)].data();
            if (settings.KeyMomentary[size_t(port)] >> bit & 1u)
                list.push_back(shown(name, level == bool(settings.KeyMomentaryLevel[size_t(port)] >> bit & 1u)
                                               ? "pressed" : "released"));
            else if (settings.KeyToggle[size_t(port)] >> bit & 1u)
                list.push_back(shown(name, std::string("toggle, line at ") + (level ? "1" : "0")));
        }
        if (settings.KeypadType)
            list.push_back(shown("keypad", m.modules.keypad.KeypadPressed
                                               ? "row " + std::to_string(m.modules.keypad.keyRow + 1) + ", column " +
                                                     std::to_string(m.modules.keypad.keyColumn + 1)
                                               : "no key held"));
    } else if (which == "iic") {
        const uint16_t size = iicEepromTypeInfo(iicEepromType(settings.iic)).size;
        list = byteRows(std::span(m.modules.iic.eeprom.EepromMemory).first(size));
    } else if (which == "spi") {
        const size_t size = size_t(spiEepromSize(spiEepromType(settings.spi)));
        list = byteRows(std::span(m.modules.spiEeprom.memory).first(size));
    } else if (which == "rtc") {
        list = byteRows(m.modules.iic.rtc.RtcMemory);
    }
    return list;
}

DapServer::Reply DapServer::listVariables(Reference reference) {
    Json list = Json::array();
    switch (reference.kind) {
    case Container::Locals:
        for (const std::string& name : debug().localNames(reference.frame))
            list.push_back(variable(name, name, reference.frame));
        break;
    case Container::Globals:
        for (const std::string& name : debug().globalNames()) list.push_back(variable(name, name, 0));
        break;
    case Container::Registers:
        for (std::string_view name : kRegisterNames) {
            list.push_back(Json{{"name", name},
                                {"value", *registerValue(name)},
                                {"evaluateName", name},
                                {"variablesReference", 0}});
            // PSW opens to its flags.
            if (name == "PSW")
                list.back()["variablesReference"] = addReference({Container::Bits, 0, {}, 0xD0});
        }
        break;
    case Container::Sfrs:
        for (uint8_t address : namedSfrs()) {
            const std::string name = directDisplayName(address);
            list.push_back(Json{
                {"name", name},
                {"value", *registerValue(name)},
                {"evaluateName", name},
                {"variablesReference", 0},
                {"memoryReference", spaceAddressText(SpaceAddress{AddressSpace::Sfr, address})}});
            // A bit-addressable SFR opens to its bits.
            if (address % 8 == 0)
                list.back()["variablesReference"] = addReference({Container::Bits, 0, {}, address});
        }
        break;
    case Container::Bits: list = sfrBits(reference.sfr); break;
    case Container::Board: list = boardParts(); break;
    case Container::BoardPart: list = boardPart(reference.expression); break;
    case Container::Parts: {
        const CEvaluation e = debug().evaluate(reference.expression, reference.frame);
        if (!e.value) return {{}, e.error};
        for (const CValue& part : debug().variables()->children(machine(), *e.value))
            list.push_back(variable(partName(reference.expression, part.expression), part.expression, reference.frame));
        break;
    }
    }
    return {Json{{"variables", list}}};
}

std::optional<std::string> DapServer::targetOf(const Json& id, const std::string& name,
                                               std::string& error) {
    if (id.is_null()) return name;
    const int64_t n = id.get<int64_t>();
    if (n < 1 || size_t(n) > references_.size()) {
        error = "no variables reference " + std::to_string(n);
        return std::nullopt;
    }
    const Reference reference = references_[size_t(n - 1)];
    char place[16];
    switch (reference.kind) {
    case Container::Locals:
    case Container::Globals: return name;
    case Container::Registers: {
        const auto row = std::find(kRegisterNames.begin(), kRegisterNames.end(), name);
        const size_t index = size_t(row - kRegisterNames.begin());
        if (index < 8) {
            std::snprintf(place, sizeof place, "iram:%02X",
                          machine().chip.bankBase() + unsigned(index));
            return std::string(place);
        }
        // A, B, PSW and SP are SFRs; DPTR and PC are taken by their names.
        if (name == "A") return std::string("sfr:ACC");
        if (name == "B" || name == "PSW" || name == "SP") return "sfr:" + name;
        return name;
    }
    case Container::Sfrs: return "sfr:" + name;
    case Container::Board:
    case Container::BoardPart: error = "the board's parts are shown, not written"; return std::nullopt;
    case Container::Bits:
        for (int bit = 0; bit < 8; ++bit)
            if (bitName(uint8_t(reference.sfr + bit)) == name) {
                std::snprintf(place, sizeof place, "bit:%02X", reference.sfr + bit);
                return std::string(place);
            }
        break;
    case Container::Parts: {
        const CEvaluation e = debug().evaluate(reference.expression, reference.frame);
        if (!e.value) {
            error = e.error;
            return std::nullopt;
        }
        for (const CValue& part :
             debug().variables()->children(machine(), *e.value))
            if (partName(reference.expression, part.expression) == name) return part.expression;
        break;
    }
    }
    error = "no variable '" + name + "' here";
    return std::nullopt;
}

DapServer::Reply DapServer::evaluate(const Json& a) {
    const std::string expression = a.at("expression").get<std::string>();
    const int64_t frame = a.value("frameId", int64_t(0));
    if (frame < 0 || size_t(frame) >= debug().stack().size()) return {{}, "no stack frame " + std::to_string(frame)};
    const CEvaluation e = debug().evaluate(expression, size_t(frame));
    if (!e.value) {
        if (auto value = registerValue(expression)) return {Json{{"result", *value}, {"variablesReference", 0}}};
        return {{}, e.error};
    }
    Json v = variable(expression, expression, size_t(frame));
    Json body{{"result", v["value"]}, {"type", v["type"]}, {"variablesReference", v["variablesReference"]}};
    if (v.contains("memoryReference")) body["memoryReference"] = v["memoryReference"];
    return {body};
}

DapServer::Reply DapServer::setVariable(const Json& a) {
    const std::string name = a.at("name").get<std::string>();
    const std::string value = a.at("value").get<std::string>();
    std::string error;
    const Json id = a.at("variablesReference");
    const std::optional<std::string> target = targetOf(id, name, error);
    if (!target) return {{}, error};
    const Reference reference = references_[size_t(id.get<int64_t>() - 1)];
    if (Validation refused = debug().assign(*target, value, reference.frame))
        return {{}, refused->text};
    // The value as the container lists it now.
    const Reply listed = listVariables(reference);
    for (const Json& v : listed.body.value("variables", Json::array()))
        if (v["name"] == name) {
            Json body{{"value", v["value"]}, {"variablesReference", v["variablesReference"]}};
            if (v.contains("type")) body["type"] = v["type"];
            return {body};
        }
    return {{}, listed.error.empty() ? "'" + name + "' is gone after the write" : listed.error};
}

DapServer::Reply DapServer::setExpression(const Json& a) {
    const std::string expression = a.at("expression").get<std::string>();
    const std::string value = a.at("value").get<std::string>();
    const int64_t frame = a.value("frameId", int64_t(0));
    if (frame < 0 || size_t(frame) >= debug().stack().size())
        return {{}, "no stack frame " + std::to_string(frame)};
    if (Validation refused = debug().assign(expression, value, size_t(frame)))
        return {{}, refused->text};
    Reply shown = evaluate(Json{{"expression", expression}, {"frameId", frame}});
    if (shown.error.empty()) shown.body["value"] = shown.body["result"];
    return shown;
}

// ---- data breakpoints: the session's watchpoints

DapServer::Reply DapServer::dataBreakpointInfo(const Json& a) {
    const std::string name = a.at("name").get<std::string>();
    std::string error;
    const std::optional<std::string> target =
        targetOf(a.value("variablesReference", Json()), name, error);
    if (!target) return {{}, error};
    if (Validation refused = debug().watchable(*target))
        return {Json{{"dataId", nullptr}, {"description", refused->text}}};
    return {Json{{"dataId", *target},
                 {"description", "a write to " + *target},
                 {"accessTypes", {"write"}},
                 {"canPersist", false}}};
}

DapServer::Reply DapServer::setDataBreakpoints(const Json& a) {
    // Read whole before anything changes.
    std::vector<std::string> wanted;
    for (const Json& b : a.at("breakpoints"))
        wanted.push_back(b.at("dataId").get<std::string>());
    debug().clearWatchpoints();
    dataBreakpoints_.clear();
    Json answers = Json::array();
    for (const std::string& text : wanted) {
        const size_t first = debug().watchpoints().places().size();
        Json answer{{"id", nextBreakpointId_}, {"verified", true}};
        if (Validation refused = debug().watch(text)) {
            answer["verified"] = false;
            answer["message"] = refused->text;
        } else {
            dataBreakpoints_.push_back(
                {nextBreakpointId_, first, debug().watchpoints().places().size(), text});
        }
        ++nextBreakpointId_;
        answers.push_back(std::move(answer));
    }
    stopConditionsChanged();
    return {Json{{"breakpoints", answers}}};
}

// ---- disassembly and goto

DapServer::Reply DapServer::disassemble(const Json& a) {
    std::string reference = a.at("memoryReference").get<std::string>();
    if (reference.starts_with("0x") || reference.starts_with("0X"))
        reference = "code:" + reference.substr(2);
    std::string error;
    const std::optional<SpaceAddress> start = parseSpaceAddress(reference, error);
    if (!start) return {{}, error};
    if (start->space != AddressSpace::Code)
        return {{}, "'" + reference + "' is not an address of program memory"};
    const int64_t count = a.at("instructionCount").get<int64_t>();
    if (count < 0 || count > kMaxMemoryRead)
        return {{}, "instructionCount must be 0 to " + std::to_string(kMaxMemoryRead)};
    const int64_t first = int64_t(start->address) + boundedNumber(a, "offset");
    int64_t skip = boundedNumber(a, "instructionOffset");
    if (first < 0 || first > 0xFFFF) return {{}, "the address lies outside program memory"};
    const ChipState& chip = machine().chip;
    // Instructions before the address: decoded from far enough back that
    // the decoding has come into step with the program's (an instruction is
    // at most 3 bytes).
    uint32_t address = uint32_t(first);
    if (skip < 0) {
        std::vector<uint32_t> before;
        for (uint32_t at = uint32_t(std::max<int64_t>(0, first + 3 * skip - 16));
             at < uint32_t(first); at = disassembleAt(chip, uint16_t(at), ViewMode::Normal).next)
            before.push_back(at);
        const size_t back = std::min(before.size(), size_t(-skip));
        address = back ? before[before.size() - back] : uint32_t(first);
        skip = 0;
    }
    for (; skip > 0 && address <= 0xFFFF; --skip)
        address = disassembleAt(chip, uint16_t(address), ViewMode::Normal).next;
    const SourceMap* map = debug().sourceMap();
    Json list = Json::array();
    for (int64_t i = 0; i < count && address <= 0xFFFF; ++i) {
        const DisassembledLine line = disassembleAt(chip, uint16_t(address), ViewMode::Normal);
        std::string bytes;
        for (int b = 0; b < line.length; ++b) {
            char text[4];
            std::snprintf(text, sizeof text, "%s%02X", b ? " " : "",
                          chip.readCode(uint16_t(address + uint32_t(b))));
            bytes += text;
        }
        Json instruction{{"address", hex(address, 4)},
                         {"instructionBytes", bytes},
                         {"instruction", mnemonicPart(line.text)}};
        if (address > chip.codeLimit) instruction["presentationHint"] = "invalid";
        if (map) {
            if (const SourceFunction* f = map->functionAt(uint16_t(address));
                f && f->start == address)
                instruction["symbol"] = f->name;
            if (const std::optional<SourceLocation> where = map->locationAt(uint16_t(address))) {
                instruction["location"] = Json{{"path", sourcePath(map->files()[where->file])}};
                instruction["line"] = clientLine(int(where->line));
            }
        }
        list.push_back(std::move(instruction));
        address = line.next;
    }
    return {Json{{"instructions", list}}};
}

std::optional<std::string> DapServer::clientSource(const Json& source) {
    if (source.contains("path")) return source["path"].get<std::string>();
    if (source.contains("name")) return source["name"].get<std::string>();
    return std::nullopt;
}

DapServer::Reply DapServer::gotoTargets(const Json& a) {
    const std::optional<std::string> path = clientSource(a.at("source"));
    if (!path || path->empty()) return {{}, "gotoTargets needs the source's path"};
    a.at("line").get<int64_t>(); // a line that is no number is refused
    const int64_t asked = boundedNumber(a, "line") + lineBase_;
    const SourceMap* map = debug().sourceMap();
    if (!map) return {{}, "no source map: give the launch a sourceMap (.cdb or .lst)"};
    if (asked <= 0 || asked > UINT32_MAX) return {{}, "no line " + std::to_string(asked)};
    std::string error;
    const std::optional<ResolvedLine> resolved = map->resolveLine(*path, uint32_t(asked), &error);
    if (!resolved) return {{}, error};
    Json targets = Json::array();
    // A target's id is its address + 1 (ids are not 0).
    for (uint16_t address : resolved->addresses)
        targets.push_back(
            Json{{"id", int(address) + 1},
                 {"label", map->text(resolved->where) + " (" + hex(address, 4) + ")"},
                 {"line", clientLine(int(resolved->where.line))},
                 {"instructionPointerReference", spaceAddressText({AddressSpace::Code, address})}});
    return {Json{{"targets", targets}}};
}

DapServer::Reply DapServer::gotoLine(const Json& a) {
    if (auto why = notRunnable()) return {{}, *why};
    const int64_t id = a.at("targetId").get<int64_t>();
    if (id < 1 || id > 0x10000) return {{}, "no goto target " + std::to_string(id)};
    if (Validation refused = debug().assign("PC", std::to_string(id - 1)))
        return {{}, refused->text};
    references_.clear();
    afterResponse_ = [this] {
        sendEvent("stopped",
                  {{"reason", "goto"}, {"threadId", kThreadId}, {"allThreadsStopped", true}});
    };
    return {};
}

// ---- memory

DapServer::Reply DapServer::readMemory(const Json& a) {
    std::string error;
    const std::optional<SpaceAddress> start = parseSpaceAddress(a.at("memoryReference").get<std::string>(), error);
    if (!start) return {{}, error};
    const int64_t count = a.at("count").get<int64_t>();
    if (count < 0 || count > kMaxMemoryRead)
        return {{}, "count must be 0 to " + std::to_string(kMaxMemoryRead)};
    const int64_t address = int64_t(start->address) + boundedNumber(a, "offset");
    std::vector<uint8_t> bytes;
    if (address >= 0 && address <= 0xFFFF)
        bytes = debug().readMemory(SpaceAddress{start->space, uint16_t(address)}, size_t(count));
    Json body{{"address", hex(uint32_t(std::clamp<int64_t>(address, 0, 0xFFFFFFFF)), 4)}, {"data", base64(bytes)}};
    if (int64_t(bytes.size()) < count) body["unreadableBytes"] = count - int64_t(bytes.size());
    return {body};
}

DapServer::Reply DapServer::writeMemory(const Json& a) {
    std::string error;
    const std::optional<SpaceAddress> start = parseSpaceAddress(a.at("memoryReference").get<std::string>(), error);
    if (!start) return {{}, error};
    const int64_t address = int64_t(start->address) + boundedNumber(a, "offset");
    if (address < 0 || address > 0xFFFF) return {{}, "the address lies outside the space"};
    const std::optional<std::vector<uint8_t>> bytes = fromBase64(a.at("data").get<std::string>());
    if (!bytes) return {{}, "the data is not base64"};
    if (Validation refused = debug().writeMemory(SpaceAddress{start->space, uint16_t(address)}, *bytes))
        return {{}, refused->text};
    // New code may hold new instructions an exception stop looks at.
    if (start->space == AddressSpace::Code && !debug().exceptionStops().empty())
        debug().setExceptionStops(debug().exceptionStops());
    return {Json{{"bytesWritten", bytes->size()}}};
}

// ---- running

std::optional<std::string> DapServer::notRunnable() const {
    if (!configured_) return "the program starts after 'configurationDone'";
    if (terminated_) return "the program has ended";
    return std::nullopt;
}

DapServer::Reply DapServer::continueRun(const Json&) {
    if (auto why = notRunnable()) return {{}, *why};
    if (host_) {
        references_.clear();
        pauseAsked_ = false;
        running_ = true; // the host's notice of the start is this run's
        if (auto refused = host_->startRun()) {
            running_ = false;
            return {{}, *refused};
        }
    } else {
        afterResponse_ = [this] { runProgram(true); };
    }
    return {Json{{"allThreadsContinued", true}}};
}

DapServer::Reply DapServer::startStep(const Json& a, int kind) {
    if (auto why = notRunnable()) return {{}, *why};
    const bool instruction = a.value("granularity", std::string()) == "instruction";
    afterResponse_ = [this, kind, instruction] {
        references_.clear();
        const auto unit = instruction ? DebugSession::StepUnit::Instruction : DebugSession::StepUnit::Line;
        if (host_) host_->step(SourceStep(kind), unit);
        else debug().step(SourceStep(kind), unit);
        flushUart();
        reportStop(int(debug().lastRun().stop), false);
    };
    return {};
}

DapServer::Reply DapServer::next(const Json& a) { return startStep(a, int(SourceStep::Over)); }
DapServer::Reply DapServer::stepIn(const Json& a) { return startStep(a, int(SourceStep::Into)); }
DapServer::Reply DapServer::stepOut(const Json& a) { return startStep(a, int(SourceStep::Out)); }

DapServer::Reply DapServer::stepBack(const Json& a) {
    if (auto why = notRunnable()) return {{}, *why};
    const DebugSession::StepUnit unit = a.value("granularity", std::string()) == "instruction"
                                            ? DebugSession::StepUnit::Instruction
                                            : DebugSession::StepUnit::Line;
    const auto move = [unit](DebugSession& session) { return session.stepBackOver(unit); };
    const Validation refused = host_ ? host_->travel(move) : move(debug());
    // What the replay transmitted was said when it first happened.
    uartBytes_.clear();
    references_.clear();
    if (refused) return {{}, refused->text};
    afterResponse_ = [this] { reportStop(int(DebugStop::Step), false); };
    return {};
}

DapServer::Reply DapServer::reverseContinue(const Json&) {
    if (auto why = notRunnable()) return {{}, *why};
    ReverseRun reverse;
    const auto move = [&reverse](DebugSession& session) {
        reverse = session.runBackwards();
        return reverse.refused;
    };
    if (host_)
        host_->travel(move);
    else
        move(debug());
    uartBytes_.clear();
    references_.clear();
    if (reverse.refused) return {{}, reverse.refused->text};
    afterResponse_ = [this, hit = reverse.hit] {
        if (hit) return reportStop(int(hit->stop), false);
        sendEvent("stopped", {{"reason", "entry"},
                              {"description", "the start of the recorded history"},
                              {"threadId", kThreadId},
                              {"allThreadsStopped", true}});
    };
    return {};
}

DapServer::Reply DapServer::pause(const Json&) {
    if (running_) pauseAsked_ = true;
    if (host_ && running_) afterResponse_ = [this] { host_->stopRun(); };
    return {};
}

void DapServer::hostRunStarted() {
    if (!configured_ || terminated_ || ended_ || std::exchange(running_, true)) return;
    references_.clear();
    sendEvent("continued", {{"threadId", kThreadId}, {"allThreadsContinued", true}});
}

void DapServer::hostRunEnded(StopReason reason) {
    if (!configured_ || terminated_ || ended_) return;
    RunLimits limits;
    limits.log = [this](const std::string& text) { sendEvent("output", {{"category", "console"}, {"output", text}}); };
    bool goesOn = false;
    const DebugRun run = debug().threadRunEnded(reason, limits, goesOn);
    if (goesOn && !pauseAsked_ && !host_->resumeRun()) return;
    running_ = false;
    references_.clear();
    flushUart();
    reportStop(int(run.stop), std::exchange(pauseAsked_, false) || reason == StopReason::User);
}

void DapServer::hostMayHaveMoved() {
    if (!configured_ || terminated_ || ended_ || running_) return;
    if (stoppedAt_ == std::pair(machine().chip.cycleCount(), machine().chip.pc)) return;
    references_.clear();
    flushUart();
    sendEvent("stopped", {{"reason", "step"},
                          {"description", "moved in the simulator"},
                          {"threadId", kThreadId},
                          {"allThreadsStopped", true}});
}

void DapServer::flushUart() {
    if (host_) uartBytes_ += host_->takeTransmitted();
    if (uartBytes_.empty()) return;
    sendEvent("output", {{"category", "stdout"}, {"output", std::exchange(uartBytes_, {})}});
}

void DapServer::runProgram(bool resume) {
    references_.clear();
    RunLimits limits;
    limits.resume = resume;
    limits.batchSteps = runSlice_;
    limits.afterBatch = [this] { flushUart(); };
    // Log points say their messages as the run passes them.
    limits.log = [this](const std::string& text) {
        flushUart();
        sendEvent("output", {{"category", "console"}, {"output", text}});
    };
    // Between slices: the client's messages, up to a pause or the end.
    limits.carryOn = [this] {
        const std::optional<std::string> bytes = poll_ ? poll_() : std::string();
        if (bytes) reader_.feed(*bytes);
        while (!ended_ && !pauseAsked_) {
            const std::optional<Frame> frame = reader_.next();
            if (!frame) break;
            handleFrame(*frame);
        }
        // The client has gone: what it sent before is answered, then the
        // session ends.
        if (!bytes) ended_ = true;
        return !ended_ && !pauseAsked_ && !restartRun_;
    };
    running_ = true;
    pauseAsked_ = false;
    DebugRun run;
    do {
        restartRun_ = false;
        run = debug().run(limits);
        // Going on where the slice ended: the instruction there has not
        // run, and a breakpoint just set on it holds.
        limits.resume = false;
    } while (restartRun_ && run.stop == DebugStop::Interrupted && !ended_ && !pauseAsked_);
    running_ = false;
    flushUart();
    if (std::exchange(restartAsked_, false) && !ended_) {
        pauseAsked_ = false;
        return relaunch();
    }
    if (ended_ || terminated_) return;
    reportStop(int(run.stop), std::exchange(pauseAsked_, false));
}

void DapServer::reportStop(int stopValue, bool paused) {
    const DebugStop stop = DebugStop(stopValue);
    if (stop == DebugStop::PcOutOfRange) {
        terminated_ = true;
        char where[48];
        std::snprintf(where, sizeof where, " (instruction at %04XH)\n", machine().chip.pc);
        sendEvent("output", {{"category", "console"}, {"output", pcExceedsMessage().text + where}});
        sendEvent("exited", {{"exitCode", 4}});
        sendEvent("terminated");
        return;
    }
    // With haltOnSelfJump, a jump to itself with the UART quiet is the
    // program's end, as on the command line (exit status 0).
    if (stop == DebugStop::SelfJump) {
        terminated_ = true;
        sendEvent("exited", {{"exitCode", 0}});
        sendEvent("terminated");
        return;
    }
    Json body{{"threadId", kThreadId}, {"allThreadsStopped", true}};
    switch (stop) {
    case DebugStop::BreakLine: {
        if (const DebugRun& run = debug().lastRun(); run.exception) {
            body["reason"] = "exception";
            body["description"] = exceptionStopTable()[size_t(*run.exception)].label;
            body["text"] = run.exceptionText;
            break;
        }
        body["reason"] = "breakpoint";
        Json hit = Json::array();
        for (size_t index : debug().lastRun().codeBreaks)
            if (index < codeBreakIds_.size()) hit.push_back(codeBreakIds_[index]);
        body["hitBreakpointIds"] = hit;
        break;
    }
    case DebugStop::Watch: {
        body["reason"] = "data breakpoint";
        const DebugRun& run = debug().lastRun();
        if (!run.watch) break;
        const WatchHit& hit = *run.watch;
        char change[96];
        std::snprintf(change, sizeof change,
                      " changed from %02XH to %02XH by the instruction at %04XH", hit.oldValue,
                      hit.newValue, hit.writerPc);
        const std::string place = spaceAddressText(hit.place);
        body["description"] =
            (run.watched == place ? place : run.watched + " (" + place + ")") + change;
        body["text"] = body["description"];
        Json ids = Json::array();
        for (const DataBreakpoint& b : dataBreakpoints_)
            if (size_t(hit.index) >= b.firstPlace && size_t(hit.index) < b.endPlace)
                ids.push_back(b.id);
        body["hitBreakpointIds"] = ids;
        break;
    }
    case DebugStop::Interrupted: body["reason"] = paused ? "pause" : "step"; break;
    default: body["reason"] = "step"; break;
    }
    sendEvent("stopped", std::move(body));
}

DapServer::Reply DapServer::uartInput(const Json& a) {
    if (auto why = notRunnable()) return {{}, *why};
    const std::string text = a.at("text").get<std::string>();
    MachineInput in;
    in.kind = MachineInput::Kind::SerialText;
    in.bytes.assign(text.begin(), text.end());
    if (Validation refused = host_ ? host_->input(in) : debug().input(in)) return {{}, refused->text};
    return {Json{{"bytes", in.bytes.size()}}};
}

DapServer::Reply DapServer::terminate(const Json&) {
    // Attached: the debugging ends, the simulator keeps its program (a run
    // under way stops).
    if (host_) {
        terminated_ = true; // before the run's end, which the client no longer hears of
        if (running_) host_->stopRun();
        running_ = false;
        afterResponse_ = [this] { sendEvent("terminated"); };
        return {};
    }
    pauseAsked_ = running_;
    terminated_ = true;
    afterResponse_ = [this] {
        sendEvent("exited", {{"exitCode", 0}});
        sendEvent("terminated");
    };
    return {};
}

DapServer::Reply DapServer::disconnect(const Json&) {
    // Attached: the simulator goes on as it is, running or not.
    if (host_) {
        afterResponse_ = [this] { ended_ = true; };
        return {};
    }
    afterResponse_ = [this] {
        // The program ends with the session.
        if (session_ && !terminated_) {
            terminated_ = true;
            sendEvent("exited", {{"exitCode", 0}});
            sendEvent("terminated");
        }
        ended_ = true;
    };
    return {};
}

} // namespace quorvel::dap
