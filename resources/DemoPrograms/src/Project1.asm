; Project 1 : 8 Channel Sequential Controller with LED Displays
;
; Eight outputs, channels 1 to 8, are switched on one after the other, each
; for its own time taken from the table DURATIONS at the end of this file;
; after channel 8 the sequence starts again with channel 1, forever. Only
; one channel is on at a time. A point LED on every output shows which one.
; Three multiplexed seven-segment digits show the channel number (with its
; dot point as a separator) and the seconds it still has to run: "4.03"
; means channel 4 is on and has 3 seconds left. The count goes from the
; channel's time down to 1; when it would reach 0 the next channel takes
; over.
;
; Change the times in DURATIONS (1 to 99 seconds each) and reassemble to
; make a different sequence.
;
; Wiring (40-pin devices):
;   P1.0 ... P1.7  channels 1 ... 8; a channel is on at 0 (its LED, or the
;                  relay driver of a real controller, sinks the current)
;   P2.0 ... P2.7  segments a ... g, dp of the digits (a segment lights at 0)
;   P0.0 ... P0.2  digit selects, channel digit first (active low, through
;                  PNP drivers; P0 has no internal pull-ups, so a real board
;                  needs a resistor network on these lines)
;
; Timing (12 MHz clock, one machine cycle = 1 us): timer 0 runs as a
; 16-bit timer (mode 1) and overflows every 1000 cycles, each millisecond.
; Its interrupt reloads it and
;   - lights the next digit, so every digit is lit for 1 ms out of 3 - fast
;     enough to look steady;
;   - every 1000th time (each second) sets the bit SECOND, which the main
;     program waits for.
; The main program does the sequencing: it switches the channels, counts
; the seconds down and writes the digit patterns into DIGITS, where the
; interrupt routine finds them.
;
; Reloading without losing time: when the interrupt routine gets to run,
; the timer has already counted on past the overflow for as many cycles as
; the interrupt took to be answered. Instead of loading a fixed value, the
; routine adds the reload value to what the timer holds, so the next
; overflow comes exactly 1000 cycles after this one whatever the delay.
; The timer is stopped during the addition (so that TL0 cannot carry into
; TH0 half-way); it stands still for the 7 one-cycle instructions from
; MOV A,TL0 to SETB TR0, and the reload value is 7 counts shorter to make
; up for them.

$MOD51

CHANNELS DATA   P1              ; the eight outputs
SEGMENTS DATA   P2              ; segment lines of the digits
SELECTS DATA    P0              ; P0.0 - P0.2: digit selects

SECOND  BIT     00H             ; set by the interrupt once a second

MILLIS  DATA    30H             ; milliseconds left in this quarter second
QUARTERS DATA   31H             ; quarter seconds left in this second
DIGIT   DATA    32H             ; the digit lit now: 0, 1 or 2
SELECT  DATA    33H             ; its select pattern (0 on its line)
CHANNEL DATA    34H             ; the channel on: 0 ... 7 (shown as 1 ... 8)
LEFT    DATA    35H             ; seconds it still runs
DIGITS  DATA    36H             ; 36H - 38H: segment patterns of the digits

RELOAD  EQU     65536-1000+7    ; 1000 cycles a period, 7 of them stopped
ALL_OFF EQU     0FFH            ; every channel off / every segment dark
NO_DIGIT EQU    07H             ; P0.0 - P0.2 at 1: no digit selected

        ORG     0000H
        LJMP    START

        ORG     000BH           ; timer 0 interrupt vector
        LJMP    TIMER0

        ORG     0030H
START:  MOV     SP,#40H         ; stack above the variables
        MOV     CHANNELS,#ALL_OFF
        MOV     SEGMENTS,#ALL_OFF
        ORL     SELECTS,#NO_DIGIT
        MOV     DIGITS,#ALL_OFF ; digits dark until the first SHOW
        MOV     DIGITS+1,#ALL_OFF
        MOV     DIGITS+2,#ALL_OFF
        MOV     DIGIT,#0
        MOV     SELECT,#0FEH    ; the channel digit comes first
        MOV     MILLIS,#250
        MOV     QUARTERS,#4
        CLR     SECOND

        MOV     TMOD,#01H       ; timer 0: mode 1 (16 bits), counting machine cycles
        MOV     TH0,#HIGH(RELOAD) ; first overflow 1 ms from now
        MOV     TL0,#LOW(RELOAD)
        SETB    ET0             ; timer 0 interrupt on
        SETB    EA              ; interrupts on
        SETB    TR0             ; timer 0 runs

        MOV     CHANNEL,#0      ; start with channel 1

