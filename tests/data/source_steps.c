/* Stepping by C line: a loop calling a function, and a line without code.
   The tests find the lines by the marks in the comments. */
#include <8051.h>

static unsigned char count;

static void bump(unsigned char n)
{
    count += n;             /* mark:bump */
    P1 = count;             /* mark:port */
}

void main(void)
{
    unsigned char i;
    /* mark:nocode */
    for (i = 0; i < 3; i++) { /* mark:loop */
        bump(i);            /* mark:call */
    }
    P2 = count;             /* mark:after */
    while (1)               /* mark:park */
        ;
}
