;========================================================================
; Matrix keypad driver routines (4 rows; 3, 4 or 8 columns).
; The rows are driven low one at a time; a held key pulls its column low.
; Key codes count row by row: row 1 holds keys 0 to columns-1, and so on.
;========================================================================
;Routine 1
@[
; Keypad lines and the key buffer.
ROW1		BIT	@Px.x
ROW2		BIT	@Px.x
ROW3		BIT	@Px.x
ROW4		BIT	@Px.x
KEY_BUFFER	DATA	0@PxH	      ; the last key code read (0FFH: none)
@]
;Routine 2
@[
; Keypad lines and the key buffer.
ROW_PORT	DATA	@Px	      ; rows 1-4 in order on one nibble
KEY_BUFFER	DATA	0@PxH	      ; the last key code read (0FFH: none)
@]
;Routine 3
@[
COL1		BIT	@Px.x
COL2		BIT	@Px.x
COL3		BIT	@Px.x
@]
;Routine 4
@[
COL1		BIT	@Px.x
COL2		BIT	@Px.x
COL3		BIT	@Px.x
COL4		BIT	@Px.x
@]
;Routine 5
@[
COL1		BIT	@Px.x
COL2		BIT	@Px.x
COL3		BIT	@Px.x
COL4		BIT	@Px.x
COL5		BIT	@Px.x
COL6		BIT	@Px.x
COL7		BIT	@Px.x
COL8		BIT	@Px.x
@]
;Routine 6
@[
COL_PORT	DATA	@Px	      ; columns in order on one port
@]
;Routine 7
@[
;------------------------------------------------------------------------
; READ_KEY: looks for a held key and debounces it.
; Output: C = 1 and A = key code when a key is held (the code is also
;	  stored in KEY_BUFFER); C = 0 and A = 0FFH when none is.
; Uses	: A, B, R2, R3, R6, R7
;------------------------------------------------------------------------
READ_KEY:
	LCALL	KEY_SCAN
	CJNE	A,#0FFH,READ_KEY_HELD
	SJMP	READ_KEY_NONE
READ_KEY_HELD:
	PUSH	ACC
	LCALL	KEY_DEBOUNCE_DELAY	; wait until the contacts settle
	LCALL	KEY_SCAN
	POP	B
	CJNE	A,B,READ_KEY_NONE	; not the same key: bounce
	MOV	KEY_BUFFER,A
	SETB	C
	RET
READ_KEY_NONE:
	MOV	A,#0FFH
	MOV	KEY_BUFFER,A
	CLR	C
	RET
@]
;Routine 8
@[
;------------------------------------------------------------------------
; KEY_SCAN: scans the 4 X 3 keypad once.
; Output: A = code of the held key, 0FFH when none. Uses A, R2, R3.
;------------------------------------------------------------------------
KEY_SCAN:
	LCALL	KEY_COLUMNS_INPUT
	MOV	R2,#0			; row index
KEY_SCAN_ROW:
	LCALL	KEY_SELECT_ROW
	LCALL	KEY_READ_COLUMNS	; a bit set for each held column
	JNZ	KEY_SCAN_FOUND
	INC	R2
	CJNE	R2,#4,KEY_SCAN_ROW
	MOV	R2,#4			; release all rows
	LCALL	KEY_SELECT_ROW
	MOV	A,#0FFH
	RET
KEY_SCAN_FOUND:
	MOV	R3,#0			; column index of the lowest held column
KEY_SCAN_COLUMN:
	RRC	A
	JC	KEY_SCAN_CODE
	INC	R3
	SJMP	KEY_SCAN_COLUMN
KEY_SCAN_CODE:
	MOV	A,R2			; code = row x 3 + column
	MOV	B,#3
	MUL	AB
	ADD	A,R3
	PUSH	ACC
	MOV	R2,#4			; release all rows
	LCALL	KEY_SELECT_ROW
	POP	ACC
	RET
@]
;Routine 9
@[
;------------------------------------------------------------------------
; KEY_SELECT_ROW: drives row R2 (0-3) low and the other rows high;
; R2 = 4 leaves every row high. Uses A.
;------------------------------------------------------------------------
KEY_SELECT_ROW:
	SETB	ROW1
	SETB	ROW2
	SETB	ROW3
	SETB	ROW4
	MOV	A,R2
	JNZ	KEY_SELECT_2
	CLR	ROW1
	RET
KEY_SELECT_2:
	DEC	A
	JNZ	KEY_SELECT_3
	CLR	ROW2
	RET
KEY_SELECT_3:
	DEC	A
	JNZ	KEY_SELECT_4
	CLR	ROW3
	RET
KEY_SELECT_4:
	DEC	A
	JNZ	KEY_SELECT_END
	CLR	ROW4
KEY_SELECT_END:
	RET
@]
;Routine 10
@[
;------------------------------------------------------------------------
; KEY_SELECT_ROW: drives row R2 (0-3) low and the other rows high;
; R2 = 4 leaves every row high. The port's other lines are kept. Uses A.
;------------------------------------------------------------------------
KEY_SELECT_ROW:
	MOV	A,R2
	ADD	A,#KEY_ROW_PATTERNS-KEY_SELECT_BASE
	MOVC	A,@A+PC
KEY_SELECT_BASE:
	ORL	ROW_PORT,#0F0H
	ORL	A,#0FH
	ANL	ROW_PORT,A
	RET
KEY_ROW_PATTERNS:
	DB	0E0H,0D0H,0B0H,070H,0F0H
@]
;Routine 11
@[
;------------------------------------------------------------------------
; KEY_SELECT_ROW: drives row R2 (0-3) low and the other rows high;
; R2 = 4 leaves every row high. The port's other lines are kept. Uses A.
;------------------------------------------------------------------------
KEY_SELECT_ROW:
	MOV	A,R2
	ADD	A,#KEY_ROW_PATTERNS-KEY_SELECT_BASE
	MOVC	A,@A+PC
KEY_SELECT_BASE:
	ORL	ROW_PORT,#0FH
	ORL	A,#0F0H
	ANL	ROW_PORT,A
	RET
KEY_ROW_PATTERNS:
	DB	0EH,0DH,0BH,07H,0FH
@]
;Routine 12
@[
;------------------------------------------------------------------------
; KEY_READ_COLUMNS: A = one bit per column (bit 0 = column 1), set while
; the column is pulled low.
;------------------------------------------------------------------------
KEY_READ_COLUMNS:
	CLR	A
	MOV	C,COL1
	CPL	C
	MOV	ACC.0,C
	MOV	C,COL2
	CPL	C
	MOV	ACC.1,C
	MOV	C,COL3
	CPL	C
	MOV	ACC.2,C
	RET
@]
;Routine 13
@[
;------------------------------------------------------------------------
; KEY_READ_COLUMNS: A = one bit per column (bit 0 = column 1), set while
; the column is pulled low.
;------------------------------------------------------------------------
KEY_READ_COLUMNS:
	MOV	A,COL_PORT
	CPL	A
	SWAP	A
	ANL	A,#07H
	RET
@]
;Routine 14
@[
;------------------------------------------------------------------------
; KEY_READ_COLUMNS: A = one bit per column (bit 0 = column 1), set while
; the column is pulled low.
;------------------------------------------------------------------------
KEY_READ_COLUMNS:
	MOV	A,COL_PORT
	CPL	A
	ANL	A,#07H
	RET
@]
;Routine 15
@[
;------------------------------------------------------------------------
; KEY_COLUMNS_INPUT: column lines high, so that they can be read.
;------------------------------------------------------------------------
KEY_COLUMNS_INPUT:
	SETB	COL1
	SETB	COL2
	SETB	COL3
	RET
@]
;Routine 16
@[
;------------------------------------------------------------------------
; KEY_COLUMNS_INPUT: column lines high, so that they can be read.
;------------------------------------------------------------------------
KEY_COLUMNS_INPUT:
	ORL	COL_PORT,#70H
	RET
@]
;Routine 17
@[
;------------------------------------------------------------------------
; KEY_COLUMNS_INPUT: column lines high, so that they can be read.
;------------------------------------------------------------------------
KEY_COLUMNS_INPUT:
	ORL	COL_PORT,#07H
	RET
@]
;Routine 18
@[
;------------------------------------------------------------------------
; KEY_DEBOUNCE_DELAY: waits about 10 ms. Uses R6, R7.
;------------------------------------------------------------------------
KEY_DEBOUNCE_DELAY:
	MOV	R6,#@CxxH
	MOV	R7,#@CxxH
KEY_DEBOUNCE_LOOP:
	DJNZ	R7,KEY_DEBOUNCE_LOOP
	DJNZ	R6,KEY_DEBOUNCE_LOOP
	RET
@]
;Routine 19
@[
;------------------------------------------------------------------------
; KEY_SCAN: scans the 4 X 4 keypad once.
; Output: A = code of the held key, 0FFH when none. Uses A, R2, R3.
;------------------------------------------------------------------------
KEY_SCAN:
	LCALL	KEY_COLUMNS_INPUT
	MOV	R2,#0			; row index
KEY_SCAN_ROW:
	LCALL	KEY_SELECT_ROW
	LCALL	KEY_READ_COLUMNS	; a bit set for each held column
	JNZ	KEY_SCAN_FOUND
	INC	R2
	CJNE	R2,#4,KEY_SCAN_ROW
	MOV	R2,#4			; release all rows
	LCALL	KEY_SELECT_ROW
	MOV	A,#0FFH
	RET
KEY_SCAN_FOUND:
	MOV	R3,#0			; column index of the lowest held column
KEY_SCAN_COLUMN:
	RRC	A
	JC	KEY_SCAN_CODE
	INC	R3
	SJMP	KEY_SCAN_COLUMN
KEY_SCAN_CODE:
	MOV	A,R2			; code = row x 4 + column
	MOV	B,#4
	MUL	AB
	ADD	A,R3
	PUSH	ACC
	MOV	R2,#4			; release all rows
	LCALL	KEY_SELECT_ROW
	POP	ACC
	RET
@]
;Routine 20
@[
;------------------------------------------------------------------------
; KEY_READ_COLUMNS: A = one bit per column (bit 0 = column 1), set while
; the column is pulled low.
;------------------------------------------------------------------------
KEY_READ_COLUMNS:
	CLR	A
	MOV	C,COL1
	CPL	C
	MOV	ACC.0,C
	MOV	C,COL2
	CPL	C
	MOV	ACC.1,C
	MOV	C,COL3
	CPL	C
	MOV	ACC.2,C
	MOV	C,COL4
	CPL	C
	MOV	ACC.3,C
	RET
@]
;Routine 21
@[
;------------------------------------------------------------------------
; KEY_READ_COLUMNS: A = one bit per column (bit 0 = column 1), set while
; the column is pulled low.
;------------------------------------------------------------------------
KEY_READ_COLUMNS:
	MOV	A,COL_PORT
	CPL	A
	SWAP	A
	ANL	A,#0FH
	RET
@]
;Routine 22
@[
;------------------------------------------------------------------------
; KEY_READ_COLUMNS: A = one bit per column (bit 0 = column 1), set while
; the column is pulled low.
;------------------------------------------------------------------------
KEY_READ_COLUMNS:
	MOV	A,COL_PORT
	CPL	A
	ANL	A,#0FH
	RET
@]
;Routine 23
@[
;------------------------------------------------------------------------
; KEY_COLUMNS_INPUT: column lines high, so that they can be read.
;------------------------------------------------------------------------
KEY_COLUMNS_INPUT:
	SETB	COL1
	SETB	COL2
	SETB	COL3
	SETB	COL4
	RET
@]
;Routine 24
@[
;------------------------------------------------------------------------
; KEY_COLUMNS_INPUT: column lines high, so that they can be read.
;------------------------------------------------------------------------
KEY_COLUMNS_INPUT:
	ORL	COL_PORT,#0F0H
	RET
@]
;Routine 25
@[
;------------------------------------------------------------------------
; KEY_COLUMNS_INPUT: column lines high, so that they can be read.
;------------------------------------------------------------------------
KEY_COLUMNS_INPUT:
	ORL	COL_PORT,#0FH
	RET
@]
;Routine 26
@[
;------------------------------------------------------------------------
; KEY_SCAN: scans the 4 X 8 keypad once.
; Output: A = code of the held key, 0FFH when none. Uses A, R2, R3.
;------------------------------------------------------------------------
KEY_SCAN:
	LCALL	KEY_COLUMNS_INPUT
	MOV	R2,#0			; row index
KEY_SCAN_ROW:
	LCALL	KEY_SELECT_ROW
	LCALL	KEY_READ_COLUMNS	; a bit set for each held column
	JNZ	KEY_SCAN_FOUND
	INC	R2
	CJNE	R2,#4,KEY_SCAN_ROW
	MOV	R2,#4			; release all rows
	LCALL	KEY_SELECT_ROW
	MOV	A,#0FFH
	RET
KEY_SCAN_FOUND:
	MOV	R3,#0			; column index of the lowest held column
KEY_SCAN_COLUMN:
	RRC	A
	JC	KEY_SCAN_CODE
	INC	R3
	SJMP	KEY_SCAN_COLUMN
KEY_SCAN_CODE:
	MOV	A,R2			; code = row x 8 + column
	MOV	B,#8
	MUL	AB
	ADD	A,R3
	PUSH	ACC
	MOV	R2,#4			; release all rows
	LCALL	KEY_SELECT_ROW
	POP	ACC
	RET
@]
;Routine 27
@[
;------------------------------------------------------------------------
; KEY_READ_COLUMNS: A = one bit per column (bit 0 = column 1), set while
; the column is pulled low.
;------------------------------------------------------------------------
KEY_READ_COLUMNS:
	CLR	A
	MOV	C,COL1
	CPL	C
	MOV	ACC.0,C
	MOV	C,COL2
	CPL	C
	MOV	ACC.1,C
	MOV	C,COL3
	CPL	C
	MOV	ACC.2,C
	MOV	C,COL4
	CPL	C
	MOV	ACC.3,C
	MOV	C,COL5
	CPL	C
	MOV	ACC.4,C
	MOV	C,COL6
	CPL	C
	MOV	ACC.5,C
	MOV	C,COL7
	CPL	C
	MOV	ACC.6,C
	MOV	C,COL8
	CPL	C
	MOV	ACC.7,C
	RET
@]
;Routine 28
@[
;------------------------------------------------------------------------
; KEY_READ_COLUMNS: A = one bit per column (bit 0 = column 1), set while
; the column is pulled low.
;------------------------------------------------------------------------
KEY_READ_COLUMNS:
	MOV	A,COL_PORT
	CPL	A
	ANL	A,#0FFH
	RET
@]
;Routine 29
@[
;------------------------------------------------------------------------
; KEY_COLUMNS_INPUT: column lines high, so that they can be read.
;------------------------------------------------------------------------
KEY_COLUMNS_INPUT:
	SETB	COL1
	SETB	COL2
	SETB	COL3
	SETB	COL4
	SETB	COL5
	SETB	COL6
	SETB	COL7
	SETB	COL8
	RET
@]
;Routine 30
@[
;------------------------------------------------------------------------
; KEY_COLUMNS_INPUT: column lines high, so that they can be read.
;------------------------------------------------------------------------
KEY_COLUMNS_INPUT:
	ORL	COL_PORT,#0FFH
	RET
@]
