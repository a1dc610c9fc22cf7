; Demo Program 9 : Counting Pulses at Interrupt INT0
;
; Counts the pulses on the external interrupt input INT0 (P3.2) and shows
; the count in binary on eight LEDs on P1 (P1.0 the lowest bit; an LED is
; lit at level 0, so the count is written inverted).
;
; INT0 is edge-triggered (IT0 = 1): each falling edge of the pin requests
; the interrupt once, however long the pin then stays low. The main program
; has nothing else to do and waits; all the work is in the interrupt
; routine. Give pulses with the I/O window's INT0 pulse button or by
; switching P3.2 between 1 and 0.

$MOD51

LEDS    DATA    P1
COUNT   DATA    30H             ; pulses counted (modulo 256)

        ORG     0000H
        SJMP    START

        ORG     0003H           ; INT0 interrupt vector
        INC     COUNT           ; one more pulse
        PUSH    ACC
        MOV     A,COUNT
        CPL     A               ; LEDs light at 0
        MOV     LEDS,A
        POP     ACC
        RETI

START:  MOV     SP,#40H
        MOV     COUNT,#0
        MOV     LEDS,#0FFH      ; count 0: all LEDs dark
        SETB    P3.2            ; latch at 1: the line is an input
        SETB    IT0             ; INT0 on falling edges
        SETB    EX0             ; enable INT0
        SETB    EA              ; enable interrupts

WAIT:   SJMP    WAIT            ; everything happens in the interrupt

        END
