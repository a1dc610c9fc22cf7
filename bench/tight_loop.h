// The tight loop the benchmarks time the bare execution loop with: register,
// immediate and direct instructions and a jump, no peripheral at work.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel::bench {

inline const std::vector<uint8_t> kTightLoop = {
    0x7F, 0x00, // 0000 start: MOV R7,#0
    0xEF,       // 0002 loop:  MOV A,R7
    0x24, 0x03, // 0003        ADD A,#3
    0x08,       // 0005        INC R0
    0xF9,       // 0006        MOV R1,A
    0x05, 0x30, // 0007        INC 30H
    0xDF, 0xF7, // 0009        DJNZ R7,loop
    0x80, 0xF3, // 000B        SJMP start
};

} // namespace quorvel::bench
