// The start-up logo's PNG bytes, included from the file that the build names
// in VEKTA_LOGO_FILE (a quoted path). Read-only data only: nothing here
// needs relocating, so the object serves position-independent code.
    .section .rodata.MDL_Logo,"a",@progbits
    .balign 16
    .globl MDL_kaucLogoData
    .type MDL_kaucLogoData, @object
MDL_kaucLogoData:
    .incbin VEKTA_LOGO_FILE
.LMDL_LogoEnd:
    .size MDL_kaucLogoData, .LMDL_LogoEnd - MDL_kaucLogoData

    .balign 4
    .globl MDL_kiLogoSize
    .type MDL_kiLogoSize, @object
MDL_kiLogoSize:
    .long .LMDL_LogoEnd - MDL_kaucLogoData
    .size MDL_kiLogoSize, 4

    .section .note.GNU-stack,"",@progbits
