// A number defined once as a macro, written into an assembly text too:
//   #define SLOT 192
//   asm("movq %r8, " QAV_ASM_NUMBER(SLOT) "(%rsp)");
#pragma once

#define QAV_ASM_TEXT(value) #value
#define QAV_ASM_NUMBER(value) QAV_ASM_TEXT(value)
