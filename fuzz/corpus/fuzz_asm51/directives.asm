$MOD51
CNT     EQU 10
V       SET CNT*2 SHR 1
LED     BIT P1.3
        DSEG AT 30H
BUF:    DS 4
        BSEG
FLAG:   DBIT 1
        CSEG AT 0
        IF V GT 5
        MOV BUF,#HIGH(1234H)
        ELSE
        CLR LED
        ENDIF
        USING 1
        PUSH AR2
        JMP FAR
        CALL FAR
        DB 'text', 0
        DW FAR, $
        ORG 900H
FAR:    SJMP $
        END
