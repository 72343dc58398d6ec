# ThreadSanitizer instruments the whole build, JUCE included, so that every shared access is seen.
if(KRO_TSAN)
    add_compile_options(-fsanitize=thread -g -O1 -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
    add_compile_definitions(KRO_TSAN_BUILD=1)
endif()

# AddressSanitizer and UndefinedBehaviorSanitizer, JUCE included; any report ends the process.
if(KRO_ASAN)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    add_compile_definitions(KRO_ASAN_BUILD=1)
endif()

# The fuzzers steer by coverage, so everything they run is compiled with libFuzzer's feedback.
if(KRO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "KRO_FUZZ needs clang: configure with CC=clang CXX=clang++")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
