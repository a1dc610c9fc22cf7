/* A small firmware to show tests with the board in the loop: it answers
   "AT" on the serial line with "OK", sets port 1 from "P1=HH", counts the
   presses of a key on P3.2 (INT0, falling edge), saying "KEY n" for each,
   and writes and reads two serial EEPROMs (board.MST wires them to P2):
     "EWaadd" stores byte dd at address aa of the two-wire (IIC) AT24C02,
     "ERaa" answers "EE=dd" with the byte there; "SWaadd" and "SRaa" do
     the same on the SPI AT25C010 (answer "SE=dd"). Numbers are hex.
   Built with SDCC: make (or sdcc --debug main.c). 11.0592 MHz, 9600 baud. */
#include <8052.h>

/* The IIC bus: the program is the master, both lines open drain. */
#define SCL P2_0
#define SDA P2_1
#define EEPROM_WRITE 0xA0 /* AT24C02 device address, A2-A0 low */
#define EEPROM_READ 0xA1
/* The SPI EEPROM: clock, its output (SO), its input (SI), chip select. */
#define SCK P2_4
#define SO P2_5
#define SI P2_6
#define CS P2_7
#define SPI_WREN 0x06
#define SPI_RDSR 0x05
#define SPI_READ 0x03
#define SPI_WRITE 0x02
#define SPI_BUSY 0x01 /* status: write cycle in progress */

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

static unsigned char hexByte(const char *text) {
    return hexDigit(text[0]) << 4 | hexDigit(text[1]);
}

/* "EE=dd" or "SE=dd" with the byte in hex. */
static void sendByte(char part, unsigned char value) {
    static const char digits[] = "0123456789ABCDEF";
    char text[] = "?E=00\r\n";
    text[0] = part;
    text[3] = digits[value >> 4];
    text[4] = digits[value & 15];
    send(text);
}

/* ---- IIC: start (SDA falls while SCL is high), stop (SDA rises while SCL
   is high), bytes most significant bit first with the receiver's
   acknowledge (SDA low) on the ninth clock. */
static void iicStart(void) {
    SDA = 1;
    SCL = 1;
    SDA = 0;
    SCL = 0;
}

static void iicStop(void) {
    SDA = 0;
    SCL = 1;
    SDA = 1;
}

/* Nonzero when the device acknowledged. */
static unsigned char iicSend(unsigned char value) {
    unsigned char bit, acknowledged;
    for (bit = 0; bit < 8; bit++) {
        SDA = (value & 0x80) != 0;
        SCL = 1;
        SCL = 0;
        value <<= 1;
    }
    SDA = 1; /* let go for the acknowledge */
    SCL = 1;
    acknowledged = !SDA;
    SCL = 0;
    return acknowledged;
}

/* The last byte of a read: no acknowledge. */
static unsigned char iicReceiveLast(void) {
    unsigned char bit, value = 0;
    SDA = 1;
    for (bit = 0; bit < 8; bit++) {
        SCL = 1;
        value = value << 1 | SDA;
        SCL = 0;
    }
    SCL = 1; /* SDA stays high: no acknowledge */
    SCL = 0;
    return value;
}

/* Addresses the EEPROM for writing, waiting out a write cycle in progress
   (the device does not acknowledge while it runs). */
static void iicSelect(void) {
    for (;;) {
        iicStart();
        if (iicSend(EEPROM_WRITE))
            return;
        iicStop();
    }
}

static void iicWrite(unsigned char address, unsigned char value) {
    iicSelect();
    iicSend(address);
    iicSend(value);
    iicStop(); /* starts the write cycle */
}

static unsigned char iicRead(unsigned char address) {
    unsigned char value;
    iicSelect();
    iicSend(address);
    iicStart(); /* repeated start: the read from that address */
    iicSend(EEPROM_READ);
    value = iicReceiveLast();
    iicStop();
    return value;
}

/* ---- SPI, mode 0: SCK idles low, the device takes SI on the rising edge
   and has its bit on SO before it. */
static unsigned char spiTransfer(unsigned char out) {
    unsigned char bit, in = 0;
    for (bit = 0; bit < 8; bit++) {
        SI = (out & 0x80) != 0;
        out <<= 1;
        SCK = 1;
        in = in << 1 | SO;
        SCK = 0;
    }
    return in;
}

static void spiWaitReady(void) {
    unsigned char status;
    do {
        CS = 0;
        spiTransfer(SPI_RDSR);
        status = spiTransfer(0xFF);
        CS = 1;
    } while (status & SPI_BUSY);
}

static void spiWrite(unsigned char address, unsigned char value) {
    spiWaitReady();
    CS = 0;
    spiTransfer(SPI_WREN);
    CS = 1;
    CS = 0;
    spiTransfer(SPI_WRITE);
    spiTransfer(address);
    spiTransfer(value);
    CS = 1; /* starts the write cycle */
}

static unsigned char spiRead(unsigned char address) {
    unsigned char value;
    spiWaitReady();
    CS = 0;
    spiTransfer(SPI_READ);
    spiTransfer(address);
    value = spiTransfer(0xFF);
    CS = 1;
    return value;
}

static void command(void) {
    if (length == 2 && line[0] == 'A' && line[1] == 'T') {
        send("OK\r\n");
    } else if (length == 5 && line[0] == 'P' && line[1] == '1' && line[2] == '=') {
        P1 = hexByte(line + 3);
        send("OK\r\n");
    } else if (length == 6 && line[1] == 'W' && (line[0] == 'E' || line[0] == 'S')) {
        if (line[0] == 'E')
            iicWrite(hexByte(line + 2), hexByte(line + 4));
        else
            spiWrite(hexByte(line + 2), hexByte(line + 4));
        send("OK\r\n");
    } else if (length == 4 && line[1] == 'R' && (line[0] == 'E' || line[0] == 'S')) {
        sendByte(line[0], line[0] == 'E' ? iicRead(hexByte(line + 2)) : spiRead(hexByte(line + 2)));
    } else {
        send("ERROR\r\n");
    }
}

void key(void) __interrupt(0) { presses++; }

void main(void) {
    unsigned char said = 0;
    CS = 1;       /* the SPI EEPROM not selected, its clock low */
    SCK = 0;
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
