;========================================================================
; Seven-segment display driver template: not written yet. It holds no
; sections, so the LED generator has nothing to cut from it.
;========================================================================
