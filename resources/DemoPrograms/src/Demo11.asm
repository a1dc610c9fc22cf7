; Demo Program 11 : Filling a Block of Data in Internal Data Memory
;
; Writes 00H, 01H, ... 0FH into the internal data memory locations 20H to
; 2FH (the bit-addressable area), one byte per pass of the loop, then stops
; in an endless loop. Run it in single-step mode and watch the internal data
; memory window: R0 points at the location being written and A holds the
; value written there.
;
; No external data memory is needed; the program runs on every device.

$MOD51

FIRST   EQU     20H             ; first location filled
COUNT   EQU     16              ; number of locations (20H to 2FH)

        ORG     0000H
START:  MOV     R0,#FIRST       ; R0 = address of the next location
        MOV     R2,#COUNT       ; R2 = locations still to fill
        CLR     A               ; A = the value for the first location

FILL:   MOV     @R0,A           ; store the value (indirect through R0)
        INC     A               ; next value
        INC     R0              ; next location
        DJNZ    R2,FILL         ; until all 16 are done

DONE:   SJMP    DONE            ; the block is filled: stay here

        END
