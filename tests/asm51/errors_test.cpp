// Every class of error: the message names the file, the line and what is
// wrong, the listing shows it under the line and counts it, the exit status
// is 1 and no HEX file is left, not even one from an earlier run.
#include "asm51_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace asm51test;

namespace {

struct ErrorCase {
    const char* source; // assembled as t.asm, after "        ORG 0\n"
    int line;           // line of the error in t.asm
    const char* message;
};

const ErrorCase kCases[] = {
    {"        JMP LOOP2\n", 2, "undefined symbol LOOP2"},
    {"X:      NOP\nX:      NOP\n", 3, "duplicate symbol X"},
    {"V       SET 1\nV       EQU 2\n", 3, "V is defined with both SET and another directive"},
    {"MOV:    NOP\n", 2, "MOV is a reserved word and cannot be a symbol"},
    {"        SJMP FAR\n        ORG 100H\nFAR:    NOP\n", 2,
     "relative jump out of range: target 0100H is 254 bytes away (-128 to +127)"},
    {"        ORG 100H\n        DJNZ R0,$-127\n", 3,
     "relative jump out of range: target 0081H is -129 bytes away"},
    {"        AJMP 800H\n", 2, "AJMP target 0800H is outside the 2 KB page 0000H-07FFH"},
    {"        ORG 7FEH\n        ACALL 7F0H\n", 3, "ACALL target 07F0H is outside the 2 KB page"},
    {"        MOV A,#256\n", 2, "value 100H does not fit in a byte"},
    {"        MOV TH0,#-257\n", 2, "value -101H does not fit in a byte"},
    {"        DB 1, 2, -257\n", 2, "value -101H does not fit in a byte"},
    {"        MOV -1,A\n", 2, "data address -01H is not 00H to 0FFH"},
    {"        SETB -1\n", 2, "bit address -01H is not 00H to 0FFH"},
    {"        MOV DPTR,#10000H\n", 2, "value 10000H does not fit in 16 bits"},
    {"        LJMP 10000H\n", 2, "code address 10000H is not 0000H to 0FFFFH"},
    {"        SETB 30H.1\n", 2, "address 30H is not bit-addressable"},
    {"        CPL P1.8\n", 2, "bit number 8 is not 0 to 7"},
    {"FLAG    BIT 100H\n", 2, "value 100H is out of range for BIT"},
    {"        MOVX A,R0\n", 2, "invalid operand combination: MOVX A,R0"},
    {"        MOV @R2,A\n", 2, "invalid indirect operand @R2"},
    {"        MOV A\n", 2, "MOV takes 2 operands, not 1"},
    {"        RET A\n", 2, "RET takes no operands"},
    {"        MOV A,TI\n", 2, "TI is a bit address, not a data address"},
    {"        SETB P1\n", 2, "P1 is a DATA address, not a bit address"},
    {"        XSEG\nXB:     DS 1\n        CSEG\n        LJMP XB\n", 5,
     "XB is a XDATA address, not a code address"},
    {"CNT     EQU R7\n        MOV A,#CNT\n", 3, "CNT is a register, not a value"},
    {"        FOO A\n", 2, "unknown instruction or directive FOO"},
    {"LOOP    MOV A,#1\n", 2, "unknown instruction LOOP (a label ends with ':')"},
    {"        IF 1\n        NOP\n", 2, "IF without ENDIF"},
    {"        ENDIF\n", 2, "ENDIF without IF"},
    {"        ORG FWD\nFWD     EQU 10H\n", 2, "FWD is used in ORG before it is defined"},
    {"$INCLUDE(missing.inc)\n", 2, "cannot open include file missing.inc: no such file"},
    {"        NOP\n        ORG 0\n        RET\n", 4, "code overlaps earlier code at 0000H"},
    {"        DB 'abc\n", 2, "string not closed with '"},
    {"        MOV A,#1 ! 2\n", 2, "unexpected character '!'"},
    {"        MOV A,#(1+2\n", 2, "missing )"},
    {"        DSEG\n        DB 1\n", 3, "DB is not allowed in DSEG (it belongs in CSEG)"},
    {"        BSEG\n        NOP\n", 3, "an instruction is not allowed in BSEG"},
    {"        DSEG AT 7FH\nV:      DS 2\n", 3, "DSEG overflows: 80H is past its end"},
    {"        MOV A,#1/0\n", 2, "division by zero"},
    {"        MOV A,#12G\n", 2, "bad number 12G"},
    {"$FOO\n", 2, "unknown control $FOO"},
    {"A1      EQU A2+1\nA2      EQU A1+1\n        MOV A,#A1\n", 4, "value of A1 is not known"},
    {"        USING 4\n", 2, "USING needs a register bank 0 to 3"},
    {"        ORG 0FFFFH\n        LJMP 0\n", 3, "code runs past 0FFFFH"},
};

} // namespace

