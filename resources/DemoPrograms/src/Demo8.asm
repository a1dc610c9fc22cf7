; Demo Program 8 : Serial Peripheral Interface Demonstration
;
; The SPI unit of the AT89S8252 / AT89S53 as master: the program sends the
; text "Quorvel SPI Demo" byte by byte, then a count 00H, 01H, 02H, ... one
; byte about every 100 ms. Every transfer also brings in a byte from the
; slave; the last byte received is shown on eight LEDs on P2 (P2.0 the
; lowest bit, an LED lit at level 0). Open the SPI window to see both sides
; of each transfer and to set the byte the slave returns.
;
; SPI unit: SPCR = 51H: SPE = 1 (unit on), MSTR = 1 (master), CPOL = 0,
; CPHA = 0, SPR1-SPR0 = 01 (oscillator / 16 per bit). Lines: P1.5 MOSI,
; P1.6 MISO, P1.7 SCK. SPSR bit 7 (SPIF) is set at the end of a transfer;
; reading SPDR then gives the received byte and clears SPSR.

$MOD51

LEDS    DATA    P2
SPIF    EQU     80H             ; SPSR: transfer complete

        ORG     0000H
START:  MOV     SP,#40H
        MOV     LEDS,#0FFH      ; LEDs dark
        MOV     SPCR,#51H       ; SPI on, master, mode 0, oscillator / 16

        MOV     DPTR,#MESSAGE
SENDMSG:
        CLR     A
        MOVC    A,@A+DPTR
        JZ      COUNTING
        ACALL   TRANSFER
        INC     DPTR
        SJMP    SENDMSG

COUNTING:
        MOV     R3,#0           ; the count sent next
COUNT1: MOV     A,R3
        ACALL   TRANSFER
        INC     R3
        ACALL   DELAY100MS
        SJMP    COUNT1

; TRANSFER: sends A, waits for the end of the transfer and shows the byte
; received on the LEDs; returns it in A.
TRANSFER:
        MOV     SPDR,A          ; a master write starts the transfer
WAITSPI:
        MOV     A,SPSR
        JNB     ACC.7,WAITSPI   ; until SPIF
        MOV     A,SPDR          ; the received byte (clears SPIF)
        PUSH    ACC
        CPL     A               ; LEDs light at 0
        MOV     LEDS,A
        POP     ACC
        RET

; DELAY100MS: about 100 ms at 12 MHz. Uses R6 and R7.
DELAY100MS:
        MOV     R7,#100
DLY1:   MOV     R6,#250
DLY2:   NOP
        NOP
        DJNZ    R6,DLY2
        DJNZ    R7,DLY1
        RET

MESSAGE:
        DB      'Quorvel SPI Demo',0

        END
