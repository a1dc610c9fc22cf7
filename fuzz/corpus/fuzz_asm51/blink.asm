$MOD51
; blink an LED
        ORG 0
START:  MOV P1,#0FFH
        MOV R7,#10
LOOP:   CPL P1.0
        ACALL DELAY
        DJNZ R7,LOOP
        JMP START
DELAY:  MOV R6,#200
D1:     DJNZ R6,D1
        RET
MSG:    DB 'Hello', 0, 13, 10
        DW START, 1234H
COUNT   EQU 5
        END
