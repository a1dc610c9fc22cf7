/* Prints its variables over the UART as "expression HEX" lines (the value
   cast to unsigned long; a float as its bits), then reaches a line marked
   MARK where a debugger reads the same expressions. Covers every integer
   type, float, sbit and SFR, arrays, structs, unions, bit-fields, pointers
   of every kind, and data, idata, xdata, pdata, code, register and
   reentrant stack-frame variables. */
#include <8052.h>

int putchar(int c) {
    while (!TI)
        ;
    TI = 0;
    SBUF = c;
    return c;
}

static void out(const char *name, unsigned long v) {
    signed char i;
    while (*name)
        putchar(*name++);
    putchar(' ');
    for (i = 28; i >= 0; i -= 4)
        putchar("0123456789ABCDEF"[(v >> i) & 15]);
    putchar('\n');
}

typedef union { float f; unsigned long u; } bits_t;
struct pt { signed char x; int y; unsigned int f1 : 3; unsigned int f2 : 5; };
union uv { unsigned long l; unsigned char b[4]; };

signed char gc = -5;
unsigned char guc = 200;
int gi = -1234;
unsigned int gui = 54321;
long gl = -123456789;
unsigned long gul = 3000000000;
short gs = -300;
float gf = -3.25;
__bit gbit = 1; /* the debug file gives bit variables no address */
__idata unsigned char ibuf[3] = {7, 8, 9};
__xdata int xarr[4] = {100, -200, 300, -400};
__pdata unsigned char pv = 0x5A;
__code const unsigned char ctab[3] = {0x11, 0x22, 0x33};
struct pt gpt = {-3, 777, 5, 17};
union uv guv;
static unsigned char fstat = 42;
__xdata struct pt xpt = {12, -34, 2, 9};
char *gp;
char *gpc;
char *gpi;
char *gpp;
__code const unsigned char *cp = &ctab[2];
__xdata int *xp = &xarr[1];
__data struct pt *dp = &gpt;
__idata unsigned char *ip = &ibuf[1];
__pdata unsigned char *pp = &pv;
volatile unsigned char stop;
volatile unsigned long sink;

int rec(int n) __reentrant {
    int k = n * 3;
    long acc = n;
    if (n > 0)
        acc += rec(n - 1);
    if (n == 2) {
        out("n", n); out("k", k); out("acc", acc);
        stop++; /* MARK */
    }
    return acc + k + n;
}

long sum(__xdata struct pt *p, int n) {
    long s = 0;
    int j;
    for (j = 0; j < n; j++)
        s += p->y + j;
    out("n", n); out("s", s); out("p->y", p->y); out("p->f2", p->f2);
    stop++; /* MARK */
    return s + n + j + (long)p;
}

/* Calls nothing: without --nooverlay its locals share memory with other
   functions' and the debug file gives them no type. */
unsigned char leaf(unsigned char a, unsigned char b) {
    volatile unsigned char t = a * b;
    stop++; /* MARK */
    return t + a;
}

void main(void) {
    unsigned char j = 9;
    int loc = -77;
    bits_t cv;
    stop = leaf(6, 7);
    SCON = 0x50;
    TMOD = 0x20;
    TH1 = 0xFD;
    TL1 = 0xFD;
    TR1 = 1;
    TI = 1;
    guv.l = 0x11223344;
    gp = (char *)&xarr[2];
    gpc = (char *)&ctab[1];
    gpi = (char *)&ibuf[2];
    gpp = (char *)&pv;
    P1 = 0xA5;
    cv.f = gf;
    out("gc", gc); out("guc", guc); out("gi", gi); out("gui", gui); out("gl", gl);
    out("gul", gul); out("gs", gs); out("gf", cv.u); out("ibuf[2]", ibuf[2]);
    out("xarr[3]", xarr[3]); out("pv", pv); out("ctab[1]", ctab[1]); out("gpt.x", gpt.x);
    out("gpt.y", gpt.y); out("gpt.f1", gpt.f1); out("gpt.f2", gpt.f2); out("guv.b[1]", guv.b[1]);
    out("guv.l", guv.l); out("fstat", fstat); out("xpt.y", xpt.y); out("*gp", *gp);
    out("gpc[1]", gpc[1]); out("*gpi", *gpi); out("*gpp", *gpp);
    out("*cp", *cp); out("*xp", *xp); out("dp->y", dp->y); out("(*dp).x", (*dp).x);
    out("*ip", *ip); out("*pp", *pp); out("P1", P1); out("P1_0", P1_0); out("P1_1", P1_1);
    out("gbit", gbit);
    out("j", j); out("loc", loc);
    stop++; /* MARK */
    sink = j + loc + rec(3) + sum(&xpt, 4);
    while (1)
        ;
}
