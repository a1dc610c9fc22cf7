// Decimal arithmetic and serial timing as the real chip gives them: BCD
// additions through ADD and DA A, then the time ten bytes sent back to back
// take at 9600 baud (11.0592 MHz, timer 1 in mode 2, TH1 = FDH), measured
// with timer 0 and printed in frames of 960 machine cycles.
#include <8052.h>
#include <stdio.h>

unsigned char bx, by, bsum;
__bit bcarry;

int putchar(int c) {
    while (!TI)
        ;
    TI = 0;
    SBUF = c;
    return c;
}

void bcdAdd(void) {
    __asm
        mov  a, _bx
        add  a, _by
        da   a
        mov  _bsum, a
        mov  _bcarry, c
    __endasm;
}

static const unsigned char xs[] = {0x99, 0x61, 0x45, 0x09, 0x50, 0x38};
static const unsigned char ys[] = {0x64, 0x99, 0x55, 0x01, 0x49, 0x27};

void main(void) {
    unsigned char i;
    unsigned int cycles;
    SCON = 0x50;
    TMOD = 0x21;
    TH1 = 0xFD;
    TL1 = 0xFD;
    TR1 = 1;
    TI = 1;
    for (i = 0; i < sizeof xs; ++i) {
        bx = xs[i];
        by = ys[i];
        bcdAdd();
        printf("%02X+%02X=%u%02X ", bx, by, bcarry ? 1 : 0, bsum);
    }
    while (!TI)
        ;
    TH0 = 0;
    TL0 = 0;
    TR0 = 1;
    for (i = 0; i < 10; ++i) {
        TI = 0;
        SBUF = 'U';
        while (!TI)
            ;
    }
    TR0 = 0;
    cycles = (unsigned int)TH0 << 8 | TL0;
    printf("\nframes %u\n", (cycles + 480) / 960);
    for (;;)
        ;
}
