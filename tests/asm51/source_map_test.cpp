// Source maps from asm51 listings: the lines of the main file and of an
// included one, with the exact extent of each line's bytes; lines past
// 99999; stepping by assembler line over a call and over an interrupt taken
// on the way. And what the readers report besides the map: files cut short,
// each linker listing read once however often a debug file names it.
#include "asm51_support.h"

#include "machine/executor.h"
#include "machine/source_step.h"
#include "tools/source_map_files.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace asm51test;
using namespace quorvel;

namespace {

const std::string kSetup = "        ORG 30H\nSTART:  MOV R2,#0      ;mark:start\n";

const std::string kProgram = R"(; a call, a timer 0 interrupt and a table
        ORG 0
        LJMP START
        ORG 000BH
        INC R2              ;mark:handler
        RETI
$INCLUDE(setup.inc)
        MOV IE,#82H         ;mark:enable
        SETB TF0            ;mark:request
        MOV R1,#1           ;mark:afterirq
        ACALL SUB           ;mark:call
        MOV R1,#2           ;mark:aftercall
HERE:   SJMP HERE
SUB:    INC R3              ;mark:sub
        RET
                            ;mark:nocode
TABLE:  DB 1,2,3,4,5,6      ;mark:table
        END
)";

uint32_t markLine(const std::string& source, const std::string& name) {
    const size_t at = source.find(";mark:" + name + "\n");
    return at == std::string::npos ? 0 : uint32_t(std::count(source.begin(), source.begin() + long(at), '\n') + 1);
}

struct ListingMap : testing::Test {
    TempDir folder;
    SourceMap map;
    Machine machine = quorvel::support::makeMachine();

    void SetUp() override {
        folder.write("setup.inc", kSetup);
        const Image image = assembleOk(folder, kProgram);
        for (const auto& [address, byte] : image) machine.chip.writeCode(address, byte);
        const auto failure = loadSourceMap(folder / "t.lst", map);
        ASSERT_FALSE(failure) << *failure;
    }
    uint16_t codeOf(const std::string& mark) {
        const auto resolved = map.resolveLine("t.asm", markLine(kProgram, mark));
        EXPECT_TRUE(resolved && resolved->addresses.size() == 1) << mark;
        return resolved && !resolved->addresses.empty() ? resolved->addresses[0] : 0;
    }
    std::string here() {
        const auto where = map.locationAt(machine.chip.pc);
        return where ? map.text(*where) : "none";
    }
    std::string at(const std::string& mark) { return "t.asm:" + std::to_string(markLine(kProgram, mark)); }
};

TEST_F(ListingMap, LinesOfTheMainAndTheIncludedFileWithTheirBytes) {
    EXPECT_EQ(map.primaryLevel(), SourceLevel::Assembler);
    struct Row {
        uint16_t address;
        std::string where; // "none" for no line
    };
    const uint16_t table = codeOf("table");
    const std::vector<Row> rows{
        {0x000B, at("handler")},
        {0x0030, "setup.inc:2"}, {0x0031, "setup.inc:2"},
        {0x0032, at("enable")},
        {uint16_t(table + 5), at("table")}, // the listing's second row of bytes
        {uint16_t(table + 6), "none"},
        {0x0003, "none"},
    };
    for (const Row& r : rows) {
        machine.chip.pc = r.address;
        EXPECT_EQ(here(), r.where) << std::hex << r.address;
    }
    EXPECT_EQ(map.rangeAt(table + 5, SourceLevel::Assembler)->start, table);
    EXPECT_EQ(codeOf("nocode"), table); // the next line with code
    std::string error;
    EXPECT_FALSE(map.resolveLine("t.asm", markLine(kProgram, "table") + 1, &error));
    EXPECT_NE(error.find("has no code"), std::string::npos) << error;
}

