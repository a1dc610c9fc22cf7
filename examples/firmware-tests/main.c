/* A small firmware to show tests with the board in the loop. It answers
   "AT" on the serial line with "OK" and sets the eight LEDs on port 1 from
   "P1=HH"; it counts the presses of a key on P3.2 (INT0, falling edge),
   saying "KEY n" for each; it shows "READY" on a 2 x 16 LCD and types the
   digits pressed on a 4 x 3 keypad into the LCD's second line ("*" clears
   it, "#" sends "NUMBER digits" on the serial line); and it writes and reads
   two serial EEPROMs:
     "EWaadd" stores byte dd at address aa of the two-wire (IIC) AT24C02,
     "ERaa" answers "EE=dd" with the byte there; "SWaadd" and "SRaa" do
     the same on the SPI AT25C010 (answer "SE=dd"). Numbers are hex.
   The board (board.MST):
     P0   the LCD in 4-bit mode: RS P0.0, E P0.2, D4-D7 P0.4-P0.7, R/W tied
          to ground (the program waits out each instruction instead of
          reading the busy flag); P0 has pull-up resistors on the board
     P1   eight LEDs, each lit while its line is low
     P2   the IIC EEPROM (SCL P2.0, SDA P2.1), the SPI EEPROM (SCK P2.4,
          SO P2.5, SI P2.6, CS P2.7), keypad columns 1 and 2 (P2.2, P2.3)
     P3   the serial line (P3.0, P3.1), the key (P3.2, low while pressed),
          keypad column 3 (P3.3), keypad rows 1-4 (P3.4-P3.7)
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
/* The LCD: register select (0 instruction, 1 data) and enable; the data
   nibble goes out on P0.4-P0.7. */
#define LCD_RS P0_0
#define LCD_E P0_2
#define LCD_CLEAR 0x01
#define LCD_ENTRY_INCREMENT 0x06
#define LCD_DISPLAY_ON 0x0C
#define LCD_FOUR_BITS_TWO_LINES 0x28
#define LCD_SET_ADDRESS 0x80 /* display address; line 2 starts at 40H */
/* The keypad: a row driven low pulls the column of a held key low. */
#define COLUMN1 P2_2
#define COLUMN2 P2_3
#define COLUMN3 P3_3
#define ROWS 0xF0 /* P3.4-P3.7 */

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

/* ---- Waiting: timer 0 in mode 1 counts machine cycles (1.085 us each at
   11.0592 MHz), so a wait of n cycles lasts at least n microseconds. */
static void waitUs(unsigned int us) {
    const unsigned int start = 0 - us;
    TH0 = start >> 8;
    TL0 = start & 0xFF;
    TF0 = 0;
    TR0 = 1;
    while (!TF0)
        ;
    TR0 = 0;
}

/* ---- LCD (44780 controller), 4-bit interface: each byte as two nibbles,
   high first, taken on the falling edge of E. An instruction or character
   takes the controller 40 us, clearing the display 1.64 ms. */
static void lcdNibble(unsigned char high) {
    P0 = (P0 & 0x0F) | (high & 0xF0);
    LCD_E = 1;
    LCD_E = 0;
}

static void lcdByte(unsigned char value) {
    lcdNibble(value);
    lcdNibble(value << 4);
    waitUs(value == LCD_CLEAR && !LCD_RS ? 1700 : 50);
}

static void lcdCommand(unsigned char command) {
    LCD_RS = 0;
    lcdByte(command);
}

static void lcdPrint(unsigned char address, const char *text) {
    lcdCommand(LCD_SET_ADDRESS | address);
    LCD_RS = 1;
    while (*text)
        lcdByte(*text++);
}

/* The controller starts with an 8-bit interface: three lone 3H nibbles put
   it in a known state, a lone 2H switches it to 4 bits. */
static void lcdStart(void) {
    waitUs(15000);
    LCD_RS = 0;
    lcdNibble(0x30);
    waitUs(4100);
    lcdNibble(0x30);
    waitUs(100);
    lcdNibble(0x30);
    waitUs(50);
    lcdNibble(0x20);
    waitUs(50);
    lcdCommand(LCD_FOUR_BITS_TWO_LINES);
    lcdCommand(LCD_DISPLAY_ON);
    lcdCommand(LCD_CLEAR);
    lcdCommand(LCD_ENTRY_INCREMENT);
}

/* ---- Keypad: the key held, as printed on it, or 0. */
static char keypadKey(void) {
    static const char keys[] = "123456789*0#";
    unsigned char row;
    for (row = 0; row < 4; row++) {
        P3 |= ROWS;
        P3 &= ~(0x10 << row);
        if (!COLUMN1)
            return keys[row * 3];
        if (!COLUMN2)
            return keys[row * 3 + 1];
        if (!COLUMN3)
            return keys[row * 3 + 2];
    }
    return 0;
}

/* The digits typed on the keypad, shown on the LCD's second line. */
static char number[17];
static unsigned char digits;

static void keypadTyped(char key) {
    if (key == '#') {
        send("NUMBER ");
        send(number);
        send("\r\n");
    }
    if (key == '*' || key == '#') {
        lcdPrint(0x40, "                ");
        digits = 0;
        number[0] = 0;
    } else if (digits < 16) {
        number[digits++] = key;
        number[digits] = 0;
        lcdPrint(0x40, number);
    }
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
    char held = 0;
    CS = 1;       /* the SPI EEPROM not selected, its clock low */
    SCK = 0;
    SCON = 0x50;  /* mode 1, receiver on */
    TMOD = 0x21;  /* timer 1 in mode 2 (baud rate), timer 0 in mode 1 (waits) */
    TH1 = TL1 = 0xFD; /* 9600 baud at 11.0592 MHz */
    TR1 = 1;
    IT0 = 1;      /* INT0 on the falling edge */
    EX0 = 1;
    EA = 1;
    lcdStart();
    lcdPrint(0x00, "READY");
    send("READY\r\n");
    for (;;) {
        char key = keypadKey();
        if (key != held) { /* acts once per press */
            held = key;
            if (key)
                keypadTyped(key);
        }
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
