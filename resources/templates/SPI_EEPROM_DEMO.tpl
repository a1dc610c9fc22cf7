;========================================================================
; SPI serial EEPROM (AT25C010 / AT25C020 / AT25C040) driver routines.
; The bus is driven by port lines in SPI mode 0: SCK idles low, the EEPROM
; takes SI on the rising edge of SCK and puts SO out on the falling edge.
; A 3-wire bus carries SO and SI on one line.
;========================================================================
@[
;------------------------------------------------------------------------
; Port lines of the SPI bus.
;------------------------------------------------------------------------
SPI_SCK		BIT	@Px.x	      ; serial clock
SPI_SO		BIT	@Px.x	      ; data from the EEPROM
SPI_SI		BIT	@Px.x	      ; data to the EEPROM
SPI_CS		BIT	@Px.x	      ; chip select, active low

SPI_WREN	EQU	06H		; EEPROM instructions
SPI_RDSR	EQU	05H
SPI_READ	EQU	03H
SPI_WRITE	EQU	02H
@]
;Routine 2
@[
;------------------------------------------------------------------------
; EEPROM_READ: reads one byte of the EEPROM.
; Input : DPTR = EEPROM address (0 to 511; bit 0 of DPH is address bit 8)
; Output: A = the byte read
; Uses	: R7, C
;------------------------------------------------------------------------
EEPROM_READ:
	CLR	SPI_SCK
	CLR	SPI_CS			; select the EEPROM
	MOV	A,DPH			; address bit 8 goes into bit 3
	ANL	A,#01H			; of the instruction
	RL	A
	RL	A
	RL	A
	ORL	A,#SPI_READ
	LCALL	SPI_SEND_BYTE
	MOV	A,DPL			; address bits 7-0
	LCALL	SPI_SEND_BYTE
	LCALL	SPI_RECEIVE_BYTE
	SETB	SPI_CS			; deselect
	RET
@]
;Routine 3
@[
;------------------------------------------------------------------------
; EEPROM_WRITE: writes one byte into the EEPROM and waits until the
; EEPROM has finished its write cycle.
; Input : DPTR = EEPROM address (0 to 511), A = the byte to write
; Uses	: A, B, R7, C
;------------------------------------------------------------------------
EEPROM_WRITE:
	MOV	B,A			; keep the data byte
	CLR	SPI_SCK
	CLR	SPI_CS
	MOV	A,#SPI_WREN		; set the write-enable latch
	LCALL	SPI_SEND_BYTE
	SETB	SPI_CS
	CLR	SPI_CS
	MOV	A,DPH			; WRITE with address bit 8
	ANL	A,#01H
	RL	A
	RL	A
	RL	A
	ORL	A,#SPI_WRITE
	LCALL	SPI_SEND_BYTE
	MOV	A,DPL
	LCALL	SPI_SEND_BYTE
	MOV	A,B
	LCALL	SPI_SEND_BYTE
	SETB	SPI_CS			; deselecting starts the write cycle
EEPROM_WRITE_WAIT:
	CLR	SPI_CS			; read the status register until
	MOV	A,#SPI_RDSR		; the busy bit (bit 0) is clear
	LCALL	SPI_SEND_BYTE
	LCALL	SPI_RECEIVE_BYTE
	SETB	SPI_CS
	JB	ACC.0,EEPROM_WRITE_WAIT
	RET
@]
;Routine 4
@[
;------------------------------------------------------------------------
; EEPROM_READ_BLOCK: reads consecutive bytes of the EEPROM into internal
; data memory.
; Input : DPTR = first EEPROM address, R0 = first internal RAM address,
;	  R6 = number of bytes (1 to 255)
; Uses	: A, R0, R6, R7, C
;------------------------------------------------------------------------
EEPROM_READ_BLOCK:
	CLR	SPI_SCK
	CLR	SPI_CS
	MOV	A,DPH
	ANL	A,#01H
	RL	A
	RL	A
	RL	A
	ORL	A,#SPI_READ
	LCALL	SPI_SEND_BYTE
	MOV	A,DPL
	LCALL	SPI_SEND_BYTE
EEPROM_READ_NEXT:
	LCALL	SPI_RECEIVE_BYTE	; the EEPROM goes on with the next
	MOV	@R0,A			; address while SCK runs
	INC	R0
	DJNZ	R6,EEPROM_READ_NEXT
	SETB	SPI_CS
	RET
@]
;Routine 5
@[
;------------------------------------------------------------------------
; SPI_SEND_BYTE: shifts A out on SI, most significant bit first.
; SPI_RECEIVE_BYTE: shifts a byte in from SO into A.
; Both leave SCK low. Uses: A, R7, C
;------------------------------------------------------------------------
SPI_SEND_BYTE:
	MOV	R7,#8
SPI_SEND_BIT:
	RLC	A
	MOV	SPI_SI,C
	SETB	SPI_SCK			; the EEPROM takes the bit
	CLR	SPI_SCK
	DJNZ	R7,SPI_SEND_BIT
	SETB	SPI_SI			; leave the data line high
	RET

SPI_RECEIVE_BYTE:
	SETB	SPI_SO			; release the line for input
	MOV	R7,#8
SPI_RECEIVE_BIT:
	MOV	C,SPI_SO		; the bit is out since the last fall
	RLC	A
	SETB	SPI_SCK
	CLR	SPI_SCK
	DJNZ	R7,SPI_RECEIVE_BIT
	RET
@]
