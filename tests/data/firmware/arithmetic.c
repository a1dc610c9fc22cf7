/* Integer and floating-point arithmetic, printed with printf over the UART
   (mode 1, timer 1 at 9600 baud from 11.0592 MHz). */
#include <8052.h>
#include <stdio.h>
#include <math.h>

int putchar(int c) {
    while (!TI)
        ;
    TI = 0;
    SBUF = c;
    return c;
}

static void serial_init(void) {
    SCON = 0x50;
    TMOD = 0x20;
    TH1 = 0xFD;
    TL1 = 0xFD;
    TR1 = 1;
    TI = 1;
}

/* Kept out of the compiler's reach so nothing folds at compile time. */
volatile int a16 = -1234, b16 = 77;
volatile unsigned int u16 = 65000u;
volatile long a32 = 123456789L, b32 = -98765L;
volatile unsigned char c8 = 200, d8 = 7;
volatile float fx = 3.25f, fy = -0.5f;

static void print_fixed(float value) {
    /* three decimals, rounded */
    long scaled = (long)(value * 1000.0f + (value < 0 ? -0.5f : 0.5f));
    char sign = scaled < 0 ? '-' : '+';
    if (scaled < 0) scaled = -scaled;
    printf("%c%ld.%03ld", sign, scaled / 1000, scaled % 1000);
}

void main(void) {
    serial_init();
    printf("i16 %d %d %d %d\n", a16 + b16, a16 * b16, a16 / b16, a16 % b16);
    printf("u16 %u %u\n", u16 + 1000u, u16 / 7u);
    printf("i32 %ld %ld %ld\n", a32 * 3L, a32 / b32, a32 % b32);
    printf("u8 %u %u %u\n", (unsigned)(unsigned char)(c8 + c8), (unsigned)(c8 / d8),
           (unsigned)(c8 * d8));
    printf("f ");
    print_fixed(fx * fy);
    printf(" ");
    print_fixed(fx / fy + 1.0f);
    printf(" ");
    print_fixed(sqrtf(fx * 4.0f));
    printf(" ");
    print_fixed(sinf(0.5f));
    printf("\n");
    printf("hex %04X %08lX end\n", 0xBEEF, 0x12345678L);
    for (;;)
        ;
}
