; Project 2 : 8 Channel Sequential Controller - LCD Display
;
; The sequencer of Project 1 with its status on a 2 line x 16 character LCD
; module instead of seven-segment digits. Eight outputs, channels 1 to 8,
; are switched on one after the other, each for its own time taken from
; the table DURATIONS at the end of this file; after channel 8 the sequence
; starts again with channel 1, forever. A point LED on every output shows
; which one is on, and the display reads, for example,
;       Channel 4 ON
;       Time left 03 s
; The seconds count from the channel's time down to 1; when they would
; reach 0 the next channel takes over.
;
; Change the times in DURATIONS (1 to 99 seconds each) and reassemble to
; make a different sequence.
;
; Wiring (40-pin devices):
;   P1.0 ... P1.7  channels 1 ... 8; a channel is on at 0 (its LED, or the
;                  relay driver of a real controller, sinks the current)
;   P2.0 ... P2.7  LCD data lines D0 ... D7 (8-bit bus)
;   P3.7           LCD RS  (0 = instruction, 1 = character)
;   P3.5           LCD E   (the module takes the byte on the falling edge)
;   LCD R/W        tied to GND: the program only writes, and instead of
;                  reading the busy flag it waits longer than each
;                  instruction takes (40 us, 1.64 ms for clear display).
;
; Timing (12 MHz clock, one machine cycle = 1 us): timer 0 runs as a
; 16-bit timer (mode 1) and overflows every 1000 cycles, each millisecond.
; Its interrupt reloads it, counts 1000 overflows and then sets the bit
; SECOND for the main program, which switches the channels, counts the
; seconds down and rewrites the display. Writing the two lines takes about
; 9 ms, well inside the second.
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
LCD_DATA DATA   P2
RS      BIT     P3.7
E       BIT     P3.5

SECOND  BIT     00H             ; set by the interrupt once a second

MILLIS  DATA    30H             ; milliseconds left in this quarter second
QUARTERS DATA   31H             ; quarter seconds left in this second
CHANNEL DATA    32H             ; the channel on: 0 ... 7 (shown as 1 ... 8)
LEFT    DATA    33H             ; seconds it still runs

RELOAD  EQU     65536-1000+7    ; 1000 cycles a period, 7 of them stopped
ALL_OFF EQU     0FFH            ; every channel off
LINE1   EQU     80H+00H         ; set-address instructions of the two lines
LINE2   EQU     80H+40H

        ORG     0000H
        LJMP    START

        ORG     000BH           ; timer 0 interrupt vector
        LJMP    TIMER0

        ORG     0030H
START:  MOV     SP,#40H         ; stack above the variables
        MOV     CHANNELS,#ALL_OFF
        ACALL   LCD_INIT

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

RUN:    ACALL   SHOW            ; channel and seconds left on the LCD
WAIT:   JBC     SECOND,TICKED   ; test and clear the flag in one instruction
        SJMP    WAIT
TICKED: DJNZ    LEFT,RUN        ; one second less
        MOV     A,CHANNEL       ; time is up: the next channel,
        INC     A
        ANL     A,#07H          ; after channel 8 channel 1 again
        MOV     CHANNEL,A
        SJMP    NEXT

; SHOW: both lines of the display, "Channel n ON" and "Time left nn s",
; each padded with spaces to 16 characters so that nothing of an earlier
; text stays behind.
SHOW:   MOV     A,#LINE1
        MOV     DPTR,#TEXT_CHANNEL
        ACALL   PRINTAT
        MOV     A,CHANNEL
        ADD     A,#'1'          ; channel 0 ... 7 as the digit '1' ... '8'
        ACALL   CHARACTER
        MOV     DPTR,#TEXT_ON
        ACALL   PRINT
        MOV     A,#LINE2
        MOV     DPTR,#TEXT_TIME
        ACALL   PRINTAT
        MOV     A,LEFT
        MOV     B,#10
        DIV     AB              ; A = tens, B = units
        ADD     A,#'0'          ; a digit's character is '0' + its value
        ACALL   CHARACTER
        MOV     A,B
        ADD     A,#'0'
        ACALL   CHARACTER
        MOV     DPTR,#TEXT_SECONDS
        ACALL   PRINT
        RET