TEST_F(ListingMap, StepOverRunsCallsAndInterruptsToTheirReturn) {
    machine.chip.pc = codeOf("enable");
    auto stepLine = [&](SourceStep kind) {
        return stepSourceLine(machine, map, SourceLevel::Assembler, kind).end;
    };
    EXPECT_EQ(stepLine(SourceStep::Over), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("request"));
    // Setting TF0 vectors to the handler at once; the step runs it to RETI.
    EXPECT_EQ(stepLine(SourceStep::Over), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("afterirq"));
    EXPECT_EQ(machine.chip.reg(2), 1);
    EXPECT_EQ(stepLine(SourceStep::Into), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("call"));
    EXPECT_EQ(stepLine(SourceStep::Over), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("aftercall"));
    EXPECT_EQ(machine.chip.reg(3), 1);
    machine.chip.pc = codeOf("call");
    EXPECT_EQ(stepLine(SourceStep::Into), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("sub"));
}

} // namespace

TEST(SourceMapReaders, LongListingsRepeatedModulesAndFilesCutShort) {
    // A listing past line 99999: the line numbers grow wider than their
    // column, and the lines after them keep their code.
    TempDir folder;
    std::string source = "        ORG 0\n";
    for (int i = 0; i < 100000; ++i) source += ";\n";
    source += "        MOV A,#1\n        INC A\n        END\n";
    assembleOk(folder, source, "long");
    SourceMap map;
    const auto failure = loadSourceMap(folder / "long.lst", map);
    ASSERT_FALSE(failure) << *failure;
    for (const auto& [line, address] : {std::pair{100002u, 0}, {100003u, 2}}) {
        const auto resolved = map.resolveLine("long.asm", line);
        ASSERT_TRUE(resolved) << line;
        EXPECT_EQ(resolved->where.line, line);
        EXPECT_EQ(resolved->addresses, std::vector<uint16_t>{uint16_t(address)}) << line;
    }

    // A debug file naming one module many times reads its listing once.
    const std::string rst = "      000000 74 01         [12]    7 \tmov\ta,#0x01\n";
    std::string cdb;
    for (int i = 0; i < 1000; ++i) cdb += "M:prog\nL:C$prog.c$3$0_0$0:0\n";
    int reads = 0;
    SourceMapReport report;
    SourceMap debug;
    ASSERT_FALSE(parseSdccDebug(cdb, "prog.cdb", debug, [&](const std::string&) { ++reads; return rst; }, &report));
    EXPECT_EQ(reads, 1);
    EXPECT_TRUE(report.warnings.empty());
    EXPECT_EQ(report.listedCode.size(), 1u);

    // Files cut short: each says so; whole ones say nothing.
    const std::string listing = folder.read("long.lst");
    struct Row {
        std::string cdb, rst, listing;
        std::string warning; // empty: none
    };
    const std::vector<Row> rows{
        {cdb, rst, listing, ""},
        {cdb.substr(0, cdb.size() - 1), rst, listing, "prog.cdb: its last line is incomplete"},
        {cdb, rst.substr(0, rst.size() - 1), listing, "prog.rst: its last line is incomplete"},
        {cdb, rst, listing.substr(0, listing.find("SYMBOL TABLE")),
         "long.lst: the listing ends before its symbol table"},
        {cdb, rst, listing.substr(0, listing.size() - 1), "long.lst: its last line is incomplete"},
    };
    for (const Row& row : rows) {
        SourceMapReport found;
        SourceMap a, b;
        ASSERT_FALSE(parseSdccDebug(row.cdb, "prog.cdb", a, [&](const std::string&) { return row.rst; }, &found));
        ASSERT_FALSE(parseAsm51Listing(row.listing, "long.lst", b, &found));
        std::string warnings;
        for (const std::string& w : found.warnings) warnings += w + "\n";
        if (row.warning.empty())
            EXPECT_EQ(warnings, "");
        else
            EXPECT_TRUE(found.warnings.size() == 1 && warnings.starts_with(row.warning)) << warnings;
    }
}
