/* Large memory model: every variable in external data memory (MOVX through
   DPTR), recursion on the stack, sprintf, string functions and a sort. */
#include <8052.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int putchar(int c) {
    while (!TI)
        ;
    TI = 0;
    SBUF = c;
    return c;
}

static unsigned int fib(unsigned char n) {
    return n < 2 ? n : fib(n - 1) + fib(n - 2);
}

static int compare(const void *a, const void *b) {
    return *(const int *)a - *(const int *)b;
}

int values[8] = {40, -3, 17, 0, 99, -50, 8, 17};
char text[40];

void main(void) {
    unsigned char i;
    SCON = 0x50;
    TMOD = 0x20;
    TH1 = 0xFD;
    TL1 = 0xFD;
    TR1 = 1;
    TI = 1;
    qsort(values, 8, sizeof values[0], compare);
    for (i = 0; i < 8; i++)
        printf("%d ", values[i]);
    sprintf(text, "fib%u=%u", 12, fib(12));
    strcat(text, "!");
    printf("\n%s len %u\n", text, (unsigned)strlen(text));
    for (;;)
        ;
}
