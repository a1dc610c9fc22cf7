/* Benchmark firmware: CRC-16 over a buffer and an insertion sort, forever.
   Built with -DWITH_PERIPHERALS it also takes a timer-0 interrupt every 100
   machine cycles and keeps the UART transmitting from its interrupt. */
#include <8052.h>

#define SIZE 48

__idata unsigned char buffer[SIZE];
volatile unsigned int result;

#ifdef WITH_PERIPHERALS
volatile unsigned char ticks;
volatile unsigned char next_char;

void timer0_isr(void) __interrupt(1) { ticks++; }

void serial_isr(void) __interrupt(4) {
    if (TI) {
        TI = 0;
        SBUF = next_char++;
    }
    if (RI) RI = 0;
}
#endif

static unsigned int crc16(const __idata unsigned char *data, unsigned char length) {
    unsigned int crc = 0xFFFF;
    while (length--) {
        unsigned char i;
        crc ^= *data++;
        for (i = 0; i < 8; i++)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

static void sort(__idata unsigned char *data, unsigned char length) {
    unsigned char i, j, key;
    for (i = 1; i < length; i++) {
        key = data[i];
        j = i;
        while (j > 0 && data[j - 1] > key) {
            data[j] = data[j - 1];
            j--;
        }
        data[j] = key;
    }
}

void main(void) {
    unsigned char seed = 0x5A, i;
#ifdef WITH_PERIPHERALS
    TMOD = 0x22;          /* timer 0 and timer 1 in mode 2 */
    TH0 = 0x9C;           /* 256 - 100: an overflow every 100 cycles */
    TL0 = 0x9C;
    TH1 = 0xFD;           /* 9600 baud at 11.0592 MHz */
    TL1 = 0xFD;
    SCON = 0x50;          /* mode 1, receiver on */
    TR0 = 1;
    TR1 = 1;
    ET0 = 1;
    ES = 1;
    EA = 1;
    SBUF = 'A';
#endif
    for (;;) {
        for (i = 0; i < SIZE; i++) {
            seed = seed * 13 + 7;
            buffer[i] = seed;
        }
        result = crc16(buffer, SIZE);
        sort(buffer, SIZE);
        result ^= crc16(buffer, SIZE);
    }
}
