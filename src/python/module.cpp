// The `quorvel` Python module's compiled part (quorvel._core): the board
// and its views, each a thin wrapper over python::Board. The package's
// __init__.py re-exports it with the names the stubs (.pyi) describe.
#include "cli/cli_board.h"
#include "settings/snapshot_file.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <fstream>

namespace py = pybind11;
using namespace quorvel;
using namespace quorvel::cli;

namespace {

// The views a board hands out keep their board alive.
struct View {
    std::shared_ptr<Board> board;
};
struct UartView : View {};
struct KeysView : View {};
struct KeypadView : View {};
struct LcdView : View {};
struct RtcView : View {};
struct PartMemory : View {
    std::string part;
};
struct SpaceMemory : View {
    std::string space;
};

// A negative index counts from the end, as Python's sequences do.
int64_t indexIn(int64_t index, size_t size) { return index < 0 ? index + int64_t(size) : index; }

py::object valueOf(const Board& board, const CValue& value) {
    if (!value.type.isScalar()) return py::str(board.formatVariable(value));
    const double v = realOf(value);
    if (value.type.base == CBase::Float && !value.type.isPointer()) return py::float_(v);
    return py::int_(int64_t(v));
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out.flush()) throw BoardError(path + ": cannot write the file");
}

} // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "An 8051 board with its parts, simulated in process.";
    static py::exception<BoardError> error(m, "Error", PyExc_ValueError);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const BoardError& e) {
            error(e.what());
        }
    });

    py::class_<RunStop>(m, "Stop")
        .def_readonly("reason", &RunStop::reason)
        .def_readonly("cycles", &RunStop::cycles)
        .def_readonly("steps", &RunStop::steps)
        .def_readonly("pc", &RunStop::pc)
        .def_property_readonly("matched", [](const RunStop& s) { return py::bytes(s.matched); })
        .def("__eq__", [](const RunStop& s, const std::string& reason) { return s.reason == reason; })
        .def("__eq__", [](const RunStop& a, const RunStop& b) {
            return a.reason == b.reason && a.cycles == b.cycles && a.steps == b.steps && a.pc == b.pc;
        })
        .def("__eq__", [](const RunStop&, const py::object&) { return false; })
        .def("__str__", [](const RunStop& s) { return s.reason; })
        .def("__repr__", [](const RunStop& s) {
            return "Stop(reason='" + s.reason + "', cycles=" + std::to_string(s.cycles) +
                   ", steps=" + std::to_string(s.steps) + ", pc=" + std::to_string(s.pc) + ")";
        });

    py::class_<Frame>(m, "Frame")
        .def_readonly("function", &Frame::function)
        .def_readonly("file", &Frame::file)
        .def_readonly("line", &Frame::line)
        .def_readonly("pc", &Frame::pc)
        .def("__repr__", [](const Frame& f) {
            return "Frame('" + f.function + "', '" + f.file + "', " + std::to_string(f.line) + ")";
        });

    py::class_<MachineSnapshot>(m, "Snapshot")
        .def_property_readonly("hash", [](const MachineSnapshot& s) { return snapshotHash(s); })
        .def_property_readonly("cycles", [](const MachineSnapshot& s) { return s.machine.chip.cycleCount(); });

    py::class_<UartView>(m, "Uart")
        .def("write", [](UartView& u, py::bytes bytes) { u.board->uartWrite(std::string(bytes)); })
        .def("read", [](UartView& u) { return py::bytes(u.board->uartRead()); })
        .def("expect", [](UartView& u, py::bytes pattern, double within_ms) {
                return py::bytes(u.board->uartExpect(std::string(pattern), within_ms));
            }, py::arg("pattern"), py::arg("within_ms") = 1000.0)
        .def_property_readonly("transcript", [](UartView& u) { return py::bytes(u.board->uartTranscript()); })
        .def_property_readonly("pending", [](UartView& u) { return u.board->uartPending(); });

    py::class_<KeysView>(m, "Keys")
        .def("press", [](KeysView& k, const std::string& line, double hold_ms) { k.board->keyPress(line, hold_ms); },
             py::arg("line"), py::arg("hold_ms") = 50.0)
        .def("hold", [](KeysView& k, const std::string& line) { k.board->keyHold(line, true); })
        .def("release", [](KeysView& k, const std::string& line) { k.board->keyHold(line, false); })
        .def("toggle", [](KeysView& k, const std::string& line) { k.board->keyToggle(line); });

    py::class_<KeypadView>(m, "Keypad")
        .def("press", [](KeypadView& k, const std::string& key, double hold_ms) { k.board->keypadPress(key, hold_ms); },
             py::arg("key"), py::arg("hold_ms") = 50.0);

    py::class_<LcdView>(m, "Lcd").def("lines", [](LcdView& l) { return l.board->lcdLines(); });

    py::class_<RtcView>(m, "Rtc")
        .def("set_time", [](RtcView& r, int hour, int minute, int second) { r.board->setRtc(hour, minute, second); },
             py::arg("hour"), py::arg("minute"), py::arg("second"))
        .def("__getitem__", [](RtcView& r, int64_t a) { return r.board->partByte("rtc", indexIn(a, r.board->partSize("rtc"))); })
        .def("__len__", [](RtcView& r) { return r.board->partSize("rtc"); });

    py::class_<PartMemory>(m, "PartMemory")
        .def("__getitem__", [](PartMemory& p, int64_t a) { return p.board->partByte(p.part, indexIn(a, p.board->partSize(p.part))); })
        .def("__getitem__", [](PartMemory& p, py::slice s) {
            size_t start, stop, step, count;
            if (!s.compute(p.board->partSize(p.part), &start, &stop, &step, &count)) throw py::error_already_set();
            std::string out;
            for (size_t i = 0; i < count; ++i) out.push_back(char(p.board->partByte(p.part, int64_t(start + i * step))));
            return py::bytes(out);
        })
        .def("__setitem__", [](PartMemory& p, int64_t a, int v) { p.board->setPartByte(p.part, indexIn(a, p.board->partSize(p.part)), v); })
        .def("__len__", [](PartMemory& p) { return p.board->partSize(p.part); });

    py::class_<SpaceMemory>(m, "Memory")
        .def("__getitem__", [](SpaceMemory& s, int64_t a) { return s.board->memoryByte(s.space, indexIn(a, s.board->memorySize(s.space))); })
        .def("__getitem__", [](SpaceMemory& s, py::slice sl) {
            size_t start, stop, step, count;
            if (!sl.compute(s.board->memorySize(s.space), &start, &stop, &step, &count)) throw py::error_already_set();
            std::string out;
            for (size_t i = 0; i < count; ++i) out.push_back(char(s.board->memoryByte(s.space, int64_t(start + i * step))));
            return py::bytes(out);
        })
        .def("__setitem__", [](SpaceMemory& s, int64_t a, int v) { s.board->setMemoryByte(s.space, indexIn(a, s.board->memorySize(s.space)), v); })
        .def("__len__", [](SpaceMemory& s) { return s.board->memorySize(s.space); });

    py::class_<Board, std::shared_ptr<Board>>(m, "Board")
        .def(py::init([](const std::string& device, uint64_t clock_hz, int xdata_kb, const std::string& code_memory,
                         const std::string& modules, const std::map<std::string, py::object>& pins, bool record_lines,
                         bool record) {
                 BoardConfig c;
                 c.device = device;
                 c.clockHz = clock_hz;
                 c.xdataKB = xdata_kb;
                 c.codeMemory = code_memory;
                 c.modules = modules;
                 for (const auto& [line, setting] : pins) c.pins[line] = py::str(setting);
                 c.recordLines = record_lines;
                 c.record = record;
                 return std::make_shared<Board>(std::move(c));
             }),
             py::kw_only(), py::arg("device") = "AT89C52", py::arg("clock_hz") = 12000000, py::arg("xdata_kb") = 0,
             py::arg("code_memory") = "", py::arg("modules") = "", py::arg("pins") = std::map<std::string, py::object>{},
             py::arg("record_lines") = false, py::arg("record") = true)
        .def("load", [](Board& b, const std::string& path, std::optional<std::string> source_map) {
                b.load(path, source_map.value_or(""));
            }, py::arg("path"), py::arg("source_map") = py::none())
        .def("reset", &Board::reset)
        .def("run", [](Board& b, std::optional<uint64_t> cycles, std::optional<uint16_t> until_pc,
                       std::optional<std::string> until_line, std::optional<std::string> until,
                       std::optional<py::bytes> uart, std::optional<std::pair<std::string, int>> pin,
                       std::optional<double> timeout_ms) {
                RunRequest q;
                q.cycles = cycles;
                q.untilPc = until_pc;
                q.untilLine = until_line.value_or("");
                q.until = until.value_or("");
                if (uart) q.uart = std::string(*uart);
                q.pin = pin;
                q.timeoutMs = timeout_ms;
                return b.run(q);
            }, py::kw_only(), py::arg("cycles") = py::none(), py::arg("until_pc") = py::none(),
            py::arg("until_line") = py::none(), py::arg("until") = py::none(), py::arg("uart") = py::none(),
            py::arg("pin") = py::none(), py::arg("timeout_ms") = py::none())
        .def_property_readonly("uart", [](std::shared_ptr<Board> b) { return UartView{{b}}; })
        .def("pin", &Board::pinLevel)
        .def("set_pin", &Board::setPin, py::arg("name"), py::arg("level"))
        .def("pulse", &Board::pulse, py::arg("name"), py::arg("level") = 0, py::arg("ms") = 1.0)
        .def_property_readonly("lcd", [](std::shared_ptr<Board> b) { return LcdView{{b}}; })
        .def_property_readonly("leds", &Board::leds)
        .def("digits", &Board::digits)
        .def_property_readonly("keys", [](std::shared_ptr<Board> b) { return KeysView{{b}}; })
        .def_property_readonly("keypad", [](std::shared_ptr<Board> b) { return KeypadView{{b}}; })
        .def_property_readonly("iic_eeprom", [](std::shared_ptr<Board> b) { return PartMemory{{b}, "iic-eeprom"}; })
        .def_property_readonly("spi_eeprom", [](std::shared_ptr<Board> b) { return PartMemory{{b}, "spi-eeprom"}; })
        .def_property_readonly("rtc", [](std::shared_ptr<Board> b) { return RtcView{{b}}; })
        .def("var", [](Board& b, const std::string& e) { return valueOf(b, b.variable(e)); })
        .def("memory", [](std::shared_ptr<Board> b, const std::string& space) {
                b->memorySize(space); // a space that does not exist is refused here
                return SpaceMemory{{b}, space};
            })
        .def_property_readonly("registers", &Board::registers)
        .def("set_register", &Board::setRegister, py::arg("name"), py::arg("value"))
        .def_property_readonly("cycles", &Board::cycles)
        .def_property_readonly("time_ms", &Board::timeMs)
        .def("stack", &Board::stack)
        .def("snapshot", &Board::snapshot)
        .def("restore", &Board::restore)
        .def_property("recording", &Board::recording, &Board::setRecording)
        .def("last_write", &Board::lastWrite)
        .def("vcd", [](Board& b, const std::string& path) { writeFile(path, b.vcdText()); })
        .def("profile", [](Board& b, std::optional<bool> on) {
                if (on) b.profile(*on);
                return b.profileCounts();
            }, py::arg("on") = py::none())
        .def("coverage", &Board::coverage)
        .def("save", &Board::save, py::arg("path"))
        .def("open_snapshot", [](Board&, const std::string& path) {
                MachineSnapshot snapshot;
                if (auto failure = loadSnapshotFile(path, snapshot)) throw BoardError(*failure);
                return snapshot;
            });
}
