// The default font's bytes, included from the file that the build names in
// VEKTA_DEFAULT_FONT_FILE (a quoted path). Read-only data only: nothing here
// needs relocating, so the object serves position-independent code.
    .section .rodata.MDL_DefaultFont,"a",@progbits
    .balign 16
    .globl MDL_kaucDefaultFontData
    .type MDL_kaucDefaultFontData, @object
MDL_kaucDefaultFontData:
    .incbin VEKTA_DEFAULT_FONT_FILE
.LMDL_DefaultFontEnd:
    .size MDL_kaucDefaultFontData, .LMDL_DefaultFontEnd - MDL_kaucDefaultFontData

    .balign 4
    .globl MDL_kiDefaultFontSize
    .type MDL_kiDefaultFontSize, @object
MDL_kiDefaultFontSize:
    .long .LMDL_DefaultFontEnd - MDL_kaucDefaultFontData
    .size MDL_kiDefaultFontSize, 4

    .section .note.GNU-stack,"",@progbits
