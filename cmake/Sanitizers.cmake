# ThreadSanitizer instruments the whole build, JUCE included, so that every shared access is seen.
if(KRO_TSAN)
    add_compile_options(-fsanitize=thread -g -O1 -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
    add_compile_definitions(KRO_TSAN_BUILD=1)
endif()
