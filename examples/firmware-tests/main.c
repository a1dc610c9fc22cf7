/* A small firmware to show tests with the board in the loop: it answers
   "AT" on the serial line with "OK", sets port 1 from "P1=HH", and counts
   the presses of a key on P3.2 (INT0, falling edge), saying "KEY n" for each.
   Built with SDCC: make (or sdcc --debug main.c). 11.0592 MHz, 9600 baud. */
#include <8052.h>

volatile unsigned char presses;
static char line[8];
static unsigned char length;

static void send(const char *text) {
    while (*text) {
        SBUF = *text++;
        while (!TI)
            ;
        TI = 0;
    }
}

static unsigned char hexDigit(char c) {
    return c <= '9' ? c - '0' : (c & 0xDF) - 'A' + 10;
}

static void command(void) {
    if (length == 2 && line[0] == 'A' && line[1] == 'T') {
        send("OK\r\n");
    } else if (length == 5 && line[0] == 'P' && line[1] == '1' && line[2] == '=') {
        P1 = hexDigit(line[3]) << 4 | hexDigit(line[4]);
        send("OK\r\n");
    } else {
        send("ERROR\r\n");
    }
}

void key(void) __interrupt(0) { presses++; }

void main(void) {
    unsigned char said = 0;
    SCON = 0x50;  /* mode 1, receiver on */
    TMOD = 0x20;  /* timer 1 in mode 2 */
    TH1 = TL1 = 0xFD; /* 9600 baud at 11.0592 MHz */
    TR1 = 1;
    IT0 = 1;      /* INT0 on the falling edge */
    EX0 = 1;
    EA = 1;
    send("READY\r\n");
    for (;;) {
        if (said != presses) {
            char text[] = "KEY 0\r\n";
            said++;
            text[4] = '0' + said % 10;
            send(text);
        }
        if (RI) {
            char c = SBUF;
            RI = 0;
            if (c == '\r') {
                command();
                length = 0;
            } else if (length < sizeof line) {
                line[length++] = c;
            }
        }
    }
}
