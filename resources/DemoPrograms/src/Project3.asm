; Project 3 : Programmable Timer with 2X16 LCD Display
;
; A 4 x 3 keypad sets a time of 1 to 999 seconds; the key # starts the
; timer. The output line is switched on at once and stays on while the time
; counts down on a 2 line x 16 character LCD module; at zero the output is
; switched off and the display says so.
;
; The keys are laid out as on a telephone:
;        column 1  column 2  column 3
; row 1     1         2         3
; row 2     4         5         6
; row 3     7         8         9
; row 4     *         0         #
;
; What the keys do:
;   0 ... 9  enter the time: each digit moves in from the right, the oldest
;            of the three drops out ("5", "0", "0" sets 500 s).
;   #        starts the timer with the time shown (nothing for 000).
;   *        clears the time; while the timer runs it stops it early.
; After the end a digit key begins a new time and # runs the last one again.
;
; What the display shows (16 characters a line):
;   setting     "Set Time: 025 s " / "#:Start *:Clear "
;   running     "Output ON       " / "Time Left 025 s "
;   at zero     "Time Over       " / "Output OFF      "
;   stopped     "Timer Stopped   " / "Output OFF      "
;
; Wiring (40-pin devices):
;   P1.0 ... P1.3  keypad rows 1 to 4 (outputs: the row being scanned is 0)
;   P1.4 ... P1.6  keypad columns 1 to 3 (inputs, latches at 1: a pressed
;                  key in the scanned row pulls its column to 0)
;   P1.7           the timer output, on at 0 (a point LED here; a relay
;                  driver in a real timer)
;   P2.0 ... P2.7  LCD data lines D0 ... D7 (8-bit bus)
;   P3.7           LCD RS  (0 = instruction, 1 = character)
;   P3.5           LCD E   (the module takes the byte on the falling edge)
;   LCD R/W        tied to GND: the program only writes and waits longer
;                  than each instruction takes instead of reading the busy
;                  flag.
;
; Timing (12 MHz clock, one machine cycle = 1 us): timer 0 runs as a
; 16-bit timer (mode 1) and overflows every 1000 cycles, each millisecond.
; Its interrupt reloads it and sets the bit TICK every 10 ms, when the main
; program scans the keypad, and the bit SECOND every second, when it counts
; the time down. Starting the timer restarts the second, so the output
; stays on for whole seconds from the moment # is accepted.
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
;
; Debouncing: a key counts when two scans 10 ms apart find the same key
; and it differs from the key accepted before; a held key therefore acts
; once, and acts again only after it was released.

$MOD51

ROWS    EQU     0FH             ; P1.0 - P1.3: the rows, as a mask of P1
COLUMN1 BIT     P1.4
COLUMN2 BIT     P1.5
COLUMN3 BIT     P1.6
OUTPUT  BIT     P1.7            ; the timer output, on at 0
LCD_DATA DATA   P2
RS      BIT     P3.7
E       BIT     P3.5

TICK    BIT     00H             ; set by the interrupt every 10 ms
SECOND  BIT     01H             ; set by the interrupt once a second

MILLIS  DATA    30H             ; milliseconds left in this 10 ms tick
HUNDREDTHS DATA 31H             ; ticks left in this second
STATE   DATA    32H             ; SETTING, RUNNING or ENDED
SCANNED DATA    33H             ; the key of the last scan (NO_KEY: none)
ACCEPTED DATA   34H             ; the key accepted last (NO_KEY: released)
SETTIME DATA    35H             ; 35H - 37H: the time set, one decimal digit
                                ; a byte, hundreds first
TIMELEFT DATA   38H             ; 38H - 3AH: the time left, the same way

SETTING EQU     0               ; the states
RUNNING EQU     1
ENDED   EQU     2
NO_KEY  EQU     0FFH
STAR    EQU     0AH             ; key values of * and # (digits are 0 - 9)
HASH    EQU     0BH

RELOAD  EQU     65536-1000+7    ; 1000 cycles a period, 7 of them stopped
LINE1   EQU     80H+00H         ; set-address instructions of the two lines
LINE2   EQU     80H+40H

        ORG     0000H
        LJMP    START

        ORG     000BH           ; timer 0 interrupt vector
        LJMP    TIMER0

        ORG     0030H
