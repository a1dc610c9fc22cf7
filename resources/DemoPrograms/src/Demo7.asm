; Demo Program 7 : Serial Port Demonstration
;
; Sends a greeting through the serial port and then returns every character
; it receives (an echo). Open the serial port window: the greeting appears
; in its receive list, and each byte sent from the window comes back.
;
; Serial port: mode 1 (8 data bits, one stop bit), receiver on. Timer 1 in
; mode 2 (8-bit auto-reload) makes the baud rate: with SMOD = 0 the rate is
; clock / (384 x (256 - TH1)); TH1 = 0F3H gives 2404 baud at 12 MHz
; (0FDH would give 9600 baud with an 11.0592 MHz crystal).
; Lines: P3.0 RXD and P3.1 TXD.

$MOD51

RELOAD  EQU     0F3H            ; 2400 baud at 12 MHz

        ORG     0000H
START:  MOV     SP,#40H
        MOV     TMOD,#20H       ; timer 1: mode 2, timer 0 unused
        MOV     TH1,#RELOAD
        MOV     TL1,#RELOAD
        SETB    TR1             ; timer 1 runs: the baud-rate clock
        MOV     SCON,#50H       ; mode 1, REN = 1, TI = RI = 0
        SETB    TI              ; the transmitter is free

        MOV     DPTR,#GREETING
        ACALL   SENDTEXT

ECHO:   JNB     RI,ECHO         ; wait for a received byte
        CLR     RI
        MOV     A,SBUF
        ACALL   SENDBYTE        ; and send it back
        SJMP    ECHO

; SENDTEXT: sends the text at DPTR, ending in 0.
SENDTEXT:
        CLR     A
        MOVC    A,@A+DPTR
        JZ      SENT
        ACALL   SENDBYTE
        INC     DPTR
        SJMP    SENDTEXT
SENT:   RET

; SENDBYTE: waits until the previous byte has left, then sends A.
SENDBYTE:
        JNB     TI,SENDBYTE
        CLR     TI
        MOV     SBUF,A
        RET

GREETING:
        DB      'Quorvel Simulator Serial Port Demo',13,10
        DB      'Send a character and it comes back.',13,10,0

        END
