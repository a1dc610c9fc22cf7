/* The program the conformance test debugs: a loop that calls a function,
   sends a digit over the UART each time round, answers a byte it receives
   with the next one, writes external data memory it has not got and parks
   at its end.
   The test finds the lines by the marks in the comments. */
#include <8051.h>

static unsigned char count;
static unsigned int total;

static void send(unsigned char c)
{
    SBUF = c;
    while (!TI)
        ;
    TI = 0;
}

static void bump(unsigned char n)
{
    count += n;                 /* mark:bump */
    total += count;             /* mark:total */
}

void main(void)
{
    unsigned char i;
    SCON = 0x50;                /* mark:setup */
    TMOD = 0x20;
    TH1 = 0xFD;
    TR1 = 1;
    for (i = 0; i < 4; i++) {  /* mark:loop */
        bump(i);                /* mark:call */
        send('0' + count);      /* mark:send */
    }
    P1 = (unsigned char)total;  /* mark:after */
    while (!RI)                 /* mark:wait */
        ;
    send(SBUF + 1);             /* mark:echo */
    *(__xdata volatile unsigned char *)0x1234 = 1; /* mark:movx */
    while (1)                   /* mark:park */
        ;
}