; Switch the channel in CHANNEL on for its time.
NEXT:   MOV     A,CHANNEL
        MOV     DPTR,#DURATIONS
        MOVC    A,@A+DPTR       ; its time in seconds
        MOV     LEFT,A
        MOV     A,CHANNEL
        MOV     DPTR,#ON_PATTERNS
        MOVC    A,@A+DPTR       ; one line at 0: this channel on ...
        MOV     CHANNELS,A      ; ... and the one before off, in one write

RUN:    ACALL   SHOW            ; channel and seconds left on the digits
WAIT:   JBC     SECOND,TICKED   ; test and clear the flag in one instruction
        SJMP    WAIT
TICKED: DJNZ    LEFT,RUN        ; one second less
        MOV     A,CHANNEL       ; time is up: the next channel,
        INC     A
        ANL     A,#07H          ; after channel 8 channel 1 again
        MOV     CHANNEL,A
        SJMP    NEXT

; SHOW: writes the patterns of the channel number (with its dot point lit)
; and of the seconds left, two digits, into DIGITS.
SHOW:   MOV     A,CHANNEL
        INC     A               ; channels are numbered from 1
        ACALL   PATTERN
        ANL     A,#7FH          ; dot point lit (bit 7 = dp)
        MOV     DIGITS,A
        MOV     A,LEFT
        MOV     B,#10
        DIV     AB              ; A = tens, B = units
        ACALL   PATTERN
        MOV     DIGITS+1,A
        MOV     A,B
        ACALL   PATTERN
        MOV     DIGITS+2,A
        RET

; PATTERN: A = digit 0 to 9 -> A = its segment pattern (0 = lit).
PATTERN:
        INC     A               ; skip the RET (MOVC @A+PC counts from it)
        MOVC    A,@A+PC
        RET
        DB      0C0H, 0F9H, 0A4H, 0B0H, 099H    ; 0 1 2 3 4
        DB      092H, 082H, 0F8H, 080H, 090H    ; 5 6 7 8 9

; ---- Timer 0 interrupt, every millisecond
;
; The routine saves A and PSW (ADD and ADDC change the carry) and switches
; to register bank 1 for R0, leaving the main program's registers in bank 0
; untouched.
TIMER0: PUSH    PSW
        PUSH    ACC
        CLR     TR0             ; stop the timer ...
        MOV     A,TL0           ; ... and add the reload value to its count
        ADD     A,#LOW(RELOAD)
        MOV     TL0,A
        MOV     A,TH0
        ADDC    A,#HIGH(RELOAD)
        MOV     TH0,A
        SETB    TR0             ; runs again, 7 cycles later
        MOV     PSW,#08H        ; register bank 1
        ACALL   REFRESH
        DJNZ    MILLIS,T0_DONE
        MOV     MILLIS,#250
        DJNZ    QUARTERS,T0_DONE
        MOV     QUARTERS,#4
        SETB    SECOND          ; a whole second has passed
T0_DONE:
        POP     ACC
        POP     PSW             ; register bank 0 again
        RETI

; REFRESH: turns the lit digit off and lights the next one. The selects go
; off before the segments change, so no digit ever shows another's pattern.
REFRESH:
        ORL     SELECTS,#NO_DIGIT
        MOV     A,DIGIT
        ADD     A,#DIGITS       ; address of this digit's pattern
        MOV     R0,A
        MOV     SEGMENTS,@R0
        MOV     A,SELECT
        ANL     SELECTS,A       ; this digit on
        RL      A               ; the next select line
        INC     DIGIT
        MOV     R0,DIGIT
        CJNE    R0,#3,REFRESHED
        MOV     DIGIT,#0        ; after the third digit the first again
        MOV     A,#0FEH
REFRESHED:
        MOV     SELECT,A
        RET

; One line at 0 for each channel: the pattern written to P1.
ON_PATTERNS:
        DB      0FEH, 0FDH, 0FBH, 0F7H, 0EFH, 0DFH, 0BFH, 07FH

; The time of each channel in seconds, 1 to 99: channels 1 ... 8.
DURATIONS:
        DB      2, 3, 1, 4, 2, 10, 1, 3

        END
