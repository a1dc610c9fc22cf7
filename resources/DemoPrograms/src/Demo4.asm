; Demo Program 4 : Interfacing a Momentary Switch and a Toggle switch and LEDs
;
; A momentary switch (push button) and a toggle switch are read and shown
; on point LEDs:
;   - LED 1 lights while the push button is held;
;   - LED 2 shows the toggle switch: lit while the switch is at 1;
;   - LED 3 changes state at each press of the push button (a press is
;     counted once, on the edge from released to pressed).
;
; Wiring (P1 and P3 only, so it runs on every device):
;   P3.2   push button to GND (reads 0 while held, 1 when released)
;   P3.3   toggle switch (reads 0 or 1)
;   P1.0   LED 1, P1.1 LED 2, P1.2 LED 3 (each lit at level 0)

$MOD51

BUTTON  BIT     P3.2
SWITCH  BIT     P3.3
LED1    BIT     P1.0
LED2    BIT     P1.1
LED3    BIT     P1.2
WASHELD BIT     00H             ; the button was held at the previous look

        ORG     0000H
START:  MOV     SP,#40H
        MOV     P1,#0FFH        ; all LEDs dark
        SETB    BUTTON          ; latches at 1: the lines are inputs
        SETB    SWITCH
        CLR     WASHELD

POLL:   MOV     C,BUTTON        ; LED 1 follows the button: 0 (held) lights it
        MOV     LED1,C
        MOV     C,SWITCH        ; LED 2 lights while the switch reads 1
        CPL     C
        MOV     LED2,C

        JB      BUTTON,RELEASED ; button up?
        JB      WASHELD,POLL    ; held, and already counted
        SETB    WASHELD         ; a new press:
        CPL     LED3            ;   LED 3 changes state
        SJMP    POLL
RELEASED:
        CLR     WASHELD
        SJMP    POLL

        END
