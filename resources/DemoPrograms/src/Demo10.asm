; Demo Program 10 : Counting External Event Using Timer 0 in Counter Mode
;
; Timer 0 counts the falling edges on its input T0 (P3.4): with C/T = 1 in
; TMOD it counts events instead of machine cycles. The program copies the
; low byte of the count to eight LEDs on P1 (P1.0 the lowest bit, an LED
; lit at level 0) over and over, so the LEDs show the events counted.
;
; Timer 0 mode 1 (16 bits, TH0:TL0); GATE = 0, so TR0 alone starts it.
; Give events with the I/O window's T0 pulse button or by switching P3.4
; between 1 and 0.

$MOD51

LEDS    DATA    P1

        ORG     0000H
START:  MOV     SP,#40H
        MOV     LEDS,#0FFH      ; all LEDs dark
        SETB    P3.4            ; latch at 1: T0 is an input
        MOV     TMOD,#05H       ; timer 0: GATE 0, C/T 1 (counter), mode 1
        MOV     TH0,#0
        MOV     TL0,#0
        SETB    TR0             ; start counting

SHOW:   MOV     A,TL0           ; events counted (low byte)
        CPL     A               ; LEDs light at 0
        MOV     LEDS,A
        SJMP    SHOW

        END
