;========================================================================
; IIC bus driver routines: PCF8583 real-time clock and AT24C01 to AT24C16
; serial EEPROMs. SDA and SCL are open-drain port lines: writing 1
; releases a line, so it can be read.
;========================================================================
@[
;------------------------------------------------------------------------
; RTC_READ: reads R6 (1-255) clock registers from register R1 into
; internal RAM at R0 (register 2 = seconds, 3 = minutes, 4 = hours, ...).
; Output: C = 1 if the clock did not answer. Uses A, R0, R6, R7, C.
;------------------------------------------------------------------------
RTC_READ:
	LCALL	IIC_START
	MOV	A,#@CxxH	      ; clock's address, write
	CLR	ACC.0
	LCALL	IIC_SEND_BYTE
	JC	RTC_READ_END
	MOV	A,R1			; register address
	LCALL	IIC_SEND_BYTE
	JC	RTC_READ_END
	LCALL	IIC_START		; repeated start
	MOV	A,#@CxxH	      ; clock's address, read
	SETB	ACC.0
	LCALL	IIC_SEND_BYTE
	JC	RTC_READ_END
RTC_READ_NEXT:
	MOV	A,R6			; acknowledge every byte but the last
	CJNE	A,#1,RTC_READ_ACK
	SETB	C
	SJMP	RTC_READ_BYTE
RTC_READ_ACK:
	CLR	C
RTC_READ_BYTE:
	LCALL	IIC_RECEIVE_BYTE
	MOV	@R0,A
	INC	R0
	DJNZ	R6,RTC_READ_NEXT
	CLR	C
RTC_READ_END:
	LCALL	IIC_STOP
	RET
@]
;Routine 2
@[
;------------------------------------------------------------------------
; RTC_WRITE: writes consecutive registers of the PCF8583 clock.
; Input : R1 = first register, R0 = internal RAM address of the bytes,
;	  R6 = count (1-255)
; Output: C = 1 if the clock did not answer
; Uses	: A, R0, R6, R7, C
;------------------------------------------------------------------------
RTC_WRITE:
	LCALL	IIC_START
	MOV	A,#@CxxH	      ; clock's address, write
	LCALL	IIC_SEND_BYTE
	JC	RTC_WRITE_END
	MOV	A,R1			; register address
	LCALL	IIC_SEND_BYTE
	JC	RTC_WRITE_END
RTC_WRITE_NEXT:
	MOV	A,@R0
	LCALL	IIC_SEND_BYTE
	JC	RTC_WRITE_END
	INC	R0
	DJNZ	R6,RTC_WRITE_NEXT
RTC_WRITE_END:
	LCALL	IIC_STOP
	RET
@]
;Routine 3
@[
;------------------------------------------------------------------------
; EEPROM_READ: reads one byte of an AT24C01 / AT24C02 EEPROM.
; Input : DPL = EEPROM address (0-127 / 0-255)
; Output: A = the byte; C = 1 if the EEPROM did not answer
; Uses	: A, R7, C
;------------------------------------------------------------------------
EEPROM_READ:
	MOV	A,#@CxxH	      ; device address, read
	SJMP	EEPROM_READ_ADDRESS
@]
;Routine 4
@[
;------------------------------------------------------------------------
; EEPROM_WRITE: writes one byte into an AT24C01 / AT24C02 EEPROM and waits
; for the end of its write cycle.
; Input : DPL = EEPROM address, A = the byte
; Output: C = 1 if the EEPROM did not answer
; Uses	: A, B, R7, C
;------------------------------------------------------------------------
EEPROM_WRITE:
	MOV	B,A
	MOV	A,#@CxxH	      ; device address, write
	SJMP	EEPROM_WRITE_ADDRESS
@]
;Routine 5
@[
;------------------------------------------------------------------------
; EEPROM_READ: reads one byte of an AT24C04 EEPROM.
; Input : DPTR = EEPROM address (0-511)
; Output: A = the byte; C = 1 if the EEPROM did not answer
; Uses	: A, R7, C
;------------------------------------------------------------------------
EEPROM_READ:
	MOV	A,DPH			; address bit 8 is the block bit
	ANL	A,#01H			; (bit 1 of the device address)
	RL	A
	ORL	A,#@CxxH	      ; device address, read
	SJMP	EEPROM_READ_ADDRESS
@]
;Routine 6
@[
;------------------------------------------------------------------------
; EEPROM_WRITE: writes one byte into an AT24C04 EEPROM and waits for the
; end of its write cycle.
; Input : DPTR = EEPROM address (0-511), A = the byte
; Output: C = 1 if the EEPROM did not answer
; Uses	: A, B, R7, C
;------------------------------------------------------------------------
EEPROM_WRITE:
	MOV	B,A
	MOV	A,DPH			; address bit 8 is the block bit
	ANL	A,#01H
	RL	A
	ORL	A,#@CxxH	      ; device address, write
	SJMP	EEPROM_WRITE_ADDRESS
@]
;Routine 7
@[
;------------------------------------------------------------------------
; EEPROM_READ: reads one byte of an AT24C08 EEPROM.
; Input : DPTR = EEPROM address (0-1023)
; Output: A = the byte; C = 1 if the EEPROM did not answer
; Uses	: A, R7, C
;------------------------------------------------------------------------
EEPROM_READ:
	MOV	A,DPH			; address bits 9-8 are the block
	ANL	A,#03H			; bits (bits 2-1 of the address)
	RL	A
	ORL	A,#@CxxH	      ; device address, read
	SJMP	EEPROM_READ_ADDRESS
@]
;Routine 8
@[
;------------------------------------------------------------------------
; EEPROM_WRITE: writes one byte into an AT24C08 EEPROM and waits for the
; end of its write cycle.
; Input : DPTR = EEPROM address (0-1023), A = the byte
; Output: C = 1 if the EEPROM did not answer
; Uses	: A, B, R7, C
;------------------------------------------------------------------------
EEPROM_WRITE:
	MOV	B,A
	MOV	A,DPH			; address bits 9-8 are the block
	ANL	A,#03H			; bits
	RL	A
	ORL	A,#@CxxH	      ; device address, write
	SJMP	EEPROM_WRITE_ADDRESS
@]
;Routine 9
@[
;------------------------------------------------------------------------
; EEPROM_READ: reads one byte of an AT24C16 EEPROM.
; Input : DPTR = EEPROM address (0-2047)
; Output: A = the byte; C = 1 if the EEPROM did not answer
; Uses	: A, R7, C
;------------------------------------------------------------------------
EEPROM_READ:
	MOV	A,DPH			; address bits 10-8 are the block
	ANL	A,#07H			; bits (bits 3-1 of the address)
	RL	A
	ORL	A,#@CxxH	      ; device address, read
	SJMP	EEPROM_READ_ADDRESS
@]
;Routine 10
@[
;------------------------------------------------------------------------
; EEPROM_WRITE: writes one byte into an AT24C16 EEPROM and waits for the
; end of its write cycle.
; Input : DPTR = EEPROM address (0-2047), A = the byte
; Output: C = 1 if the EEPROM did not answer
; Uses	: A, B, R7, C
;------------------------------------------------------------------------
EEPROM_WRITE:
	MOV	B,A
	MOV	A,DPH			; address bits 10-8 are the block
	ANL	A,#07H			; bits
	RL	A
	ORL	A,#@CxxH	      ; device address, write
	SJMP	EEPROM_WRITE_ADDRESS
@]
;Routine 11
@[
;------------------------------------------------------------------------
; Port lines of the IIC bus and the bus primitives.
; IIC_START / IIC_STOP: start and stop condition.
; IIC_SEND_BYTE: sends A, most significant bit first; returns C = 1 when
; the receiver did not acknowledge. Uses A, R7, C.
;------------------------------------------------------------------------
IIC_SDA		BIT	@Px.x	      ; data line
IIC_SCL		BIT	@Px.x	      ; clock line

IIC_START:
	SETB	IIC_SDA
	SETB	IIC_SCL
	NOP
	CLR	IIC_SDA			; SDA falls while SCL is high
	NOP
	CLR	IIC_SCL
	RET

IIC_STOP:
	CLR	IIC_SDA
	SETB	IIC_SCL
	NOP
	SETB	IIC_SDA			; SDA rises while SCL is high
	RET

IIC_SEND_BYTE:
	MOV	R7,#8
IIC_SEND_BIT:
	RLC	A
	MOV	IIC_SDA,C
	SETB	IIC_SCL
	NOP
	CLR	IIC_SCL
	DJNZ	R7,IIC_SEND_BIT
	SETB	IIC_SDA			; release SDA for the acknowledge
	SETB	IIC_SCL
	MOV	C,IIC_SDA		; 0 = acknowledged
	CLR	IIC_SCL
	RET
@]
;Routine 12
@[
;------------------------------------------------------------------------
; EEPROM_WRITE_ADDRESS: the common part of EEPROM_WRITE. Input: A = the
; device address for writing, DPL = the address in its block, B = the byte.
; After the stop condition the EEPROM writes for a few milliseconds and
; does not acknowledge its address; the routine polls until it does.
;------------------------------------------------------------------------
EEPROM_WRITE_ADDRESS:
	PUSH	ACC			; keep the device address
	LCALL	IIC_START
	LCALL	IIC_SEND_BYTE
	JC	EEPROM_WRITE_FAIL
	MOV	A,DPL
	LCALL	IIC_SEND_BYTE
	JC	EEPROM_WRITE_FAIL
	MOV	A,B
	LCALL	IIC_SEND_BYTE
	JC	EEPROM_WRITE_FAIL
	LCALL	IIC_STOP		; the write cycle starts
EEPROM_WRITE_POLL:
	LCALL	IIC_START
	POP	ACC
	PUSH	ACC
	LCALL	IIC_SEND_BYTE
	JC	EEPROM_WRITE_POLL	; still busy
EEPROM_WRITE_FAIL:
	LCALL	IIC_STOP
	POP	ACC
	RET
@]
;Routine 13
@[
;------------------------------------------------------------------------
; EEPROM_READ_ADDRESS: common part of EEPROM_READ (A = device address).
; IIC_RECEIVE_BYTE: reads A; sends C as acknowledge (0 = more to come).
;------------------------------------------------------------------------
EEPROM_READ_ADDRESS:
	MOV	B,A
	LCALL	IIC_START
	ANL	A,#0FEH			; write the address pointer
	LCALL	IIC_SEND_BYTE
	JC	EEPROM_READ_FAIL
	MOV	A,DPL
	LCALL	IIC_SEND_BYTE
	JC	EEPROM_READ_FAIL
	LCALL	IIC_START		; repeated start, then read
	MOV	A,B
	LCALL	IIC_SEND_BYTE
	JC	EEPROM_READ_FAIL
	SETB	C			; one byte: no acknowledge
	LCALL	IIC_RECEIVE_BYTE
	CLR	C
EEPROM_READ_FAIL:
	LJMP	IIC_STOP

IIC_RECEIVE_BYTE:
	MOV	F0,C
	SETB	IIC_SDA
	MOV	R7,#8
IIC_RECEIVE_BIT:
	SETB	IIC_SCL
	MOV	C,IIC_SDA
	RLC	A
	CLR	IIC_SCL
	DJNZ	R7,IIC_RECEIVE_BIT
	MOV	C,F0
	MOV	IIC_SDA,C		; acknowledge or not
	SETB	IIC_SCL
	NOP
	CLR	IIC_SCL
	SETB	IIC_SDA
	RET
@]