TEST(Errors, EveryClassGivesItsMessageAndNoHex) {
    TempDir folder;
    for (const ErrorCase& c : kCases) {
        SCOPED_TRACE(c.source);
        folder.write("t.hex", ":0100000000FF\n:00000001FF\n"); // from an earlier run
        folder.write("t.asm", std::string("        ORG 0\n") + c.source + "        END\n");
        const ProcessResult r = asm51(folder, {"t"});
        std::string expected = "t.asm(" + std::to_string(c.line) + "): " + c.message;
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.output().find(expected), std::string::npos) << r.output();
        EXPECT_FALSE(folder.exists("t.hex"));
        EXPECT_EQ(folder.entries(), 2) << "only t.asm and t.lst, nothing under a temporary name";
        // In the listing the message stands under its line.
        std::string listing = folder.read("t.lst");
        size_t at = listing.find("*** " + expected);
        ASSERT_NE(at, std::string::npos) << listing;
        size_t lineStart = listing.rfind('\n', listing.rfind('\n', at) - 1);
        EXPECT_EQ(listing.substr(lineStart + 1, 5),
                  std::string(5 - std::to_string(c.line).size(), ' ') + std::to_string(c.line))
            << listing;
        // The count at the end agrees with the messages shown.
        int errors = 0;
        for (size_t i = listing.find("\n*** "); i != std::string::npos; i = listing.find("\n*** ", i + 1))
            ++errors;
        const std::string count = std::to_string(errors) + (errors == 1 ? " error" : " errors");
        EXPECT_NE(listing.find("\n" + count + ", 0 warnings\n"), std::string::npos) << listing;
    }
}

// All errors of a run are reported, those of included files under their own
// names. Lines after an error keep their addresses: one bad line does not
// shift or hide the errors that follow it.
TEST(Errors, AllErrorsOfARunAreReportedWithTheirFiles) {
    TempDir folder;
    folder.write("inc/defs.inc", "OK   EQU 1\n     MOV A,#BAD\n");
    folder.write("t.asm", R"(; main
$INCLUDE(inc/defs.inc)
        MOV A,#300
L1:     SJMP L1
        MOV A,#UNDEF
        SETB 30H.0
        MOV A,#OK
        END
)");
    const ProcessResult r = asm51(folder, {"t"});
    EXPECT_EQ(r.status, 1);
    for (const char* part : {"inc/defs.inc(2): undefined symbol BAD", "t.asm(3): ",
                             "t.asm(5): undefined symbol UNDEF", "t.asm(6): ", "t.asm: 4 errors, 0 warnings"})
        EXPECT_NE(r.output().find(part), std::string::npos) << part << "\n" << r.output();
    // L1 is at 0004: the refused lines before it still took their two bytes each.
    EXPECT_NE(folder.read("t.lst").find("L1                      CODE   0004H"), std::string::npos)
        << folder.read("t.lst");
}

// An include that names something other than a readable file says what it
// is; nothing waits on a FIFO or reads a huge file.
TEST(Errors, AnIncludeThatCannotBeReadSaysWhy) {
    TempDir folder;
    std::filesystem::create_directory(folder / "dir.inc");
    ASSERT_EQ(::mkfifo((folder / "fifo.inc").c_str(), 0600), 0);
    folder.write("big.inc", "");
    std::filesystem::resize_file(folder / "big.inc", (16u << 20) + 1); // sparse
    const std::pair<const char*, const char*> rows[] = {
        {"dir.inc", "a folder, not a file"},
        {"fifo.inc", "a FIFO, not a file"},
        {"big.inc", "larger than 16 MiB"},
    };
    for (const auto& [name, why] : rows) {
        folder.write("t.asm", "$INCLUDE(" + std::string(name) + ")\n        END\n");
        const ProcessResult r = asm51(folder, {"t"});
        EXPECT_EQ(r.status, 1);
        const std::string expected = "t.asm(1): cannot open include file " + std::string(name) + ": " + why;
        EXPECT_NE(r.output().find(expected), std::string::npos) << r.output();
    }
}
