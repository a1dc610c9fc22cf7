/* 200 global variables in external data memory, for the debug adapter's
   benchmark of a variables request. */
#define V(n) __xdata volatile unsigned int g##n;
#define V10(n) V(n##0) V(n##1) V(n##2) V(n##3) V(n##4) V(n##5) V(n##6) V(n##7) V(n##8) V(n##9)
V10(1) V10(2) V10(3) V10(4) V10(5) V10(6) V10(7) V10(8) V10(9) V10(10)
V10(11) V10(12) V10(13) V10(14) V10(15) V10(16) V10(17) V10(18) V10(19) V10(20)

void main(void)
{
    for (;;)
        g10++;
}
