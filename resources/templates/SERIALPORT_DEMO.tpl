@[
;------------------------------------------------------------------------
; INITIALIZE_SERIALPORT: serial port in mode 0, the 8-bit shift register.
; The shift clock is fixed at Fosc/12: no timer is used.
; Uses: nothing but SCON.
;------------------------------------------------------------------------
INITIALIZE_SERIALPORT:
	MOV	SCON,#@CxxH	      ; mode 0, receiver enabled
	CLR	TI
	CLR	RI
	RET
@]
;Routine 1
@[
;------------------------------------------------------------------------
; INITIALIZE_SERIALPORT: serial port in mode 2, the 9-bit UART.
; SMOD = 1: the baud rate is fixed at Fosc/32.
; Uses: SCON, PCON.
;------------------------------------------------------------------------
INITIALIZE_SERIALPORT:
	MOV	SCON,#@CxxH	      ; mode 2, receiver enabled
	ORL	PCON,#80H	       ; SMOD = 1
	RET
@]
;Routine 2
@[
;------------------------------------------------------------------------
; INITIALIZE_SERIALPORT: serial port in mode 2, the 9-bit UART.
; SMOD = 0: the baud rate is fixed at Fosc/64.
; Uses: SCON, PCON.
;------------------------------------------------------------------------
INITIALIZE_SERIALPORT:
	MOV	SCON,#@CxxH	      ; mode 2, receiver enabled
	ANL	PCON,#7FH	       ; SMOD = 0
	RET
@]
;Routine 3
@[
;------------------------------------------------------------------------
; INITIALIZE_SERIALPORT: serial port in mode 1 or 3, the baud rate set by
; timer 1 in mode 2 (8-bit auto-reload), SMOD = 0:
;	baud rate = Fosc / (384 x (256 - TH1)).
; Uses: SCON, PCON, TMOD (timer 1 half), TH1, TL1, TR1.
;------------------------------------------------------------------------
INITIALIZE_SERIALPORT:
	MOV	SCON,#@CxxH	      ; serial mode, receiver enabled
	ANL	PCON,#7FH	       ; SMOD = 0
	ANL	TMOD,#0FH	       ; timer 1: 8-bit auto-reload timer
	ORL	TMOD,#20H
	MOV	TH1,#@CxxH	      ; reload value for the baud rate
	MOV	TL1,TH1
	SETB	TR1		       ; start timer 1
	RET
@]
;Routine 4
@[
;------------------------------------------------------------------------
; INITIALIZE_SERIALPORT: serial port in mode 1 or 3, the baud rate set by
; timer 1 in mode 2 (8-bit auto-reload), SMOD = 1:
;	baud rate = 2 x Fosc / (384 x (256 - TH1)).
; Uses: SCON, PCON, TMOD (timer 1 half), TH1, TL1, TR1.
;------------------------------------------------------------------------
INITIALIZE_SERIALPORT:
	MOV	SCON,#@CxxH	      ; serial mode, receiver enabled
	ORL	PCON,#80H	       ; SMOD = 1
	ANL	TMOD,#0FH	       ; timer 1: 8-bit auto-reload timer
	ORL	TMOD,#20H
	MOV	TH1,#@CxxH	      ; reload value for the baud rate
	MOV	TL1,TH1
	SETB	TR1		       ; start timer 1
	RET
@]
;Routine 5
@[
;------------------------------------------------------------------------
; INITIALIZE_SERIALPORT: serial port in mode 1 or 3, the baud rate set by
; timer 2 as baud-rate generator for both directions:
;	baud rate = Fosc / (32 x (65536 - RCAP2H,RCAP2L)).
; Uses: SCON, T2CON, RCAP2H, RCAP2L, TH2, TL2.
;------------------------------------------------------------------------
INITIALIZE_SERIALPORT:
	MOV	SCON,#@CxxH	      ; serial mode, receiver enabled
	MOV	T2CON,#30H	       ; RCLK = TCLK = 1, timer 2 stopped
	MOV	RCAP2H,#@CxxH	      ; reload value for the baud rate
	MOV	RCAP2L,#@CxxH
	MOV	TH2,RCAP2H
	MOV	TL2,RCAP2L
	SETB	TR2		       ; start timer 2
	RET
@]
;Routine 6
@[
;------------------------------------------------------------------------
; RECEIVE_BYTE: waits for a byte from the serial port (modes 0 and 1).
; Returns: the byte in ACC.
;------------------------------------------------------------------------
RECEIVE_BYTE:
	JNB	RI,$		       ; wait until a byte is in
	MOV	A,SBUF
	CLR	RI
	RET
@]
;Routine 7
@[
;------------------------------------------------------------------------
; RECEIVE_BYTE: waits for a byte from the serial port (modes 2 and 3).
; Returns: the byte in ACC, its ninth bit (RB8) in the carry flag.
;------------------------------------------------------------------------
RECEIVE_BYTE:
	JNB	RI,$		       ; wait until a byte is in
	MOV	A,SBUF
	MOV	C,RB8
	CLR	RI
	RET
@]
;Routine 8
@[
;------------------------------------------------------------------------
; TRANSMIT_BYTE: sends a byte through the serial port (modes 0 and 1)
; and waits until it has gone out.
; Input: the byte in ACC.
;------------------------------------------------------------------------
TRANSMIT_BYTE:
	CLR	TI
	MOV	SBUF,A
	JNB	TI,$		       ; wait until it has been shifted out
	CLR	TI
	RET
@]
;Routine 9
@[
;------------------------------------------------------------------------
; TRANSMIT_BYTE: sends a byte through the serial port (modes 2 and 3)
; and waits until it has gone out.
; Input: the byte in ACC, its ninth bit (TB8) in the carry flag.
;------------------------------------------------------------------------
TRANSMIT_BYTE:
	CLR	TI
	MOV	TB8,C
	MOV	SBUF,A
	JNB	TI,$		       ; wait until it has been shifted out
	CLR	TI
	RET
@]
