/* A small program for the loader tests: a table, a loop and a function. */
#include <8051.h>

static const unsigned char pattern[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80,
                                        0xA5, 0x5A, 0xC3, 0x3C, 0xFF, 0x00, 0x7E, 0xE7};

static void delay(unsigned char n) {
    while (n--) {
        unsigned char i = 200;
        while (i--) {
        }
    }
}

void main(void) {
    unsigned char i = 0;
    for (;;) {
        P1 = pattern[i & 15];
        delay(10);
        ++i;
    }
}
