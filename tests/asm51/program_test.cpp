// The contract with the simulator's editor: how asm51 is called, what it
// prints, the files it leaves and its exit status.
#include "asm51_runner.h"

#include <gtest/gtest.h>

using namespace asm51test;

namespace {

const char* kBlink = R"($MOD51
; blink an LED
        ORG 0
START:  MOV P1,#0FFH
        MOV R7,#10
LOOP:   CPL P1.0
        DJNZ R7,LOOP
        SJMP START
        END
)";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(Program, AssemblesTheNamedSourceBesideIt) {
    TempFolder folder;
    folder.write("blink.asm", kBlink);
    RunResult r = folder.asm51({"blink"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "blink.asm: 0 errors, 0 warnings")) << r.output;
    EXPECT_EQ(folder.read("blink.hex"), ":0B0000007590FF7F0AB290DFFC80F5D6\r\n:00000001FF\r\n");

    // The listing: number, address, bytes and text of each line; the symbol
    // table; the count of errors.
    std::string listing = folder.read("blink.lst");
    EXPECT_TRUE(contains(listing, "    4   0000  75 90 FF      START:  MOV P1,#0FFH\n")) << listing;
    EXPECT_TRUE(contains(listing, "    6   0005  B2 90         LOOP:   CPL P1.0\n")) << listing;
    EXPECT_TRUE(contains(listing, "\n    2                       ; blink an LED\n")) << listing;
    EXPECT_TRUE(contains(listing, "LOOP                    CODE   0005H   blink.asm(6)\n"));
    EXPECT_TRUE(contains(listing, "P1                      DATA   0090H   predefined\n"));
    EXPECT_TRUE(contains(listing, "\n0 errors, 0 warnings\n"));
}

TEST(Program, SourceNamesAndExtensions) {
    TempFolder folder;
    // Written by a Windows editor: a UTF-8 mark and CR LF line ends.
    folder.write("other.a51", "\xEF\xBB\xBF        NOP\r\n        END\r\n");
    folder.write("prog.src", "        RET\n        END\n");
    EXPECT_EQ(folder.asm51({"other"}).status, 0); // .a51 is found too
    EXPECT_EQ(parseHex(folder.read("other.hex")).at(0), 0x00);
    EXPECT_EQ(folder.asm51({"prog.src"}).status, 0); // an explicit extension
    EXPECT_EQ(parseHex(folder.read("prog.hex")).at(0), 0x22);
    EXPECT_TRUE(folder.exists("prog.lst"));

    RunResult r = folder.asm51({"absent"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.output, "cannot open absent.asm")) << r.output;
    EXPECT_FALSE(folder.exists("absent.lst"));

    EXPECT_NE(folder.asm51({"a", "b"}).status, 0); // one name at most
}

TEST(Program, ReadsTheNameFromStandardInputAndNeverHangsWhenItIsClosed) {
    TempFolder folder;
    folder.write("blink.asm", kBlink);
    RunResult r = folder.asm51({}, std::string("blink\n"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(folder.exists("blink.hex"));

    r = folder.asm51({}); // standard input closed
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.output, "usage: asm51")) << r.output;
    r = folder.asm51({}, std::string("")); // an empty input ends at once
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.output, "usage: asm51")) << r.output;
}

TEST(Program, ErrorsRemoveTheHexOfAnEarlierRunAndKeepTheListing) {
    TempFolder folder;
    folder.write("blink.asm", kBlink);
    ASSERT_EQ(folder.asm51({"blink"}).status, 0);
    ASSERT_TRUE(folder.exists("blink.hex"));
    folder.write("blink.asm",
                 std::string(kBlink).replace(std::string(kBlink).find("LOOP\n"), 4, "LOOP2"));
    RunResult r = folder.asm51({"blink"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "blink.asm(7): undefined symbol LOOP2")) << r.output;
    EXPECT_FALSE(folder.exists("blink.hex"));
    EXPECT_TRUE(contains(folder.read("blink.lst"), "*** blink.asm(7): undefined symbol LOOP2\n"));
    EXPECT_TRUE(contains(folder.read("blink.lst"), "\n1 error, 0 warnings\n"));
    // Nothing is left under a temporary name.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2);
}

TEST(Program, WarningsAloneStillGiveTheHex) {
    TempFolder folder;
    folder.write("t.asm", "        NOP\n"); // no END
    RunResult r = folder.asm51({"t"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.output, "t.asm: warning: missing END")) << r.output;
    EXPECT_TRUE(contains(r.output, "t.asm: 0 errors, 1 warning")) << r.output;
    EXPECT_TRUE(folder.exists("t.hex"));
}

// Records of at most 16 bytes, one run of addresses after another, gaps
// starting a new record; an empty program gives only the end record.
TEST(Program, HexRecords) {
    TempFolder folder;
    std::string source = "        ORG 0FFE0H\n        DB ";
    for (int i = 0; i < 16; ++i)
        source += std::to_string(i) + ",";
    source += "16\n        ORG 10H\n        DB 1,2\n        ORG 13H\n        DB 3\n        END\n";
    folder.write("t.asm", source);
    ASSERT_EQ(folder.asm51({"t"}).status, 0);
    EXPECT_EQ(folder.read("t.hex"), ":020010000102EB\r\n"
                                    ":0100130003E9\r\n"
                                    ":10FFE000000102030405060708090A0B0C0D0E0F99\r\n"
                                    ":01FFF0001000\r\n"
                                    ":00000001FF\r\n")
        << folder.read("t.hex");
    folder.write("empty.asm", "X EQU 1\n        END\n");
    ASSERT_EQ(folder.asm51({"empty"}).status, 0);
    EXPECT_EQ(folder.read("empty.hex"), ":00000001FF\r\n");
}

TEST(Program, InstalledBesideTheSimulatorWithItsDefinitions) {
    std::filesystem::path folder = asm51Program().parent_path();
    EXPECT_EQ(folder.filename(), "Assembler");
    EXPECT_TRUE(std::filesystem::exists(folder / "Mod51"));
}
