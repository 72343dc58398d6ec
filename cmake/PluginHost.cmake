# Console programs that load the built LV2 and VST3 the way JUCE-based hosts do (host tests and the
# peer benchmark): JUCE's plug-in hosting switched on, and where to find both built plug-ins.
function(kro_add_plugin_host_app target)
    juce_add_console_app(${target} PRODUCT_NAME "${target}")
    target_compile_definitions(${target} PRIVATE
        JUCE_PLUGINHOST_LV2=1
        JUCE_PLUGINHOST_VST3=1
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_USE_FLAC=0
        JUCE_USE_OGGVORBIS=0
        KRO_LV2_URI="${KRO_LV2_URI}"
        KRO_LV2_DIR="$<TARGET_FILE_DIR:KroTrella_LV2>"
        KRO_VST3_BINARY="$<TARGET_FILE:KroTrella_VST3>")
    target_link_libraries(${target} PRIVATE
        juce::juce_audio_processors
        kro_system_libraries
        juce::juce_recommended_config_flags)
    add_dependencies(${target} KroTrella_LV2 KroTrella_VST3)
endfunction()
