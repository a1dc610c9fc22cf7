;========================================================================
; Seven-segment display driver routines: one to sixteen digits,
; non-multiplexed or multiplexed (by digit-select lines or through an
; external 2-to-4, 3-to-8 or 4-to-16 decoder), segment or BCD input,
; common anode or common cathode. Multiplexed displays are refreshed
; from a timer interrupt every millisecond out of a buffer in internal
; RAM; the digit routines only write that buffer.
;========================================================================
;Routine 1: Equates of the multiplexed displays
@[
; Internal RAM of the multiplexed displays: the scan counter, then one
; byte per digit (digit 1 first) holding the levels its lines show.
LED_SCAN	DATA	@CxxH	; digit refreshed last (0 = digit 1)
LED_BUFFER	DATA	@CxxH	; levels of digit 1; digit n at LED_BUFFER+n-1
LED_DIGITS	EQU	@CxxH	; number of digits
@]
;Routine 2: Segment lines on one port
@[
SEG_PORT	DATA	@Px	; segments a to dp, in any order
@]
;Routine 3: Segment lines anywhere
@[
SEG_A		BIT	@Px.x
SEG_B		BIT	@Px.x
SEG_C		BIT	@Px.x
SEG_D		BIT	@Px.x
SEG_E		BIT	@Px.x
SEG_F		BIT	@Px.x
SEG_G		BIT	@Px.x
SEG_DP		BIT	@Px.x
@]
;Routine 4: BCD lines on one port
@[
BCD_PORT	DATA	@Px	; BCD inputs A to D and the dot, in any order
@]
;Routine 5: BCD lines anywhere
@[
BCD_A		BIT	@Px.x
BCD_B		BIT	@Px.x
BCD_C		BIT	@Px.x
BCD_D		BIT	@Px.x
BCD_DP		BIT	@Px.x
@]
;Routine 6: Digit-select lines on one port
@[
SEL_PORT	DATA	@Px	; digit-select lines
LED_SEL_CLEAR	EQU	@CxxH	; clears every digit-select bit
LED_SEL_OFF	EQU	@CxxH	; every digit deselected
@]
;Routine 7: Decoder inputs, 2 to 4
@[
MUX_A		BIT	@Px.x	; decoder input A (digit number bit 0)
MUX_B		BIT	@Px.x
@]
;Routine 8: Decoder inputs, 3 to 8
@[
MUX_A		BIT	@Px.x	; decoder input A (digit number bit 0)
MUX_B		BIT	@Px.x
MUX_C		BIT	@Px.x
@]
;Routine 9: Decoder inputs, 4 to 16
@[
MUX_A		BIT	@Px.x	; decoder input A (digit number bit 0)
MUX_B		BIT	@Px.x
MUX_C		BIT	@Px.x
MUX_D		BIT	@Px.x
@]
;Routine 10: Refresh period
@[
LED_PERIOD	EQU	@CxxxxH	; machine cycles in one millisecond
@]
;Routine 11: Common anode, segment input
@[
LED_INVERT	EQU	0FFH	; a segment lights at level 0
LED_BLANK	EQU	0FFH	; levels of a dark digit
@]
;Routine 12: Common cathode, segment input
@[
LED_INVERT	EQU	000H	; a segment lights at level 1
LED_BLANK	EQU	000H	; levels of a dark digit
@]
;Routine 13: Common anode, BCD input
@[
LED_DOT_OFF	EQU	080H	; the dot is dark at level 1
LED_BLANK	EQU	08FH	; code 15 shows nothing
@]
;Routine 14: Common cathode, BCD input
@[
LED_DOT_OFF	EQU	000H	; the dot is dark at level 0
LED_BLANK	EQU	00FH	; code 15 shows nothing
@]
;Routine 15: LED_INIT, timer 0
@[
;------------------------------------------------------------------------
; LED_INIT: blanks every digit and starts the refresh: timer 0 in
;	  mode 1 interrupts every millisecond and shows the next digit.
; Uses	: A, R0. Enables interrupts (EA).
;------------------------------------------------------------------------
LED_INIT:
	MOV	LED_SCAN,#0
	MOV	R0,#LED_BUFFER
	MOV	A,#LED_DIGITS
LED_INIT_BLANK:
	MOV	@R0,#LED_BLANK
	INC	R0
	DJNZ	ACC,LED_INIT_BLANK
	ANL	TMOD,#0F0H
	ORL	TMOD,#001H
	MOV	TH0,#HIGH(10000H-LED_PERIOD)
	MOV	TL0,#LOW(10000H-LED_PERIOD)
	SETB	ET0
	SETB	EA
	SETB	TR0
	RET
@]
;Routine 16: LED_INIT, timer 1
@[
;------------------------------------------------------------------------
; LED_INIT: blanks every digit and starts the refresh: timer 1 in
;	  mode 1 interrupts every millisecond and shows the next digit.
; Uses	: A, R0. Enables interrupts (EA).
;------------------------------------------------------------------------
LED_INIT:
	MOV	LED_SCAN,#0
	MOV	R0,#LED_BUFFER
	MOV	A,#LED_DIGITS
LED_INIT_BLANK:
	MOV	@R0,#LED_BLANK
	INC	R0
	DJNZ	ACC,LED_INIT_BLANK
	ANL	TMOD,#00FH
	ORL	TMOD,#010H
	MOV	TH1,#HIGH(10000H-LED_PERIOD)
	MOV	TL1,#LOW(10000H-LED_PERIOD)
	SETB	ET1
	SETB	EA
	SETB	TR1
	RET
@]
;Routine 17: LED_INIT, timer 2
@[
;------------------------------------------------------------------------
; LED_INIT: blanks every digit and starts the refresh: timer 2 reloads
;	  itself and interrupts every millisecond to show the next digit.
; Uses	: A, R0. Enables interrupts (EA).
;------------------------------------------------------------------------
LED_INIT:
	MOV	LED_SCAN,#0
	MOV	R0,#LED_BUFFER
	MOV	A,#LED_DIGITS
LED_INIT_BLANK:
	MOV	@R0,#LED_BLANK
	INC	R0
	DJNZ	ACC,LED_INIT_BLANK
	MOV	0C8H,#0			; T2CON: 16-bit auto-reload, stopped
	MOV	0CBH,#HIGH(10000H-LED_PERIOD)	; RCAP2H
	MOV	0CAH,#LOW(10000H-LED_PERIOD)	; RCAP2L
	MOV	0CDH,#HIGH(10000H-LED_PERIOD)	; TH2
	MOV	0CCH,#LOW(10000H-LED_PERIOD)	; TL2
	SETB	0ADH			; ET2
	SETB	EA
	SETB	0CAH			; TR2
	RET
@]
;Routine 18: Timer 0 interrupt
@[
;------------------------------------------------------------------------
; Timer 0 interrupt: reloads the timer and shows the next digit.
;------------------------------------------------------------------------
LED_VECTOR_BACK:
	ORG	000BH
	LJMP	LED_TIMER_ISR
	ORG	LED_VECTOR_BACK
LED_TIMER_ISR:
	MOV	TH0,#HIGH(10000H-LED_PERIOD)
	MOV	TL0,#LOW(10000H-LED_PERIOD)
	LCALL	LED_REFRESH
	RETI
@]
;Routine 19: Timer 1 interrupt
@[
;------------------------------------------------------------------------
; Timer 1 interrupt: reloads the timer and shows the next digit.
;------------------------------------------------------------------------
LED_VECTOR_BACK:
	ORG	001BH
	LJMP	LED_TIMER_ISR
	ORG	LED_VECTOR_BACK
LED_TIMER_ISR:
	MOV	TH1,#HIGH(10000H-LED_PERIOD)
	MOV	TL1,#LOW(10000H-LED_PERIOD)
	LCALL	LED_REFRESH
	RETI
@]
;Routine 20: Timer 2 interrupt
@[
;------------------------------------------------------------------------
; Timer 2 interrupt: clears its flag and shows the next digit.
;------------------------------------------------------------------------
LED_VECTOR_BACK:
	ORG	002BH
	LJMP	LED_TIMER_ISR
	ORG	LED_VECTOR_BACK
LED_TIMER_ISR:
	CLR	0CFH			; TF2
	LCALL	LED_REFRESH
	RETI
@]
;Routine 21: LED_REFRESH, start
@[
;------------------------------------------------------------------------
; LED_REFRESH: shows the next digit of LED_BUFFER (called by the timer
;	  interrupt every millisecond). Changes no register.
;------------------------------------------------------------------------
LED_REFRESH:
	PUSH	ACC
	PUSH	B
	PUSH	PSW
	PUSH	DPL
	PUSH	DPH
	MOV	A,R0
	PUSH	ACC
@]
;Routine 22: LED_REFRESH, all digits off (one port)
@[
	ORL	SEL_PORT,#LED_SEL_OFF	; every digit off, no other
	ANL	SEL_PORT,#LED_SEL_CLEAR OR LED_SEL_OFF	; line changed
@]
;Routine 23: LED_REFRESH, all digits off (separate lines)
@[
	MOV	A,#@CxxH		; select level
	RRC	A
	CPL	C			; C = the level of a digit that is off
@]
;Routine 24: LED_REFRESH, one digit off
@[
	MOV	@Px.x,C
@]
;Routine 25: LED_REFRESH, next digit
@[
	INC	LED_SCAN		; next digit, after the last the first
	MOV	A,LED_SCAN
	CJNE	A,#LED_DIGITS,LED_REFRESH_NEXT
	MOV	LED_SCAN,#0
LED_REFRESH_NEXT:
	MOV	A,LED_SCAN
	ANL	A,#0FH			; never outside the buffer
	ADD	A,#LED_BUFFER
	MOV	R0,A			; R0 = its buffer byte
@]
;Routine 26: LED_REFRESH, output the digit
@[
	MOV	A,@R0
	LCALL	LED_OUT
@]
;Routine 27: LED_REFRESH, select the digit (one port)
@[
	MOV	A,LED_SCAN
	MOV	DPTR,#LED_SEL_TABLE
	MOVC	A,@A+DPTR
	ORL	SEL_PORT,A		; from all off to this digit alone
	ORL	A,#LED_SEL_CLEAR
	ANL	SEL_PORT,A
@]
;Routine 28: LED_REFRESH, select the digit (separate lines)
@[
	MOV	A,#@CxxH		; select level
	RRC	A
	MOV	F0,C
	MOV	A,LED_SCAN
@]
;Routine 29: LED_REFRESH, select one digit
@[
	CJNE	A,#@CxxH,$+7		; digit number (0 = digit 1)
	MOV	C,F0
	MOV	@Px.x,C
@]
;Routine 30: LED_REFRESH, decoder 2 to 4
@[
	MOV	A,LED_SCAN		; digit number to the decoder
	MOV	C,ACC.0
	MOV	MUX_A,C
	MOV	C,ACC.1
	MOV	MUX_B,C
@]
;Routine 31: LED_REFRESH, decoder 3 to 8
@[
	MOV	A,LED_SCAN		; digit number to the decoder
	MOV	C,ACC.0
	MOV	MUX_A,C
	MOV	C,ACC.1
	MOV	MUX_B,C
	MOV	C,ACC.2
	MOV	MUX_C,C
@]
;Routine 32: LED_REFRESH, decoder 4 to 16
@[
	MOV	A,LED_SCAN		; digit number to the decoder
	MOV	C,ACC.0
	MOV	MUX_A,C
	MOV	C,ACC.1
	MOV	MUX_B,C
	MOV	C,ACC.2
	MOV	MUX_C,C
	MOV	C,ACC.3
	MOV	MUX_D,C
@]
;Routine 33: LED_REFRESH, end
@[
	POP	ACC
	MOV	R0,A
	POP	DPH
	POP	DPL
	POP	PSW
	POP	B
	POP	ACC
	RET
@]
;Routine 34: LED_REFRESH, end and select table
@[
	POP	ACC
	MOV	R0,A
	POP	DPH
	POP	DPL
	POP	PSW
	POP	B
	POP	ACC
	RET
LED_SEL_TABLE:				; select value of each digit
@]
;Routine 35: Select value of one digit
@[
	DB	@CxxH
@]
;Routine 36: LED_OUT, segments on one port
@[
;------------------------------------------------------------------------
; LED_OUT: puts the levels in A (bit 0 segment a ... bit 7 dp) on the
;	  segment lines. Uses A, B.
;------------------------------------------------------------------------
LED_OUT:
	MOV	B,A
	CLR	A
	JNB	B.0,$+5
	ORL	A,#0@PxH		; segment a
	JNB	B.1,$+5
	ORL	A,#0@PxH		; segment b
	JNB	B.2,$+5
	ORL	A,#0@PxH		; segment c
	JNB	B.3,$+5
	ORL	A,#0@PxH		; segment d
	JNB	B.4,$+5
	ORL	A,#0@PxH		; segment e
	JNB	B.5,$+5
	ORL	A,#0@PxH		; segment f
	JNB	B.6,$+5
	ORL	A,#0@PxH		; segment g
	JNB	B.7,$+5
	ORL	A,#0@PxH		; segment dp
	MOV	SEG_PORT,A
	RET
@]
;Routine 37: LED_OUT, segment lines anywhere
@[
;------------------------------------------------------------------------
; LED_OUT: puts the levels in A (bit 0 segment a ... bit 7 dp) on the
;	  segment lines. Uses C.
;------------------------------------------------------------------------
LED_OUT:
	MOV	C,ACC.0
	MOV	SEG_A,C
	MOV	C,ACC.1
	MOV	SEG_B,C
	MOV	C,ACC.2
	MOV	SEG_C,C
	MOV	C,ACC.3
	MOV	SEG_D,C
	MOV	C,ACC.4
	MOV	SEG_E,C
	MOV	C,ACC.5
	MOV	SEG_F,C
	MOV	C,ACC.6
	MOV	SEG_G,C
	MOV	C,ACC.7
	MOV	SEG_DP,C
	RET
@]
;Routine 38: LED_OUT, BCD lines on one port
@[
;------------------------------------------------------------------------
; LED_OUT: puts the levels in A (bits 3-0 the code for inputs D-A, bit 7
;	  the dot line) on the BCD lines; other lines of the port keep
;	  their levels. Uses A, B.
;------------------------------------------------------------------------
LED_OUT:
	MOV	B,A
	CLR	A
	JNB	B.0,$+5
	ORL	A,#0@PxH		; input A
	JNB	B.1,$+5
	ORL	A,#0@PxH		; input B
	JNB	B.2,$+5
	ORL	A,#0@PxH		; input C
	JNB	B.3,$+5
	ORL	A,#0@PxH		; input D
	JNB	B.7,$+5
	ORL	A,#0@PxH		; dot
	ANL	BCD_PORT,#0@PxH	; clears the BCD and dot bits
	ORL	BCD_PORT,A
	RET
@]
;Routine 39: LED_OUT, BCD lines anywhere
@[
;------------------------------------------------------------------------
; LED_OUT: puts the levels in A (bits 3-0 the code for inputs D-A, bit 7
;	  the dot line) on the BCD lines. Uses C.
;------------------------------------------------------------------------
LED_OUT:
	MOV	C,ACC.0
	MOV	BCD_A,C
	MOV	C,ACC.1
	MOV	BCD_B,C
	MOV	C,ACC.2
	MOV	BCD_C,C
	MOV	C,ACC.3
	MOV	BCD_D,C
	MOV	C,ACC.7
	MOV	BCD_DP,C
	RET
@]
;Routine 40: LED_STORE, multiplexed
@[
;------------------------------------------------------------------------
; LED_STORE: gives digit R0 (1 = digit 1) the levels in A; the refresh
;	  shows them. A position outside the display is ignored.
; Uses	: A, R1
;------------------------------------------------------------------------
LED_STORE:
	MOV	R1,A
	MOV	A,R0
	JZ	LED_STORE_END
	CLR	C
	SUBB	A,#LED_DIGITS+1
	JNC	LED_STORE_END
	MOV	A,R0
	ADD	A,#LED_BUFFER-1
	XCH	A,R1
	MOV	@R1,A
LED_STORE_END:
	RET
@]
;Routine 41: LED_STORE, non-multiplexed
@[
;------------------------------------------------------------------------
; LED_STORE: puts the levels in A on the lines of digit R0 (1 = digit 1).
;	  A position outside the display is ignored. Uses A, B, C.
;------------------------------------------------------------------------
LED_STORE:
@]
;Routine 42: LED_STORE, digit with segments on one port
@[
	CJNE	R0,#@CxxH,$+49		; digit number
	MOV	B,A
	CLR	A
	JNB	B.0,$+5
	ORL	A,#0@PxH		; segment a
	JNB	B.1,$+5
	ORL	A,#0@PxH		; segment b
	JNB	B.2,$+5
	ORL	A,#0@PxH		; segment c
	JNB	B.3,$+5
	ORL	A,#0@PxH		; segment d
	JNB	B.4,$+5
	ORL	A,#0@PxH		; segment e
	JNB	B.5,$+5
	ORL	A,#0@PxH		; segment f
	JNB	B.6,$+5
	ORL	A,#0@PxH		; segment g
	JNB	B.7,$+5
	ORL	A,#0@PxH		; segment dp
	MOV	@Px,A
	RET
@]
;Routine 43: LED_STORE, digit with segment lines anywhere
@[
	CJNE	R0,#@CxxH,$+36		; digit number
	MOV	C,ACC.0
	MOV	@Px.x,C		; segment a
	MOV	C,ACC.1
	MOV	@Px.x,C		; segment b
	MOV	C,ACC.2
	MOV	@Px.x,C		; segment c
	MOV	C,ACC.3
	MOV	@Px.x,C		; segment d
	MOV	C,ACC.4
	MOV	@Px.x,C		; segment e
	MOV	C,ACC.5
	MOV	@Px.x,C		; segment f
	MOV	C,ACC.6
	MOV	@Px.x,C		; segment g
	MOV	C,ACC.7
	MOV	@Px.x,C		; segment dp
	RET
@]
;Routine 44: LED_STORE, digit with BCD lines on one port
@[
	CJNE	R0,#@CxxH,$+37		; digit number
	MOV	B,A
	CLR	A
	JNB	B.0,$+5
	ORL	A,#0@PxH		; input A
	JNB	B.1,$+5
	ORL	A,#0@PxH		; input B
	JNB	B.2,$+5
	ORL	A,#0@PxH		; input C
	JNB	B.3,$+5
	ORL	A,#0@PxH		; input D
	JNB	B.7,$+5
	ORL	A,#0@PxH		; dot
	ANL	@Px,#0@PxH		; clears the BCD and dot bits
	ORL	@Px,A
	RET
@]
;Routine 45: LED_STORE, digit with BCD lines anywhere
@[
	CJNE	R0,#@CxxH,$+24		; digit number
	MOV	C,ACC.0
	MOV	@Px.x,C		; input A
	MOV	C,ACC.1
	MOV	@Px.x,C		; input B
	MOV	C,ACC.2
	MOV	@Px.x,C		; input C
	MOV	C,ACC.3
	MOV	@Px.x,C		; input D
	MOV	C,ACC.7
	MOV	@Px.x,C		; dot
	RET
@]
;Routine 46: LED_STORE, end
@[
	RET				; no such digit
@]
;Routine 47: LED_CONVERT, segment input
@[
;------------------------------------------------------------------------
; LED_CONVERT: the levels that show the hexadecimal digit in A (bits 3-0).
;------------------------------------------------------------------------
LED_CONVERT:
	ANL	A,#0FH
	ADD	A,#3
	MOVC	A,@A+PC
	XRL	A,#LED_INVERT
	RET
	DB	03FH,006H,05BH,04FH,066H,06DH,07DH,007H	; 0-7
	DB	07FH,06FH,077H,07CH,039H,05EH,079H,071H	; 8-F
@]
;Routine 48: LED_CONVERT, BCD input
@[
;------------------------------------------------------------------------
; LED_CONVERT: the levels that show the digit in A (bits 3-0, codes 10-14
;	  show the decoder's own shapes, 15 nothing), the dot dark.
;------------------------------------------------------------------------
LED_CONVERT:
	ANL	A,#0FH
	ORL	A,#LED_DOT_OFF
	RET
@]
;Routine 49: DISPLAY_1DIGIT
@[
;------------------------------------------------------------------------
; DISPLAY_1DIGIT: shows the digit in A (bits 3-0) at position R0
;	  (1 = digit 1). Uses A, B, C, R1.
;------------------------------------------------------------------------
DISPLAY_1DIGIT:
	LCALL	LED_CONVERT
	LJMP	LED_STORE
@]
;Routine 50: DISPLAY_2DIGITS
@[
;------------------------------------------------------------------------
; DISPLAY_2DIGITS: shows the byte in A as two hexadecimal digits, the
;	  high one at position R0. Uses A, B, C, R1.
;------------------------------------------------------------------------
DISPLAY_2DIGITS:
	PUSH	ACC
	SWAP	A
	LCALL	DISPLAY_1DIGIT
	INC	R0
	POP	ACC
	LCALL	DISPLAY_1DIGIT
	DEC	R0
	RET
@]
;Routine 51: DISPLAY_4DIGITS
@[
;------------------------------------------------------------------------
; DISPLAY_4DIGITS: shows R2 (high byte) and R3 (low byte) as four
;	  hexadecimal digits from position R0 on. Uses A, B, C, R1.
;------------------------------------------------------------------------
DISPLAY_4DIGITS:
	MOV	A,R2
	LCALL	DISPLAY_2DIGITS
	INC	R0
	INC	R0
	MOV	A,R3
	LCALL	DISPLAY_2DIGITS
	DEC	R0
	DEC	R0
	RET
@]
;Routine 52: DISPLAY_MESSAGE
@[
;------------------------------------------------------------------------
; DISPLAY_MESSAGE: shows R2 segment patterns (bit 0 segment a ... bit 7
;	  dp, a set bit lit) read from code memory at DPTR, from position
;	  R0 on. Uses A, B, C, R1, R2, DPTR.
;------------------------------------------------------------------------
DISPLAY_MESSAGE:
	MOV	A,R0
	PUSH	ACC
	MOV	A,R2
	JZ	DISPLAY_MESSAGE_END
DISPLAY_MESSAGE_NEXT:
	CLR	A
	MOVC	A,@A+DPTR
	XRL	A,#LED_INVERT
	LCALL	LED_STORE
	INC	DPTR
	INC	R0
	DJNZ	R2,DISPLAY_MESSAGE_NEXT
DISPLAY_MESSAGE_END:
	POP	ACC
	MOV	R0,A
	RET
@]
