#pragma once

/** Compiles the code between KRO_BEGIN_INSTRUCTION_SET (KRO_AVX2_TARGET) and KRO_END_INSTRUCTION_SET
    for the named instruction sets, so that one source file can hold a kernel for each vector unit
    and the widest the processor has is chosen at run time (InstructionSet decides, for every kernel
    at once). GCC takes a target pragma; clang ignores that pragma and needs the target attribute on
    every function instead.

    Every kernel of a set is compiled for the same target, so that InstructionSet checks exactly the
    features the code may use.
*/
#define KRO_AVX2_TARGET "avx2,fma"
#define KRO_AVX512_TARGET "avx512f,avx512vl,fma"

#define KRO_PRAGMA_TEXT(text) #text
#define KRO_PRAGMA(text) _Pragma (KRO_PRAGMA_TEXT (text))

#if defined(__clang__)
#define KRO_BEGIN_INSTRUCTION_SET(isa)                                                                                 \
    KRO_PRAGMA (clang attribute push (__attribute__ ((target (isa))), apply_to = function))
#define KRO_END_INSTRUCTION_SET _Pragma ("clang attribute pop")
#else
#define KRO_BEGIN_INSTRUCTION_SET(isa) _Pragma ("GCC push_options") KRO_PRAGMA (GCC target (isa))
#define KRO_END_INSTRUCTION_SET _Pragma ("GCC pop_options")
#endif
