/* A timer-0 interrupt (register bank 1) counts ticks every 1000 machine
   cycles while the main program, in bank 0, keeps a sum in registers; the
   handler must not disturb it. Reports over the UART. */
#include <8052.h>
#include <stdio.h>

int putchar(int c) {
    while (!TI)
        ;
    TI = 0;
    SBUF = c;
    return c;
}

volatile unsigned int ticks;
volatile unsigned char bank_seen;

void timer0_isr(void) __interrupt(1) __using(1) {
    TH0 = (65536 - 1000) >> 8;  /* reload for 1000 cycles (mode 1) */
    TL0 = (65536 - 1000) & 0xFF;
    ticks++;
    bank_seen = PSW & 0x18;
}

void main(void) {
    unsigned long sum = 0;
    unsigned int i;
    unsigned int seen;
    SCON = 0x50;
    TMOD = 0x21;              /* timer 1 mode 2 (baud), timer 0 mode 1 */
    TH1 = 0xFD;
    TL1 = 0xFD;
    TH0 = (65536 - 1000) >> 8;
    TL0 = (65536 - 1000) & 0xFF;
    TR1 = 1;
    TI = 1;
    ET0 = 1;
    EA = 1;                   /* bit instructions only, as C compilers do */
    TR0 = 1;
    for (i = 1; i <= 2000; i++)
        sum += i;             /* interrupts arrive while this runs */
    while (ticks < 50)
        ;
    EA = 0;
    seen = ticks;
    printf("sum %lu ticks %u bank %u\n", sum, seen >= 50 ? 50 : 0, bank_seen >> 3);
    for (;;)
        ;
}
