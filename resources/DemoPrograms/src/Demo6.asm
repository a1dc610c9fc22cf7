; Demo Program 6 : Interfacing IIC RTC and Seven Segment Displays
;
; Reads hours, minutes and seconds from a PCF8583 real-time clock on the IIC
; bus and shows them as HH.MM.SS on six multiplexed common-anode
; seven-segment digits. The clock is read again after each pass over the
; six digits (about every 6 ms).
;
; Wiring (40-pin devices):
;   P2.0 ... P2.7  segments a ... g, dp   (a segment lights at 0)
;   P1.0 ... P1.5  digit selects, hours tens first (active low)
;   P1.6           SCL of the IIC bus
;   P1.7           SDA of the IIC bus
; The clock's address pin A0 is at 0: it answers to A0H (write), A1H (read).
; Its registers 02H, 03H and 04H hold seconds, minutes and hours in BCD
; (hours: bits 0-5; bits 6 and 7 are the 12-hour format flags).
;
; The IIC routines drive both lines as open-drain outputs: writing 1
; releases a line, so that the clock can pull SDA low to acknowledge or to
; send a 0 bit.

$MOD51

SEGMENTS DATA   P2
SCL     BIT     P1.6
SDA     BIT     P1.7
NAK     BIT     00H             ; I2CREAD: 1 = answer the byte with no acknowledge
SECONDS DATA    30H             ; the time as read, BCD
MINUTES DATA    31H
HOURS   DATA    32H
RTC_WR  EQU     0A0H            ; clock address for writing
RTC_RD  EQU     0A1H            ; and for reading
REG_SEC EQU     02H             ; first register read: seconds

        ORG     0000H
START:  MOV     SP,#40H
        MOV     SEGMENTS,#0FFH  ; digits dark
        MOV     P1,#0FFH        ; selects off, SCL and SDA released
        MOV     SECONDS,#0
        MOV     MINUTES,#0
        MOV     HOURS,#0

MAIN:   ACALL   READTIME
        ACALL   SHOWTIME
        SJMP    MAIN

; READTIME: seconds, minutes and hours from the clock, in one sequential
; read starting at register 02H.
READTIME:
        ACALL   I2CSTART
        MOV     A,#RTC_WR       ; address the clock for writing ...
        ACALL   I2CWRITE
        MOV     A,#REG_SEC      ; ... and set its register pointer
        ACALL   I2CWRITE
        ACALL   I2CSTART        ; repeated start
        MOV     A,#RTC_RD       ; address it for reading
        ACALL   I2CWRITE
        CLR     NAK
        ACALL   I2CREAD         ; register 02H, acknowledged: more follow
        MOV     SECONDS,A
        ACALL   I2CREAD         ; register 03H
        MOV     MINUTES,A
        SETB    NAK
        ACALL   I2CREAD         ; register 04H, not acknowledged: the last
        ANL     A,#3FH          ; hours without the format flags
        MOV     HOURS,A
        ACALL   I2CSTOP
        RET

; SHOWTIME: each of the six digits for 1 ms, hours tens first; the units of
; hours and minutes carry the dot point as a separator.
SHOWTIME:
        MOV     R0,#HOURS       ; HOURS, MINUTES, SECONDS at falling addresses
        MOV     R4,#0FEH        ; select pattern: P1.0 at 0
        MOV     R5,#3           ; three pairs
SHOW1:  MOV     A,@R0
        SWAP    A               ; tens
        ANL     A,#0FH
        ACALL   PATTERN
        ACALL   SHOWDIGIT
        MOV     A,@R0
        ANL     A,#0FH          ; units
        ACALL   PATTERN
        CJNE    R5,#1,WITHDOT   ; the seconds have no dot
        SJMP    NODOT
WITHDOT:
        ANL     A,#7FH          ; dot point lit
NODOT:  ACALL   SHOWDIGIT
        DEC     R0
        DJNZ    R5,SHOW1
        RET

; SHOWDIGIT: pattern A on the digit selected by R4 for 1 ms; R4 then
; selects the next digit.
SHOWDIGIT:
        MOV     SEGMENTS,A
        MOV     A,R4
        ORL     A,#0C0H         ; SCL and SDA stay released
        MOV     P1,A            ; this digit on
        ACALL   DELAY1MS
        ORL     P1,#3FH         ; all digits off
        MOV     SEGMENTS,#0FFH
        MOV     A,R4
        RL      A
        MOV     R4,A
        RET

; PATTERN: A = digit 0 to 9 -> A = its segment pattern (0 = lit).
PATTERN:
        INC     A               ; skip the RET (MOVC @A+PC counts from it)
        MOVC    A,@A+PC
        RET
        DB      0C0H, 0F9H, 0A4H, 0B0H, 099H    ; 0 1 2 3 4
        DB      092H, 082H, 0F8H, 080H, 090H    ; 5 6 7 8 9

; ---- IIC bus routines (R7 is their counter)

; I2CSTART: SDA falls while SCL is high. Also a repeated start.
I2CSTART:
        SETB    SDA
        SETB    SCL
        CLR     SDA
        CLR     SCL
        RET

; I2CSTOP: SDA rises while SCL is high.
I2CSTOP:
        CLR     SDA
        SETB    SCL
        SETB    SDA
        RET

; I2CWRITE: sends A, most significant bit first; C = 0 when acknowledged.
I2CWRITE:
        MOV     R7,#8
IW1:    RLC     A
        MOV     SDA,C
        SETB    SCL
        CLR     SCL
        DJNZ    R7,IW1
        SETB    SDA             ; release SDA for the acknowledge
        SETB    SCL
        MOV     C,SDA           ; 0: the clock acknowledged
        CLR     SCL
        RET

; I2CREAD: receives a byte into A and answers it as NAK says.
I2CREAD:
        MOV     R7,#8
        SETB    SDA             ; release SDA: the clock drives it
IR1:    SETB    SCL
        MOV     C,SDA
        RLC     A
        CLR     SCL
        DJNZ    R7,IR1
        MOV     C,NAK           ; acknowledge (0) or not (1)
        MOV     SDA,C
        SETB    SCL
        CLR     SCL
        SETB    SDA
        RET

; DELAY1MS: about 1 ms at 12 MHz (250 x 4 cycles). Uses R6.
DELAY1MS:
        MOV     R6,#250
DLY1:   NOP
        NOP
        DJNZ    R6,DLY1
        RET

        END
