; Demo Program 1 : Flash a Point LED
;
; A point LED on P1.0 flashes: 250 ms on, 250 ms off (a period of about
; half a second at 12 MHz). The LED's cathode is on the port line and its
; anode goes to +5V through a resistor, so the LED lights while P1.0 is 0.
;
; Runs on every device of the family: it uses P1.0 only, no timer and no
; interrupt, and the delay is a counted software loop.

$MOD51

LED     BIT     P1.0            ; the point LED, lit at level 0

        ORG     0000H
START:  MOV     SP,#40H         ; stack above the registers and bit area
        SETB    LED             ; start with the LED dark

FLASH:  CPL     LED             ; dark -> lit -> dark ...
        ACALL   DELAY250        ; keep it so for 250 ms
        SJMP    FLASH

; DELAY250: about 250 ms at 12 MHz (one machine cycle = 1 us).
; One pass of the inner loop takes 4 cycles (NOP, NOP, DJNZ = 1 + 1 + 2),
; 250 passes make 1 ms; the outer loop repeats that 250 times.
; Uses R6 and R7.
DELAY250:
        MOV     R7,#250         ; 250 x 1 ms
DLY1:   MOV     R6,#250         ; 250 x 4 us = 1 ms
DLY2:   NOP
        NOP
        DJNZ    R6,DLY2
        DJNZ    R7,DLY1
        RET

        END
