// The pure pieces of quorvel-cli: option parsing into its struct, the
// self-jump rule, the seven-segment text and JSON string escaping.
#include "cli/cli_options.h"
#include "cli/cli_report.h"
#include "cli/cli_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::cli;

namespace {

ParseResult parse(std::initializer_list<std::string_view> args) {
    std::vector<std::string_view> list(args);
    return parseCommandLine(list);
}

TEST(CliOptions, ValuesLandInTheirFields) {
    const ParseResult r = parse({"--device=at89s8252", "--clock", "11059200", "--code-memory", "both:16K",
                                 "--xdata", "64", "--load-address", "0x100", "--data", "d.bin",
                                 "--data-address", "200H", "--pin", "P3.2=nc", "--pin", "p1.7=1",
                                 "--max-cycles", "5000", "--until-pc", "1234", "--break", "reg:dptr1=0x1234",
                                 "--break", "bit:7F=1", "--dump", "xdata:0010-001F", "--dump", "code",
                                 "--halt-on-self-jump", "--json", "--stats", "prog.HEX"});
    ASSERT_EQ(r.error, "");
    const CliOptions& o = r.options;
    EXPECT_EQ(std::tie(o.program, o.device, o.clock, o.codeMemory, o.codeKB, o.xdataKB),
              std::make_tuple(std::string("prog.HEX"), DeviceKind::AT89S8252, std::string("11059200"),
                              CodeMemory::Both, 16, 64));
    EXPECT_EQ(std::make_tuple(o.loadAddress, o.dataAddress, o.maxCycles, o.untilPc),
              std::make_tuple(0x100, 0x200, uint64_t(5000), 0x1234));
    EXPECT_FALSE(o.maxSteps);
    ASSERT_EQ(o.pins.size(), 2u);
    EXPECT_EQ(std::make_tuple(o.pins[0].index, o.pins[0].setting, o.pins[1].index, o.pins[1].setting),
              std::make_tuple(26, kInputNC, 15, kInput1));
    ASSERT_EQ(o.breaks.size(), 2u);
    EXPECT_EQ(std::tie(o.breaks[0].type, o.breaks[0].name, o.breaks[0].data),
              std::make_tuple(BreakpointType::Register, std::string("dptr1"), std::string("1234")));
    EXPECT_EQ(std::tie(o.breaks[1].type, o.breaks[1].address),
              std::make_tuple(BreakpointType::MemoryBit, std::string("7F")));
    ASSERT_EQ(o.dumps.size(), 2u);
    EXPECT_EQ(std::make_tuple(o.dumps[0].kind, o.dumps[0].first, o.dumps[0].last, o.dumps[0].whole, o.dumps[1].whole),
              std::make_tuple(DumpKind::Xdata, 0x10, 0x1F, false, true));
    EXPECT_TRUE(o.haltOnSelfJump && o.json && o.stats);
    EXPECT_TRUE(o.hasStopCondition());
}

TEST(CliOptions, DefaultsAndTheDefaultLimit) {
    const ParseResult r = parse({"p.bin"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.device, DeviceKind::AT89C52);
    EXPECT_EQ(r.options.clock, "12000000");
    EXPECT_EQ(r.options.codeMemory, CodeMemory::Default);
    EXPECT_EQ(r.options.xdataKB, 0);
    EXPECT_FALSE(r.options.hasStopCondition());
    // Anything after "--" is the program, even if it looks like an option.
    EXPECT_EQ(parse({"--", "--odd-name"}).options.program, "--odd-name");
    // --help and --version need no program.
    EXPECT_EQ(parse({"--version"}).error, "");
    EXPECT_TRUE(parse({"--version"}).options.version);
}

TEST(CliRun, SelfJumpsAreTheThreeUnconditionalJumpsToThemselves) {
    Machine m = support::makeMachine();
    struct Case {
        uint16_t at;
        std::vector<uint8_t> bytes;
        bool self;
    };
    const Case cases[] = {
        {0x0100, {0x80, 0xFE}, true},        // SJMP $
        {0x0100, {0x80, 0xFD}, false},       // SJMP $-1
        {0x0100, {0x02, 0x01, 0x00}, true},  // LJMP 0100H
        {0x0100, {0x02, 0x01, 0x01}, false},
        {0x0123, {0x21, 0x23}, true},        // AJMP 0123H (page bits 001)
        {0x0123, {0x01, 0x23}, false},       // AJMP 0023H
        {0x0100, {0x70, 0xFE}, false},       // JNZ $: conditional
    };
    for (const Case& c : cases) {
        for (size_t i = 0; i < c.bytes.size(); ++i) m.chip.writeCode(uint16_t(c.at + i), c.bytes[i]);
        m.chip.side.instructionAddress = c.at;
        m.chip.pc = c.at;
        EXPECT_EQ(executedSelfJump(m.chip), c.self) << std::hex << int(c.bytes[0]) << " " << int(c.bytes[1]);
        m.chip.pc = uint16_t(c.at + 5); // an interrupt took the program elsewhere
        EXPECT_FALSE(executedSelfJump(m.chip));
    }
}

TEST(CliReport, SegmentPatternsReadAsCharacters) {
    const std::pair<uint8_t, const char*> patterns[] = {
        {0x3F, "0"}, {0x6F, "9"}, {0x67, "9"}, {0x77, "A"}, {0x71, "F"},
        {0x86, "1."}, {0x00, " "}, {0x80, " ."}, {0x49, "?"}};
    for (auto [segments, text] : patterns) EXPECT_EQ(segmentText(segments), text) << int(segments);
}

TEST(CliReport, JsonStringsEscapeWhatJsonForbids) {
    EXPECT_EQ(jsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(jsonString(std::string("\n\x01\x7F\xC3", 4)), R"("\u000A\u0001\u007F\u00C3")");
    EXPECT_EQ(jsonString("plain"), R"("plain")");
}

} // namespace