START:  MOV     SP,#40H         ; stack above the variables
        MOV     P1,#0FFH        ; output off, rows released, columns inputs
        ACALL   LCD_INIT
        MOV     SCANNED,#NO_KEY
        MOV     ACCEPTED,#NO_KEY
        ACALL   CLEARTIME       ; time 000, setting screen

        ACALL   RESTART_TICKS
        MOV     TMOD,#01H       ; timer 0: mode 1 (16 bits), counting machine cycles
        MOV     TH0,#HIGH(RELOAD) ; first overflow 1 ms from now
        MOV     TL0,#LOW(RELOAD)
        SETB    ET0             ; timer 0 interrupt on
        SETB    EA              ; interrupts on
        SETB    TR0             ; timer 0 runs

; The main loop waits for the interrupt's flags.
MAIN:   JBC     SECOND,ONESECOND ; test and clear in one instruction
        JBC     TICK,SCAN
        SJMP    MAIN
ONESECOND:
        ACALL   COUNTDOWN
        SJMP    MAIN
SCAN:   ACALL   KEYPAD
        SJMP    MAIN

; ---- Keys

; KEYPAD: one scan; a new key, held for two scans, goes to KEYACTION.
KEYPAD: ACALL   KEYSCAN         ; A = key number or NO_KEY
        CJNE    A,SCANNED,KP_CHANGED
        CJNE    A,ACCEPTED,KP_STABLE
        RET                     ; the same key as before: nothing new
KP_CHANGED:
        MOV     SCANNED,A       ; wait for the next scan to confirm it
        RET
KP_STABLE:
        MOV     ACCEPTED,A
        CJNE    A,#NO_KEY,KP_PRESSED
        RET                     ; the key was released
KP_PRESSED:
        ACALL   KEYVALUE
        ACALL   KEYACTION
        RET

; KEYSCAN: scans the keypad once. A = key number 0 ... 11 (row x 3 +
; column), or NO_KEY. The rows are set by ORL and ANL on P1, which change
; only the row lines and keep the output line's latch. Uses R2 and R3.
KEYSCAN:
        MOV     R2,#0           ; number of the key in column 1 of this row
        MOV     R3,#0FEH        ; row pattern: row 1 at 0
KS_ROW: ORL     P1,#ROWS        ; every row at 1 ...
        MOV     A,R3
        ANL     P1,A            ; ... but this one
        JNB     COLUMN1,KS_KEY1
        JNB     COLUMN2,KS_KEY2
        JNB     COLUMN3,KS_KEY3
        MOV     A,R2            ; no key in this row: the next row
        ADD     A,#3
        MOV     R2,A
        MOV     A,R3
        RL      A               ; the 0 moves to the next row line
        MOV     R3,A
        CJNE    R2,#12,KS_ROW
        ORL     P1,#ROWS        ; all four rows done, none held
        MOV     A,#NO_KEY
        RET
KS_KEY3:
        INC     R2
KS_KEY2:
        INC     R2
KS_KEY1:
        ORL     P1,#ROWS        ; rows released
        MOV     A,R2
        RET

; KEYVALUE: key number 0 ... 11 -> its value: 0 ... 9, STAR or HASH.
KEYVALUE:
        INC     A               ; skip the RET (MOVC @A+PC counts from it)
        MOVC    A,@A+PC
        RET
        DB      1, 2, 3         ; row 1
        DB      4, 5, 6         ; row 2
        DB      7, 8, 9         ; row 3
        DB      STAR, 0, HASH   ; row 4

; KEYACTION: what key value A does in the present state. Uses R5.
KEYACTION:
        MOV     R5,A
        MOV     A,STATE
        CJNE    A,#RUNNING,KA_IDLE
        CJNE    R5,#STAR,KA_DONE ; while running only * counts
        SETB    OUTPUT          ; stopped early: output off
        MOV     STATE,#ENDED
        MOV     DPTR,#TEXT_STOPPED
        ACALL   SHOWLINES
KA_DONE:
        RET
KA_IDLE:
        CJNE    R5,#HASH,KA_NOTHASH
        MOV     A,SETTIME       ; # starts, unless the time is 000
        ORL     A,SETTIME+1
        ORL     A,SETTIME+2
        JZ      KA_DONE
        ACALL   STARTTIMER
        RET
KA_NOTHASH:
        CJNE    R5,#STAR,KA_DIGIT
        ACALL   CLEARTIME       ; * clears the time
        RET
KA_DIGIT:
        MOV     A,STATE
        CJNE    A,#ENDED,KA_SHIFT
        ACALL   CLEARTIME       ; after the end a digit begins a new time
KA_SHIFT:
        MOV     SETTIME,SETTIME+1 ; the digits move left, the new one
        MOV     SETTIME+1,SETTIME+2 ; comes in at the units
        MOV     SETTIME+2,R5
        ACALL   SHOWSET
        RET