; ---- Timer 0 interrupt, every millisecond

TIMER0:
        PUSH    PSW             ; ADD and ADDC change the carry
        PUSH    ACC
        CLR     TR0             ; stop the timer ...
        MOV     A,TL0           ; ... and add the reload value to its count
        ADD     A,#LOW(RELOAD)
        MOV     TL0,A
        MOV     A,TH0
        ADDC    A,#HIGH(RELOAD)
        MOV     TH0,A
        SETB    TR0             ; runs again, 7 cycles later
        DJNZ    MILLIS,T0_DONE
        MOV     MILLIS,#250
        DJNZ    QUARTERS,T0_DONE
        MOV     QUARTERS,#4
        SETB    SECOND          ; a whole second has passed
T0_DONE:
        POP     ACC
        POP     PSW
        RETI

; ---- LCD routines (R/W at GND: fixed waits instead of the busy flag)

; LCD_INIT: waits for the module's power-on time, then sets it up for an
; 8-bit bus and two lines, display on without cursor, and clears it.
LCD_INIT:
        CLR     E
        ACALL   DELAY20MS
        MOV     A,#30H          ; function set, 8-bit bus: three times, as the
        ACALL   COMMAND         ;   data sheet starts a module whatever state
        ACALL   DELAY20MS       ;   it is in (the first needs over 4.1 ms,
        MOV     A,#30H          ;   the others over 100 us)
        ACALL   COMMAND
        MOV     A,#30H
        ACALL   COMMAND
        MOV     A,#38H          ; function set: 8-bit bus, 2 display lines, 5x7 font
        ACALL   COMMAND
        MOV     A,#0CH          ; display on, cursor off, no blinking
        ACALL   COMMAND
        MOV     A,#06H          ; entry mode: address increments, no shift
        ACALL   COMMAND
        MOV     A,#01H          ; clear display, address 00H
        ACALL   COMMAND
        ACALL   DELAY20MS       ; clearing takes up to 1.64 ms
        RET

; PRINTAT: A = set-address instruction, DPTR = text ending in 0.
; PRINT: the text at DPTR from the present address.
PRINTAT:
        ACALL   COMMAND
PRINT:  CLR     A
        MOVC    A,@A+DPTR
        JZ      PRINTED
        ACALL   CHARACTER
        INC     DPTR
        SJMP    PRINT
PRINTED:
        RET

; COMMAND: writes A as an instruction; CHARACTER: writes A as a character.
COMMAND:
        CLR     RS
        SJMP    WRITE
CHARACTER:
        SETB    RS
WRITE:  MOV     LCD_DATA,A
        SETB    E               ; E high ...
        NOP
        CLR     E               ; ... and low: the module takes the byte
; DELAY250: about 250 us at 12 MHz, longer than any instruction but clear
; display takes. Uses R7.
DELAY250:
        MOV     R7,#125
        DJNZ    R7,$
        RET

; DELAY20MS: about 20 ms at 12 MHz. Uses R6 and R7.
DELAY20MS:
        MOV     R6,#80
DLY20:  ACALL   DELAY250
        DJNZ    R6,DLY20
        RET

;                       1234567890123456
TEXT_CHANNEL:   DB      'Channel ',0            ; then the channel digit
TEXT_ON:        DB      ' ON    ',0             ; 8 + 1 + 7 = 16 characters
TEXT_TIME:      DB      'Time left ',0          ; then two digits
TEXT_SECONDS:   DB      ' s  ',0                ; 10 + 2 + 4 = 16 characters

; One line at 0 for each channel: the pattern written to P1.
ON_PATTERNS:
        DB      0FEH, 0FDH, 0FBH, 0F7H, 0EFH, 0DFH, 0BFH, 07FH

; The time of each channel in seconds, 1 to 99: channels 1 ... 8.
DURATIONS:
        DB      2, 3, 1, 4, 2, 10, 1, 3

        END
