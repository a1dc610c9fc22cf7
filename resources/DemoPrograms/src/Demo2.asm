; Demo Program 2 : Interfacing Two Digits of Seven Segment Display
;
; Two common-anode seven-segment digits, multiplexed, count 00 to 99 in
; decimal, one step about every half second (at 12 MHz), then start again.
;
; Wiring (the same on every device, using P1 and P3 only):
;   P1.0 ... P1.7  segments a, b, c, d, e, f, g, dp  (a segment lights at 0)
;   P3.4           selects the left digit (tens)     (active low, PNP driver)
;   P3.5           selects the right digit (units)   (active low, PNP driver)
;
; The program lights one digit at a time for 2 ms and then the other: fast
; enough for the eye to see both at once. Before a select changes, the
; segments are switched off so that no digit shows the other's pattern.

$MOD51

SEGMENTS DATA   P1              ; segment lines
TENS    BIT     P3.4            ; select of the left digit
UNITS   BIT     P3.5            ; select of the right digit
COUNT   DATA    30H             ; the count, two BCD digits (00H to 99H)
ALL_OFF EQU     0FFH            ; every segment dark

        ORG     0000H
START:  MOV     SP,#40H
        MOV     SEGMENTS,#ALL_OFF
        SETB    TENS            ; both digits off
        SETB    UNITS
        MOV     COUNT,#00H

NEXT:   MOV     R5,#125         ; 125 x (2 ms + 2 ms) = 0.5 s per count
SHOW:   ACALL   REFRESH
        DJNZ    R5,SHOW
        MOV     A,COUNT         ; count up in decimal:
        ADD     A,#1            ;   add one in binary
        DA      A               ;   and correct to BCD (99 + 1 = 00)
        MOV     COUNT,A
        SJMP    NEXT

; REFRESH: shows the tens digit for 2 ms, then the units digit for 2 ms.
REFRESH:
        MOV     A,COUNT
        SWAP    A               ; tens in the low nibble
        ANL     A,#0FH
        ACALL   PATTERN
        MOV     SEGMENTS,A
        CLR     TENS            ; tens digit on
        ACALL   DELAY2MS
        SETB    TENS            ; off again
        MOV     SEGMENTS,#ALL_OFF

        MOV     A,COUNT
        ANL     A,#0FH          ; units
        ACALL   PATTERN
        MOV     SEGMENTS,A
        CLR     UNITS           ; units digit on
        ACALL   DELAY2MS
        SETB    UNITS
        MOV     SEGMENTS,#ALL_OFF
        RET

; PATTERN: A = digit 0 to 9 -> A = its segment pattern (0 = lit).
PATTERN:
        INC     A               ; skip the RET below (MOVC @A+PC counts from it)
        MOVC    A,@A+PC
        RET
        DB      0C0H, 0F9H, 0A4H, 0B0H, 099H    ; 0 1 2 3 4
        DB      092H, 082H, 0F8H, 080H, 090H    ; 5 6 7 8 9

; DELAY2MS: about 2 ms at 12 MHz (250 x 8 cycles). Uses R7.
DELAY2MS:
        MOV     R7,#250
DLY:    NOP
        NOP
        NOP
        NOP
        NOP
        NOP
        DJNZ    R7,DLY
        RET

        END
