; Demo Program 5 : Interfacing 4 X 3 Key Matrix Keyboard and Seven Segment Display
;
; A 4 x 3 key matrix is scanned row by row; the digit of the key last
; pressed appears on one common-anode seven-segment digit. The keys are laid
; out as on a telephone:
;        column 1  column 2  column 3
; row 1     1         2         3
; row 2     4         5         6
; row 3     7         8         9
; row 4     *         0         #
; "*" shows a minus sign, "#" shows H. The digit stays dark until the first
; key is pressed.
;
; Wiring (P1 and P3 only, so it runs on every device):
;   P3.0 ... P3.3  rows 1 to 4 (outputs: the row being scanned is set to 0)
;   P3.4, P3.5, P3.7  columns 1 to 3 (inputs, latches at 1: a pressed key in
;                  the scanned row pulls its column to 0)
;   P1.0 ... P1.7  segments a ... g, dp of the digit (a segment lights at 0)

$MOD51

SEGMENTS DATA   P1
COLUMN1 BIT     P3.4
COLUMN2 BIT     P3.5
COLUMN3 BIT     P3.7

        ORG     0000H
START:  MOV     SP,#40H
        MOV     SEGMENTS,#0FFH  ; dark until a key is pressed

SCAN:   MOV     R2,#0           ; R2 = number of the key in column 1 of this row
        MOV     R3,#0FEH        ; R3 = row pattern: row 1 at 0
ROW:    MOV     A,R3
        ORL     A,#0F0H         ; columns (and P3.6) stay at 1
        MOV     P3,A            ; one row at 0
        JNB     COLUMN1,KEY1
        JNB     COLUMN2,KEY2
        JNB     COLUMN3,KEY3
        MOV     A,R2            ; no key in this row: next row
        ADD     A,#3
        MOV     R2,A
        MOV     A,R3
        RL      A               ; the 0 moves to the next row line
        MOV     R3,A
        CJNE    R2,#12,ROW
        SJMP    SCAN            ; all four rows done: again

KEY3:   INC     R2              ; key number = row x 3 + column
KEY2:   INC     R2
KEY1:   MOV     A,R2
        ACALL   PATTERN
        MOV     SEGMENTS,A      ; show the key
        SJMP    SCAN

; PATTERN: A = key number 0 to 11 -> A = segment pattern (0 = lit).
PATTERN:
        INC     A               ; skip the RET (MOVC @A+PC counts from it)
        MOVC    A,@A+PC
        RET
        DB      0F9H, 0A4H, 0B0H        ; 1 2 3
        DB      099H, 092H, 082H        ; 4 5 6
        DB      0F8H, 080H, 090H        ; 7 8 9
        DB      0BFH, 0C0H, 089H        ; - 0 H

        END
