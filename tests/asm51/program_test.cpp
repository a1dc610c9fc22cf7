// The contract with the simulator's editor: how asm51 is called, what it
// prints, the files it leaves and its exit status.
#include "asm51_support.h"

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
    TempDir folder;
    folder.write("blink.asm", kBlink);
    ProcessResult r = asm51(folder, {"blink"});
    EXPECT_EQ(r.status, 0) << r.output();
    EXPECT_TRUE(contains(r.output(), "blink.asm: 0 errors, 0 warnings")) << r.output();
    EXPECT_EQ(folder.read("blink.hex"), ":0B0000007590FF7F0AB290DFFC80F5D6\r\n:00000001FF\r\n");

    // The listing: number, address, bytes and text of each line; the symbol
    // table; the count of errors.
    std::string listing = folder.read("blink.lst");
    EXPECT_TRUE(contains(listing, "    6   0005  B2 90         LOOP:   CPL P1.0\n")) << listing;
    EXPECT_TRUE(contains(listing, "LOOP                    CODE   0005H   blink.asm(6)\n"));
    EXPECT_TRUE(contains(listing, "\n0 errors, 0 warnings\n"));
}

TEST(Program, SourceNamesAndExtensions) {
    TempDir folder;
    // Written by a Windows editor: a UTF-8 mark and CR LF line ends.
    folder.write("other.a51", "\xEF\xBB\xBF        NOP\r\n        END\r\n");
    folder.write("prog.src", "        RET\n        END\n");
    EXPECT_EQ(asm51(folder, {"other"}).status, 0); // .a51 is found too
    EXPECT_EQ(parseHex(folder.read("other.hex")).at(0), 0x00);
    EXPECT_EQ(asm51(folder, {"prog.src"}).status, 0); // an explicit extension
    EXPECT_EQ(parseHex(folder.read("prog.hex")).at(0), 0x22);
    EXPECT_TRUE(folder.exists("prog.lst"));

    ProcessResult r = asm51(folder, {"absent"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.output(), "cannot open absent.asm")) << r.output();
    EXPECT_FALSE(folder.exists("absent.lst"));

    EXPECT_NE(asm51(folder, {"a", "b"}).status, 0); // one name at most
}

TEST(Program, ReadsTheNameFromStandardInputAndNeverHangsWhenItIsClosed) {
    TempDir folder;
    folder.write("blink.asm", kBlink);
    ProcessResult r = asm51(folder, {}, std::string("blink\n"));
    EXPECT_EQ(r.status, 0) << r.output();
    EXPECT_TRUE(folder.exists("blink.hex"));

    // Standard input closed, or empty: it ends at once.
    for (const auto& input : {std::optional<std::string>(), std::optional<std::string>("")}) {
        r = asm51(folder, {}, input);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(contains(r.output(), "usage: asm51")) << r.output();
    }
}

TEST(Program, WarningsAloneStillGiveTheHex) {
    TempDir folder;
    folder.write("t.asm", "        NOP\n"); // no END
    ProcessResult r = asm51(folder, {"t"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.output(), "t.asm: warning: missing END")) << r.output();
    EXPECT_TRUE(contains(r.output(), "t.asm: 0 errors, 1 warning")) << r.output();
    EXPECT_TRUE(folder.exists("t.hex"));
}

// Records of at most 16 bytes, one run of addresses after another, gaps
// starting a new record; an empty program gives only the end record.
TEST(Program, HexRecords) {
    TempDir folder;
    std::string source = "        ORG 0FFE0H\n        DB ";
    for (int i = 0; i < 16; ++i)
        source += std::to_string(i) + ",";
    source += "16\n        ORG 10H\n        DB 1,2\n        ORG 13H\n        DB 3\n        END\n";
    folder.write("t.asm", source);
    ASSERT_EQ(asm51(folder, {"t"}).status, 0);
    EXPECT_EQ(folder.read("t.hex"), ":020010000102EB\r\n"
                                    ":0100130003E9\r\n"
                                    ":10FFE000000102030405060708090A0B0C0D0E0F99\r\n"
                                    ":01FFF0001000\r\n"
                                    ":00000001FF\r\n")
        << folder.read("t.hex");
    folder.write("empty.asm", "X EQU 1\n        END\n");
    ASSERT_EQ(asm51(folder, {"empty"}).status, 0);
    EXPECT_EQ(folder.read("empty.hex"), ":00000001FF\r\n");
}

// The source is never an output: a source named like the run's HEX or
// listing is refused before anything is written, and a run removes no file
// it did not make (a mistyped name leaves an earlier HEX alone).
TEST(Program, TheSourceIsNeverAnOutput) {
    TempDir folder;
    const std::string text = "        NOP\n        END\n";
    for (const char* name : {"x.hex", "x.lst"}) {
        SCOPED_TRACE(name);
        folder.write(name, text);
        const ProcessResult r = asm51(folder, {name});
        EXPECT_EQ(r.status, 2) << r.output();
        EXPECT_TRUE(contains(r.output(), "is the source")) << r.output();
        EXPECT_EQ(folder.read(name), text);
    }

    folder.write("kept.hex", ":00000001FF\n");
    EXPECT_NE(asm51(folder, {"kept.lst"}).status, 0); // no kept.lst: cannot open
    EXPECT_EQ(folder.read("kept.hex"), ":00000001FF\n");
}
