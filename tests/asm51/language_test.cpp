// The assembler language as users write it: numbers and expressions, symbol
// definitions, data directives, segments, conditional assembly, includes and
// the predefined SFR and bit names.
#include "asm51_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace asm51test;
using quorvel::support::asm51Program;

TEST(Expressions, NumbersCharactersAndOperators) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
        ORG 0
        DW 0FFH, 1010B, 17O, 17Q, 12, 12D, 'A', 'AB'          ; 0000
        DW 2+3*4, (2+3)*4, 17 MOD 5, 1 SHL 4, 8000H SHR 15     ; 0010
        DW 0F0H AND 3CH, 0F0H OR 0FH, 0FFH XOR 0AAH, NOT 0     ; 001A
        DW HIGH 1234H, LOW 1234H, HIGH(-1), -2*3, 10-2-3, 100/10/2 ; 0022
        DW 1 + 2 SHL 1, NOT 1 AND 3, 1 OR 2 AND 0, 2 + 3 EQ 5  ; 002E
        DW 3 EQ 3, 3 NE 3, 2 LT 3, 3 LE 2, 3 GT 2, 2 GE 3      ; 0036
        DW 3 = 3, 2 <> 2, 1 < 2, 2 <= 2, 3 > 4, 4 >= 4         ; 0042
        DW $, $ + 2, here - 4EH, ((((1)))) ; 004E: $ is the line's address
