;========================================================================
; Character LCD (HD44780-type controller) driver routines.
; Positions are given in A: bits 7-5 the line number, bits 4-0 the
; character number, both counted from 1 (line 2, character 5 = 45H).
; Timing is by software delays computed for the clock frequency.
; The routines use A, R6 and R7 unless their header says more.
;========================================================================
@[
;------------------------------------------------------------------------
; Control lines of the LCD.
;------------------------------------------------------------------------
LCD_RS		BIT	@Px.x	      ; register select: 0 command, 1 data
LCD_RW		BIT	@Px.x	      ; 0 write, 1 read
LCD_E		BIT	@Px.x	      ; enable: the LCD takes the bus as E falls
@]
;Routine 2
@[
; Data lines of the LCD (8-bit bus, one line each).
LCD_D0		BIT	@Px.x
LCD_D1		BIT	@Px.x
LCD_D2		BIT	@Px.x
LCD_D3		BIT	@Px.x
LCD_D4		BIT	@Px.x
LCD_D5		BIT	@Px.x
LCD_D6		BIT	@Px.x
LCD_D7		BIT	@Px.x
@]
;Routine 3
@[
; Data lines of the LCD (4-bit bus, one line each).
LCD_D4		BIT	@Px.x
LCD_D5		BIT	@Px.x
LCD_D6		BIT	@Px.x
LCD_D7		BIT	@Px.x
@]
;Routine 4
@[
; Data lines of the LCD: in order on one port.
LCD_PORT	DATA	@Px
@]
;Routine 5
@[
;------------------------------------------------------------------------
; DISPLAY_STRING: shows a text on the LCD.
; Input : A = position (bits 7-5 line, bits 4-0 character, from 1)
;	  DPTR = address of the text in program memory, ended by 00H
; Uses	: A, DPTR, R6, R7
;------------------------------------------------------------------------
DISPLAY_STRING:
	LCALL	LOCATE_CURSOR
DISPLAY_STRING_NEXT:
	CLR	A
	MOVC	A,@A+DPTR		; next character
	JZ	DISPLAY_STRING_END
	LCALL	LCD_WRITE_DATA
	INC	DPTR
	SJMP	DISPLAY_STRING_NEXT
DISPLAY_STRING_END:
	RET
@]
;Routine 6
@[
;------------------------------------------------------------------------
; DISPLAY_CHARACTER: shows one character on the LCD.
; Input : A = position (bits 7-5 line, bits 4-0 character, from 1)
;	  R0 = the character code
;------------------------------------------------------------------------
DISPLAY_CHARACTER:
	LCALL	LOCATE_CURSOR
	MOV	A,R0
	LJMP	LCD_WRITE_DATA
@]
;Routine 7
@[
;------------------------------------------------------------------------
; LCD_HEX_DIGIT: shows the low four bits of A as a hexadecimal digit
; ('0'-'9', 'A'-'F') at the cursor.
;------------------------------------------------------------------------
LCD_HEX_DIGIT:
	ANL	A,#0FH
	ADD	A,#0F6H			; carry when the digit is A-F
	JNC	LCD_HEX_DECIMAL
	ADD	A,#07H
LCD_HEX_DECIMAL:
	ADD	A,#3AH			; back to the digit, plus '0'
	LJMP	LCD_WRITE_DATA
@]
;Routine 8
@[
;------------------------------------------------------------------------
; DISPLAY_2DIGITS: shows a byte as two hexadecimal digits (a packed BCD
; number shows as its two decimal digits).
; Input : A = position (bits 7-5 line, bits 4-0 character, from 1)
;	  R0 = the byte
;------------------------------------------------------------------------
DISPLAY_2DIGITS:
	LCALL	LOCATE_CURSOR
LCD_SHOW_R0:
	MOV	A,R0
	SWAP	A
	LCALL	LCD_HEX_DIGIT		; high digit
	MOV	A,R0
	LJMP	LCD_HEX_DIGIT		; low digit
@]
;Routine 9
@[
;------------------------------------------------------------------------
; DISPLAY_4DIGITS: shows a 16-bit number as four hexadecimal digits (a
; packed BCD number shows as its four decimal digits).
; Input : A = position (bits 7-5 line, bits 4-0 character, from 1)
;	  R1 = high byte, R0 = low byte
;------------------------------------------------------------------------
DISPLAY_4DIGITS:
	LCALL	LOCATE_CURSOR
	MOV	A,R1
	SWAP	A
	LCALL	LCD_HEX_DIGIT
	MOV	A,R1
	LCALL	LCD_HEX_DIGIT
	SJMP	LCD_SHOW_R0
@]
;Routine 10
@[
;------------------------------------------------------------------------
; CLEAR_DISPLAY: clears the display and puts the cursor on line 1,
; character 1.
;------------------------------------------------------------------------
CLEAR_DISPLAY:
	MOV	A,#01H			; clear display
	LCALL	LCD_COMMAND
	LCALL	LCD_LONG_DELAY		; the LCD needs about 1.6 ms
	LJMP	LCD_SHORT_DELAY
@]
;Routine 11
@[
;------------------------------------------------------------------------
; CURSOR_HOME: puts the cursor on line 1, character 1 and undoes a display
; shift.
;------------------------------------------------------------------------
CURSOR_HOME:
	MOV	A,#02H			; return home
	LCALL	LCD_COMMAND
	LCALL	LCD_LONG_DELAY
	LJMP	LCD_SHORT_DELAY
@]
;Routine 12
@[
;------------------------------------------------------------------------
; LCD_LONG_DELAY: waits about 1.6 ms (clear display, return home).
; Uses	: R6, R7
;------------------------------------------------------------------------
LCD_LONG_DELAY:
	MOV	R6,#@CxxH
	MOV	R7,#@CxxH
LCD_LONG_LOOP:
	DJNZ	R7,LCD_LONG_LOOP
	DJNZ	R6,LCD_LONG_LOOP
	RET
@]
;Routine 13
@[
;------------------------------------------------------------------------
; LCD_SHORT_DELAY: waits the 40 us most LCD instructions take.
; Uses	: R7
;------------------------------------------------------------------------
LCD_SHORT_DELAY:
	MOV	R7,#@CxxH
	DJNZ	R7,$
	RET
@]
;Routine 14
@[
;------------------------------------------------------------------------
; CURSOR_ON / CURSOR_OFF: shows or hides the cursor.
;------------------------------------------------------------------------
CURSOR_ON:
	LCALL	CURSOR_CONTROL
	ORL	A,#02H			; cursor on
	LJMP	LCD_COMMAND
CURSOR_OFF:
	LCALL	CURSOR_CONTROL
	ANL	A,#0FCH			; cursor and blinking off
	LJMP	LCD_COMMAND
CURSOR_CONTROL:
	MOV	A,#@CxxH	      ; display control as initialised
	RET
@]
;Routine 15
@[
;------------------------------------------------------------------------
; DISPLAY_ON / DISPLAY_OFF: switches the display on or off; the display
; memory keeps its text.
;------------------------------------------------------------------------
DISPLAY_ON:
	LCALL	DISPLAY_CONTROL
	ORL	A,#04H			; display on
	LJMP	LCD_COMMAND
DISPLAY_OFF:
	LCALL	DISPLAY_CONTROL
	ANL	A,#0FBH			; display off
	LJMP	LCD_COMMAND
DISPLAY_CONTROL:
	MOV	A,#@CxxH	      ; display control as initialised
	RET
@]
;Routine 16
@[
;------------------------------------------------------------------------
; READ_DDRAM: reads the character shown at a position.
; Input : A = position (bits 7-5 line, bits 4-0 character, from 1)
; Output: A = the character code
;------------------------------------------------------------------------
READ_DDRAM:
	LCALL	LOCATE_CURSOR
	LJMP	LCD_READ_DATA
@]
;Routine 17
@[
;------------------------------------------------------------------------
; LOCATE_CURSOR: moves the cursor (4 lines of 20 characters).
; Input : A = position (bits 7-5 line 1-4, bits 4-0 character 1-20)
;------------------------------------------------------------------------
LOCATE_CURSOR:
	PUSH	DPH
	PUSH	DPL
	PUSH	ACC
	SWAP	A			; line number - 1 as table index
	RR	A
	ANL	A,#07H
	DEC	A
	ANL	A,#03H
	MOV	DPTR,#LOCATE_CURSOR_ROWS
	MOVC	A,@A+DPTR		; address of the line's first character
	MOV	R7,A
	POP	ACC
	ANL	A,#1FH			; character number - 1
	DEC	A
	ADD	A,R7
	ORL	A,#80H			; set display data address
	POP	DPL
	POP	DPH
	LJMP	LCD_COMMAND
LOCATE_CURSOR_ROWS:
	DB	00H,40H,14H,54H
@]
;Routine 18
@[
;------------------------------------------------------------------------
; LOCATE_CURSOR: moves the cursor (16 characters a line).
; Input : A = position (bits 7-5 line 1-4, bits 4-0 character 1-16)
;------------------------------------------------------------------------
LOCATE_CURSOR:
	PUSH	DPH
	PUSH	DPL
	PUSH	ACC
	SWAP	A			; line number - 1 as table index
	RR	A
	ANL	A,#07H
	DEC	A
	ANL	A,#03H
	MOV	DPTR,#LOCATE_CURSOR_ROWS
	MOVC	A,@A+DPTR		; address of the line's first character
	MOV	R7,A
	POP	ACC
	ANL	A,#1FH			; character number - 1
	DEC	A
	ADD	A,R7
	ORL	A,#80H			; set display data address
	POP	DPL
	POP	DPH
	LJMP	LCD_COMMAND
LOCATE_CURSOR_ROWS:
	DB	00H,40H,10H,50H
@]
;Routine 19
@[
;------------------------------------------------------------------------
; INITIALIZE_LCD: brings the LCD into the chosen bus width, number of
; lines, display mode and entry mode. Call it once after power-up.
;------------------------------------------------------------------------
INITIALIZE_LCD:
	LCALL	LCD_RESET_BUS
	MOV	A,#@CxxH	      ; function set
	LCALL	LCD_COMMAND
	MOV	A,#@CxxH	      ; display control
	LCALL	LCD_COMMAND
	MOV	A,#@CxxH	      ; entry mode
	LJMP	LCD_COMMAND
@]
;Routine 20
@[
;------------------------------------------------------------------------
; INITIALIZE_LCD: brings the LCD into the chosen bus width, number of
; lines, display mode and entry mode, and clears the display. Call it
; once after power-up.
;------------------------------------------------------------------------
INITIALIZE_LCD:
	LCALL	LCD_RESET_BUS
	MOV	A,#@CxxH	      ; function set
	LCALL	LCD_COMMAND
	MOV	A,#@CxxH	      ; display control
	LCALL	LCD_COMMAND
	MOV	A,#@CxxH	      ; entry mode
	LCALL	LCD_COMMAND
	LJMP	CLEAR_DISPLAY
@]
;Routine 21
@[
;------------------------------------------------------------------------
; INITIALIZE_LCD: brings the LCD into the chosen bus width, number of
; lines, display mode and entry mode, clears the display and returns the
; cursor home. Call it once after power-up.
;------------------------------------------------------------------------
INITIALIZE_LCD:
	LCALL	LCD_RESET_BUS
	MOV	A,#@CxxH	      ; function set
	LCALL	LCD_COMMAND
	MOV	A,#@CxxH	      ; display control
	LCALL	LCD_COMMAND
	MOV	A,#@CxxH	      ; entry mode
	LCALL	LCD_COMMAND
	LCALL	CLEAR_DISPLAY
	LJMP	CURSOR_HOME
@]
;Routine 22
@[
;------------------------------------------------------------------------
; INITIALIZE_LCD: brings the LCD into the chosen bus width, number of
; lines, display mode and entry mode, and returns the cursor home. Call it
; once after power-up.
;------------------------------------------------------------------------
INITIALIZE_LCD:
	LCALL	LCD_RESET_BUS
	MOV	A,#@CxxH	      ; function set
	LCALL	LCD_COMMAND
	MOV	A,#@CxxH	      ; display control
	LCALL	LCD_COMMAND
	MOV	A,#@CxxH	      ; entry mode
	LCALL	LCD_COMMAND
	LJMP	CURSOR_HOME
@]
;Routine 23
@[
;------------------------------------------------------------------------
; LCD_COMMAND: writes the instruction in A to the LCD (8-bit bus) and
; waits until it is carried out (not for clear display / return home).
; LCD_RESET_BUS: puts the controller into 8-bit mode whatever state it
; is in (three function-set instructions, each followed by about 5 ms).
;------------------------------------------------------------------------
LCD_COMMAND:
	CLR	LCD_RS
	CLR	LCD_RW
	LCALL	LCD_PUT
	LJMP	LCD_SHORT_DELAY

LCD_RESET_BUS:
	CLR	LCD_E
	CLR	LCD_RS
	CLR	LCD_RW
	MOV	R6,#3
LCD_RESET_NEXT:
	MOV	A,#30H			; function set, 8 bits
	LCALL	LCD_PUT
	LCALL	LCD_WAIT_5MS
	DJNZ	R6,LCD_RESET_NEXT
	RET

LCD_WAIT_5MS:
	PUSH	06H			; R6 of bank 0
	MOV	R6,#125
LCD_WAIT_LOOP:
	LCALL	LCD_SHORT_DELAY
	DJNZ	R6,LCD_WAIT_LOOP
	POP	06H
	RET
@]
;Routine 24
@[
;------------------------------------------------------------------------
; LCD_COMMAND: writes the instruction in A (4-bit bus, high nibble first).
; LCD_RESET_BUS: three lone 3H nibbles (8-bit function sets) put the LCD
; into 8-bit mode from any state; a lone 2H nibble then selects 4 bits.
;------------------------------------------------------------------------
LCD_COMMAND:
	CLR	LCD_RS
	CLR	LCD_RW
	LCALL	LCD_PUT			; high nibble
	SWAP	A
	LCALL	LCD_PUT			; low nibble
	SWAP	A
	LJMP	LCD_SHORT_DELAY

LCD_RESET_BUS:
	CLR	LCD_E
	CLR	LCD_RS
	CLR	LCD_RW
	MOV	R6,#3
LCD_RESET_NEXT:
	MOV	A,#30H			; function set, 8 bits (one nibble)
	LCALL	LCD_PUT
	LCALL	LCD_WAIT_5MS
	DJNZ	R6,LCD_RESET_NEXT
	MOV	A,#20H			; function set, 4 bits (one nibble)
	LCALL	LCD_PUT
	LJMP	LCD_SHORT_DELAY

LCD_WAIT_5MS:
	PUSH	06H			; R6 of bank 0
	MOV	R6,#125
LCD_WAIT_LOOP:
	LCALL	LCD_SHORT_DELAY
	DJNZ	R6,LCD_WAIT_LOOP
	POP	06H
	RET
@]
;Routine 25
@[
; (not used)
@]
;Routine 26
@[
;------------------------------------------------------------------------
; LCD_WRITE_DATA: writes the character in A to the LCD at the cursor
; (8-bit bus); the cursor moves on as the entry mode says.
;------------------------------------------------------------------------
LCD_WRITE_DATA:
	SETB	LCD_RS
	CLR	LCD_RW
	LCALL	LCD_PUT
	LJMP	LCD_SHORT_DELAY
@]
;Routine 27
@[
;------------------------------------------------------------------------
; LCD_WRITE_DATA: writes the character in A to the LCD at the cursor
; (4-bit bus, high nibble first); the cursor moves on as the entry mode
; says.
;------------------------------------------------------------------------
LCD_WRITE_DATA:
	SETB	LCD_RS
	CLR	LCD_RW
	LCALL	LCD_PUT
	SWAP	A
	LCALL	LCD_PUT
	SWAP	A
	LJMP	LCD_SHORT_DELAY
@]
;Routine 28
@[
;------------------------------------------------------------------------
; LCD_PUT: puts A on the data lines D0-D7 and pulses E. A is kept.
;------------------------------------------------------------------------
LCD_PUT:
	PUSH	PSW
	MOV	C,ACC.0
	MOV	LCD_D0,C
	MOV	C,ACC.1
	MOV	LCD_D1,C
	MOV	C,ACC.2
	MOV	LCD_D2,C
	MOV	C,ACC.3
	MOV	LCD_D3,C
	MOV	C,ACC.4
	MOV	LCD_D4,C
	MOV	C,ACC.5
	MOV	LCD_D5,C
	MOV	C,ACC.6
	MOV	LCD_D6,C
	MOV	C,ACC.7
	MOV	LCD_D7,C
	SETB	LCD_E
	CLR	LCD_E			; the LCD takes the byte
	POP	PSW
	RET
@]
;Routine 29
@[
;------------------------------------------------------------------------
; LCD_PUT: puts A on the data port and pulses E. A is kept.
;------------------------------------------------------------------------
LCD_PUT:
	MOV	LCD_PORT,A
	SETB	LCD_E
	CLR	LCD_E			; the LCD takes the byte
	RET
@]
;Routine 30
@[
;------------------------------------------------------------------------
; LCD_PUT: puts the high nibble of A on D4-D7 and pulses E. A is kept.
;------------------------------------------------------------------------
LCD_PUT:
	PUSH	PSW
	MOV	C,ACC.4
	MOV	LCD_D4,C
	MOV	C,ACC.5
	MOV	LCD_D5,C
	MOV	C,ACC.6
	MOV	LCD_D6,C
	MOV	C,ACC.7
	MOV	LCD_D7,C
	SETB	LCD_E
	CLR	LCD_E			; the LCD takes the nibble
	POP	PSW
	RET
@]
;Routine 31
@[
;------------------------------------------------------------------------
; LCD_PUT: puts the high nibble of A on D4-D7 (bits 0-3 of the data port)
; and pulses E. A and the port's other lines are kept.
;------------------------------------------------------------------------
LCD_PUT:
	PUSH	ACC
	SWAP	A
	ANL	A,#0FH
	ANL	LCD_PORT,#0F0H
	ORL	LCD_PORT,A
	SETB	LCD_E
	CLR	LCD_E			; the LCD takes the nibble
	POP	ACC
	RET
@]
;Routine 32
@[
;------------------------------------------------------------------------
; LCD_PUT: puts the high nibble of A on D4-D7 (bits 4-7 of the data port)
; and pulses E. A and the port's other lines are kept.
;------------------------------------------------------------------------
LCD_PUT:
	PUSH	ACC
	ANL	A,#0F0H
	ANL	LCD_PORT,#0FH
	ORL	LCD_PORT,A
	SETB	LCD_E
	CLR	LCD_E			; the LCD takes the nibble
	POP	ACC
	RET
@]
;Routine 33
@[
;------------------------------------------------------------------------
; LCD_READ_DATA: reads the character at the cursor (8-bit bus) into A;
; the cursor moves on.
;------------------------------------------------------------------------
LCD_READ_DATA:
	SETB	LCD_D0			; data lines as inputs
	SETB	LCD_D1
	SETB	LCD_D2
	SETB	LCD_D3
	SETB	LCD_D4
	SETB	LCD_D5
	SETB	LCD_D6
	SETB	LCD_D7
	SETB	LCD_RS
	SETB	LCD_RW
	SETB	LCD_E
	CLR	LCD_E			; the LCD has put the byte out
	MOV	C,LCD_D0
	MOV	ACC.0,C
	MOV	C,LCD_D1
	MOV	ACC.1,C
	MOV	C,LCD_D2
	MOV	ACC.2,C
	MOV	C,LCD_D3
	MOV	ACC.3,C
	MOV	C,LCD_D4
	MOV	ACC.4,C
	MOV	C,LCD_D5
	MOV	ACC.5,C
	MOV	C,LCD_D6
	MOV	ACC.6,C
	MOV	C,LCD_D7
	MOV	ACC.7,C
	CLR	LCD_RW
	LJMP	LCD_SHORT_DELAY
@]
;Routine 34
@[
;------------------------------------------------------------------------
; LCD_READ_DATA: reads the character at the cursor (8-bit bus) into A;
; the cursor moves on.
;------------------------------------------------------------------------
LCD_READ_DATA:
	MOV	LCD_PORT,#0FFH		; data lines as inputs
	SETB	LCD_RS
	SETB	LCD_RW
	SETB	LCD_E
	CLR	LCD_E			; the LCD has put the byte out
	MOV	A,LCD_PORT
	CLR	LCD_RW
	LJMP	LCD_SHORT_DELAY
@]
;Routine 35
@[
;------------------------------------------------------------------------
; LCD_GET: pulses E and reads D4-D7 into the low nibble of A (the high
; nibble is cleared).
;------------------------------------------------------------------------
LCD_GET:
	SETB	LCD_D4			; data lines as inputs
	SETB	LCD_D5
	SETB	LCD_D6
	SETB	LCD_D7
	SETB	LCD_E
	CLR	LCD_E			; the LCD has put the nibble out
	CLR	A
	MOV	C,LCD_D4
	MOV	ACC.0,C
	MOV	C,LCD_D5
	MOV	ACC.1,C
	MOV	C,LCD_D6
	MOV	ACC.2,C
	MOV	C,LCD_D7
	MOV	ACC.3,C
	RET
@]
;Routine 36
@[
;------------------------------------------------------------------------
; LCD_GET: pulses E and reads D4-D7 (bits 0-3 of the data port) into the
; low nibble of A (the high nibble is cleared).
;------------------------------------------------------------------------
LCD_GET:
	ORL	LCD_PORT,#0FH		; data lines as inputs
	SETB	LCD_E
	CLR	LCD_E			; the LCD has put the nibble out
	MOV	A,LCD_PORT
	ANL	A,#0FH
	RET
@]
;Routine 37
@[
;------------------------------------------------------------------------
; LCD_GET: pulses E and reads D4-D7 (bits 4-7 of the data port) into the
; low nibble of A (the high nibble is cleared).
;------------------------------------------------------------------------
LCD_GET:
	ORL	LCD_PORT,#0F0H		; data lines as inputs
	SETB	LCD_E
	CLR	LCD_E			; the LCD has put the nibble out
	MOV	A,LCD_PORT
	SWAP	A
	ANL	A,#0FH
	RET
@]
;Routine 38
@[
;------------------------------------------------------------------------
; LCD_READ_DATA: reads the character at the cursor (4-bit bus, high
; nibble first) into A; the cursor moves on.
;------------------------------------------------------------------------
LCD_READ_DATA:
	SETB	LCD_RS
	SETB	LCD_RW
	LCALL	LCD_GET			; high nibble
	SWAP	A
	MOV	R7,A
	LCALL	LCD_GET			; low nibble
	ORL	A,R7
	CLR	LCD_RW
	LJMP	LCD_SHORT_DELAY
@]