; CLEARTIME: time set 000, the setting screen.
CLEARTIME:
        MOV     SETTIME,#0
        MOV     SETTIME+1,#0
        MOV     SETTIME+2,#0
        MOV     STATE,#SETTING
        MOV     DPTR,#TEXT_SETTING
        ACALL   SHOWLINES
; SHOWSET: the time set, on line 1 after "Set Time: ".
SHOWSET:
        MOV     A,#LINE1+10
        MOV     R0,#SETTIME
        ACALL   SHOWTIME
        RET

; ---- Timing

; STARTTIMER: copies the time set into the time left, switches the output
; on and restarts the second from now.
STARTTIMER:
        CLR     TR0             ; timer stopped while the counts restart
        MOV     TH0,#HIGH(RELOAD) ; next overflow 1 ms from now
        MOV     TL0,#LOW(RELOAD)
        CLR     TF0             ; no overflow pending
        ACALL   RESTART_TICKS
        SETB    TR0
        CLR     OUTPUT          ; output on
        MOV     TIMELEFT,SETTIME
        MOV     TIMELEFT+1,SETTIME+1
        MOV     TIMELEFT+2,SETTIME+2
        MOV     STATE,#RUNNING
        MOV     DPTR,#TEXT_RUNNING
        ACALL   SHOWLINES
        SJMP    SHOWLEFT

; RESTART_TICKS: the interrupt's counts at the start of a second, no flags.
RESTART_TICKS:
        MOV     MILLIS,#10
        MOV     HUNDREDTHS,#100
        CLR     TICK
        CLR     SECOND
        RET

; COUNTDOWN: once a second. While running, one second less; at zero the
; output goes off and the end message shows.
COUNTDOWN:
        MOV     A,STATE
        CJNE    A,#RUNNING,CD_DONE
        MOV     R0,#TIMELEFT+2  ; decimal subtraction, units first:
CD_DIGIT:
        MOV     A,@R0
        JNZ     CD_LOWER        ; a digit above 0 just goes down by one,
        MOV     @R0,#9          ; a 0 becomes 9 and borrows from the next
        DEC     R0
        SJMP    CD_DIGIT        ; (the time is not 000, so a digit is found)
CD_LOWER:
        DEC     @R0
        MOV     A,TIMELEFT
        ORL     A,TIMELEFT+1
        ORL     A,TIMELEFT+2
        JNZ     SHOWLEFT
        SETB    OUTPUT          ; time over: output off first,
        MOV     STATE,#ENDED    ; then the message
        MOV     DPTR,#TEXT_OVER
        ACALL   SHOWLINES
CD_DONE:
        RET

; SHOWLEFT: the time left, on line 2 after "Time Left ".
SHOWLEFT:
        MOV     A,#LINE2+10
        MOV     R0,#TIMELEFT
        ACALL   SHOWTIME
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
        MOV     MILLIS,#10
        SETB    TICK            ; 10 ms: time to scan the keypad
        DJNZ    HUNDREDTHS,T0_DONE
        MOV     HUNDREDTHS,#100
        SETB    SECOND          ; a whole second has passed
T0_DONE:
        POP     ACC
        POP     PSW
        RETI

; ---- LCD routines (R/W at GND: fixed waits instead of the busy flag)

; SHOWTIME: A = set-address instruction, R0 = three digits in a row: shows
; them as characters.
SHOWTIME:
        ACALL   COMMAND
        MOV     R4,#3
ST_DIGIT:
        MOV     A,@R0
        ADD     A,#'0'          ; a digit's character is '0' + its value
        ACALL   CHARACTER
        INC     R0
        DJNZ    R4,ST_DIGIT
        RET

; SHOWLINES: DPTR = two texts of 16 characters, each ending in 0: line 1,
; then line 2.
SHOWLINES:
        MOV     A,#LINE1
        ACALL   PRINTAT
        INC     DPTR            ; past the 0 to the second text
        MOV     A,#LINE2
        ACALL   PRINTAT
        RET

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

; PRINTAT: A = set-address instruction, DPTR = text ending in 0; DPTR is
; left on the 0.
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

; The screens, line 1 and line 2 of 16 characters each.
;                       1234567890123456
TEXT_SETTING:   DB      'Set Time: 000 s ',0    ; the digits are written over
                DB      '#:Start *:Clear ',0
TEXT_RUNNING:   DB      'Output ON       ',0
                DB      'Time Left 000 s ',0    ; the digits are written over
TEXT_OVER:      DB      'Time Over       ',0
                DB      'Output OFF      ',0
TEXT_STOPPED:   DB      'Timer Stopped   ',0
                DB      'Output OFF      ',0

        END