here:   db 0Ah, 'a', "b", ''''                                  ; 0056
        mov A,#Low(Here) ; names are case-insensitive
        END
)");
    EXPECT_EQ(bytesAt(image, 0x0000, 16),
              (Bytes{0, 0xFF, 0, 10, 0, 15, 0, 15, 0, 12, 0, 12, 0, 0x41, 0x41, 0x42}));
    EXPECT_EQ(bytesAt(image, 0x0010, 10), (Bytes{0, 14, 0, 20, 0, 2, 0, 16, 0, 1}));
    EXPECT_EQ(bytesAt(image, 0x001A, 8), (Bytes{0, 0x30, 0, 0xFF, 0, 0x55, 0xFF, 0xFF}));
    EXPECT_EQ(bytesAt(image, 0x0022, 12),
              (Bytes{0, 0x12, 0, 0x34, 0, 0xFF, 0xFF, 0xFA, 0, 5, 0, 5}));
    EXPECT_EQ(bytesAt(image, 0x002E, 8), (Bytes{0, 5, 0, 2, 0, 1, 0xFF, 0xFF}));
    EXPECT_EQ(bytesAt(image, 0x0036, 12),
              (Bytes{0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0}));
    EXPECT_EQ(bytesAt(image, 0x0042, 12),
              (Bytes{0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF}));
    EXPECT_EQ(bytesAt(image, 0x004E, 8), (Bytes{0, 0x4E, 0, 0x50, 0, 8, 0, 1}));
    EXPECT_EQ(bytesAt(image, 0x0056, 6), (Bytes{0x0A, 0x61, 0x62, 0x27, 0x74, 0x56}));
}

// A byte operand takes -256 to 255 and keeps the low byte, in every 8-bit
// immediate field and in DB; the range edges are refused in errors_test.
TEST(Expressions, NegativeBytesKeepTheirLowByte) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
        ORG 0
        MOV TH0,#-250   ; 0000
        MOV A,#-256     ; 0003
        ADD A,#255      ; 0005
        CJNE A,#-1,$    ; 0007
        MOV 30H,#-128   ; 000A
        DB -1, -256, 255, -129 ; 000D
        END
)");
    EXPECT_EQ(bytesAt(image, 0, 18),
              (Bytes{0x75, 0x8C, 0x06, 0x74, 0x00, 0x24, 0xFF, 0xB4, 0xFF, 0xFD, 0x75, 0x30, 0x80,
                     0xFF, 0x00, 0xFF, 0x7F, -1}));
}

TEST(Directives, SymbolDefinitionsAndTheirUse) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
CNT     EQU 10
CNT2    EQU CNT*2
V       SET 1
V       SET V+1
LED     BIT P1.3
FLAG    BIT 20H.7
BUF     DATA 30H
IBUF    IDATA 90H
XBUF    XDATA 1234H
ENTRY   CODE 0100H
COUNTER EQU R5
        ORG 0
        MOV A,#CNT2
        MOV A,#V
        SETB LED
        CLR FLAG
        MOV BUF,#1
        MOV R0,#IBUF
        MOV DPTR,#XBUF
        LJMP ENTRY
        MOV COUNTER,#7
        INC COUNTER
        DJNZ COUNTER,$
        MOV C,ACC.7
        ANL C,/FLAG
        END
)");
    EXPECT_EQ(bytesAt(image, 0, 30),
              (Bytes{0x74, 20,   0x74, 2,    0xD2, 0x93, 0xC2, 0x07, 0x75, 0x30,
                     0x01, 0x78, 0x90, 0x90, 0x12, 0x34, 0x02, 0x01, 0x00, 0x7D,
                     0x07, 0x0D, 0xDD, 0xFE, 0xA2, 0xE7, 0xB0, 0x07, -1,   -1}));
}

TEST(Directives, DataReservationOrgAndEnd) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
        ORG 200H
A1:     DB 1, 'Hello', 2
        DS 3
A2:     DW 1234H, A1, 'xy'
        ORG 300H
        DB 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0
        END
        this line is after END and is not read
)");
    EXPECT_EQ(bytesAt(image, 0x200, 18), (Bytes{1, 'H', 'e', 'l', 'l', 'o', 2, -1, -1, -1, 0x12,
                                                0x34, 0x02, 0x00, 'x', 'y', -1, -1}));
    EXPECT_EQ(bytesAt(image, 0x300, 18),
              (Bytes{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, -1}));
    EXPECT_EQ(image.size(), 7u + 6u + 17u);
}

TEST(Directives, SegmentsKeepTheirOwnCountersAndLabelTypes) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
        DSEG AT 30H
VAR1:   DS 2
VAR2:   DS 1
        BSEG AT 10H
BIT1:   DBIT 1
BIT2:   DBIT 2
BIT3:   DBIT 1
        ISEG AT 80H
STACK:  DS 16
        XSEG AT 1000H
XBUF:   DS 100H
XNEXT:  DS 1
        CSEG AT 40H
        MOV A,VAR2
        SETB BIT2
        SETB BIT3
        MOV SP,#STACK-1
        MOV DPTR,#XNEXT
        DSEG
VAR3:   DS 1
        CSEG
        MOV VAR3,A
        USING 2
        PUSH AR3
        USING 0
        POP AR7
        END
)");
    EXPECT_EQ(bytesAt(image, 0x40, 20),
              (Bytes{0xE5, 0x32, 0xD2, 0x11, 0xD2, 0x13, 0x75, 0x81, 0x7F, 0x90,
                     0x11, 0x00, 0xF5, 0x33, 0xC0, 0x13, 0xD0, 0x07, -1,   -1}));
}

TEST(ConditionalAssembly, NestedBranchesAndSkippedText) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
DEBUG   EQU 1
        ORG 0
        IF DEBUG
        DB 1
        ELSE
        DB 2
        ENDIF
        IF DEBUG EQ 0
        DB 3
        IF 1
        DB 4
        ELSE
        DB 5
        ENDIF
        this text is skipped @@@ and never read
        ELSE
        DB 6
        IF 0
        DB 7
        ELSE
        IF DEBUG
        DB 8
        ENDIF
        ENDIF
        ENDIF
        DB 9
        END
)");
    EXPECT_EQ(bytesAt(image, 0, 5), (Bytes{1, 6, 8, 9, -1}));
}

TEST(Includes, NestedFilesRelativeToTheIncludingFile) {
    TempDir folder;
    folder.write("defs.inc", "COUNT EQU 3\n");
    folder.write("lib/util.inc", "$INCLUDE(inner.inc)\nUTIL: MOV A,#COUNT\n      RET\n");
    folder.write("lib/inner.inc", "INNER EQU 42H\n");
    auto image = assembleOk(folder, R"($INCLUDE(defs.inc)
        ORG 0
        ACALL UTIL
        MOV R0,#INNER
$include (lib/util.inc)
        END
)");
    EXPECT_EQ(bytesAt(image, 0, 8), (Bytes{0x11, 0x04, 0x78, 0x42, 0x74, 0x03, 0x22, -1}));
    // The listing shows the included lines with their own numbers and level.
    std::string listing = folder.read("t.lst");
    EXPECT_NE(listing.find("    2+1 0004  74 03         UTIL: MOV A,#COUNT"), std::string::npos)
        << listing;
    EXPECT_NE(listing.find("    1+2"), std::string::npos) << listing;
}

// The SFR and bit names of the 8051, 8052 and AT89S53/AT89S8252 are there
// without $MOD51; a program may define its own instead.
TEST(PredefinedNames, BuiltInNamesOfTheWholeFamily) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
P2      EQU 0B0H            ; the program's own value wins
        ORG 0
        MOV WMCON,#DPS OR WDTEN
        MOV SPCR,#SPE
        MOV DP1L,A
        SETB TF2
        SETB C/T2
        CLR CP/RL2
        CLR CP_RL2
        MOV RCAP2H,TH2
        ORL T2MOD,#DCEN
        MOV P2,#0
        ANL C,/C/T2
        END
)");
    EXPECT_EQ(
        bytesAt(image, 0, 28),
        (Bytes{0x75, 0x96, 0x05, 0x75, 0xD5, 0x40, 0xF5, 0x84, 0xD2, 0xCF, 0xD2, 0xC9, 0xC2, 0xC8,
               0xC2, 0xC8, 0x85, 0xCD, 0xCB, 0x43, 0xC9, 0x01, 0x75, 0xB0, 0x00, 0xB0, 0xC9, -1}));
}

// Every name of the Mod51 file installed beside asm51, used once: with
// $MOD51 (read from that file) and without (the built-in copy) the bytes are
// the same and follow the file's values.
TEST(PredefinedNames, Mod51FileAndBuiltInCopyAgree) {
    std::ifstream file(asm51Program().parent_path() / "Mod51");
    ASSERT_TRUE(file) << "Mod51 is not beside asm51";
    std::string body;
    Bytes expected;
    std::string line;
    int names = 0;
    while (std::getline(file, line)) {
        std::istringstream words(line.substr(0, line.find(';')));
        std::string name, kind, value;
        if (!(words >> name >> kind >> value)) continue;
        int v = std::stoi(value.substr(0, value.size() - 1), nullptr, 16);
        ++names;
        if (kind == "DATA") {
            body += "        MOV " + name + ",A\n";
            expected.insert(expected.end(), {0xF5, v});
        } else if (kind == "BIT") {
            body += "        SETB " + name + "\n";
            expected.insert(expected.end(), {0xD2, v});
        } else {
            ASSERT_EQ(kind, "EQU") << line;
            body += "        MOV A,#" + name + "\n";
            expected.insert(expected.end(), {0x74, v});
        }
    }
    EXPECT_GT(names, 100);
    TempDir folder;
    auto fromFile = assembleOk(folder, "$MOD51\n" + body + "        END\n", "withmod");
    auto builtIn = assembleOk(folder, body + "        END\n", "without");
    EXPECT_EQ(bytesAt(fromFile, 0, int(expected.size())), expected);
    EXPECT_EQ(fromFile, builtIn);
}

// $MOD51 prefers a Mod51 in the source folder (where users extend it);
// $NOMOD leaves only the program's own names.
TEST(PredefinedNames, Mod51InTheSourceFolderAndNoMod) {
    TempDir folder;
    folder.write("Mod51", "; my board\nLEDS DATA 0E8H\nBEEP BIT 0E8H.1\nMAGIC EQU 5AH\n");
    auto image =
        assembleOk(folder, "$MOD51\n        MOV LEDS,#MAGIC\n        CLR BEEP\n        END\n");
    EXPECT_EQ(bytesAt(image, 0, 6), (Bytes{0x75, 0xE8, 0x5A, 0xC2, 0xE9, -1}));

    folder.write("p1.asm", "$MOD51\n        MOV P1,#0\n        END\n");
    ProcessResult r = asm51(folder, {"p1"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output().find("p1.asm(2): undefined symbol P1"), std::string::npos) << r.output();

    image = assembleOk(folder, "$NOMOD\nP1 DATA 91H\n        MOV P1,#0\n        END\n");
    EXPECT_EQ(bytesAt(image, 0, 3), (Bytes{0x75, 0x91, 0x00}));
}
