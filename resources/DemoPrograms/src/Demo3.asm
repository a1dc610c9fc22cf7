; Demo Program 3 : Display a Message in a 4 line X 20 characters LCM
;
; Writes a four-line message on a 4 line x 20 character LCD module (a
; controller of the common 44780 kind) in 8-bit mode.
;
; Wiring (P1 and P3 only, so it runs on every device):
;   P1.0 ... P1.7  data lines D0 ... D7
;   P3.7           RS   (0 = instruction, 1 = character)
;   P3.5           E    (the module takes the byte on the falling edge)
;   R/W            tied to GND: the program only writes, and instead of
;                  reading the busy flag it waits longer than each
;                  instruction takes (40 us, 1.64 ms for clear display).
;
; Display addresses of the four lines: 00H, 40H, 14H and 54H.

$MOD51

LCD_DATA DATA   P1
RS      BIT     P3.7
E       BIT     P3.5

        ORG     0000H
START:  MOV     SP,#40H
        CLR     E
        ACALL   DELAY20MS       ; the module's power-on time

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

        MOV     A,#80H+00H      ; line 1
        MOV     DPTR,#LINE1
        ACALL   PRINTAT
        MOV     A,#80H+40H      ; line 2
        MOV     DPTR,#LINE2
        ACALL   PRINTAT
        MOV     A,#80H+14H      ; line 3
        MOV     DPTR,#LINE3
        ACALL   PRINTAT
        MOV     A,#80H+54H      ; line 4
        MOV     DPTR,#LINE4
        ACALL   PRINTAT

DONE:   SJMP    DONE            ; the message stays on the display

; PRINTAT: A = set-address instruction, DPTR = text ending in 0.
PRINTAT:
        ACALL   COMMAND
PRINT1: CLR     A
        MOVC    A,@A+DPTR
        JZ      PRINTED
        ACALL   CHARACTER
        INC     DPTR
        SJMP    PRINT1
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
; display takes, also at the highest clock. Uses R7.
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

;                 12345678901234567890
LINE1:  DB      '  Quorvel Simulator ',0
LINE2:  DB      ' 8051 Family Demo 3 ',0
LINE3:  DB      '4 Lines X 20 Chars  ',0
LINE4:  DB      'LCD Module Message  ',0

        END
