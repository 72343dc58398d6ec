# The program's layers. Every folder under Source/ is one layer and one static library; a layer links
# only the layers below it. The build enforces the direction:
#
# - a layer's headers are reachable only through a folder of its own (build/layers/<folder>/, which
#   holds a link named after the folder), so `#include "ui/TrellaUI2.h"` is found only by code that
#   links the ui layer;
# - for every layer that a layer does not link, each of that layer's headers is stood in for by one
#   that stops the build with a message naming both layers.
#
# The JUCE modules are compiled once, into KroJuce, with the plug-in's own definitions; every layer
# takes JUCE's headers and definitions from it.

set(KRO_LAYER_ROOT "${CMAKE_BINARY_DIR}/layers")

# kro_add_juce_library(<target> PLUGIN <shared-code target> MODULES <juce modules...> LINK <libraries...>)
# Compiles the JUCE modules with the definitions of the plug-in's shared-code target, so that every
# layer sees JUCE exactly as the plug-in wrappers do.
function(kro_add_juce_library target)
    cmake_parse_arguments(ARG "" "PLUGIN" "MODULES;LINK" ${ARGN})

    add_library(${target} STATIC)
    target_link_libraries(${target}
        PRIVATE ${ARG_MODULES}
        PUBLIC ${ARG_LINK} juce::juce_recommended_config_flags juce::juce_recommended_warning_flags)

    # The plug-in target's own definitions (names, codes, version), read as they were written. The
    # format switches and the shared-code mark only shape JUCE's own sources; the wrappers set
    # their own, so they are not passed on.
    get_target_property(plugin_definitions ${ARG_PLUGIN} COMPILE_DEFINITIONS)
    set(wrapper_only_definitions ${plugin_definitions})
    list(FILTER wrapper_only_definitions INCLUDE REGEX "^(JucePlugin_Build_|JUCE_SHARED_CODE)")
    list(FILTER plugin_definitions EXCLUDE REGEX "^(JucePlugin_Build_|JUCE_SHARED_CODE)")
    target_compile_definitions(${target} PRIVATE ${wrapper_only_definitions} PUBLIC ${plugin_definitions})

    # Everything that links this library compiles against the same module headers and settings.
    target_compile_definitions(${target} INTERFACE
        $<FILTER:$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>,EXCLUDE,JucePlugin_Build_|JUCE_SHARED_CODE>)
    target_include_directories(${target} INTERFACE $<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>)

    kro_set_plugin_code_properties(${target})
endfunction()

# Code that ends up in the plug-ins' shared objects, compiled as JUCE compiles the plug-in's own.
function(kro_set_plugin_code_properties target)
    set_target_properties(${target} PROPERTIES
        POSITION_INDEPENDENT_CODE TRUE
        VISIBILITY_INLINES_HIDDEN TRUE
        C_VISIBILITY_PRESET hidden
        CXX_VISIBILITY_PRESET hidden)
endfunction()

# kro_add_layer(<target> SOURCES <files...> LAYERS <lower layer targets...> LINK <other libraries...>)
# Called from the layer's own folder. The target may also be an existing library (the plug-in's
# shared-code target), to which the sources and links are added.
function(kro_add_layer target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LAYERS;LINK" ${ARGN})
    get_filename_component(folder "${CMAKE_CURRENT_SOURCE_DIR}" NAME)

    if(NOT TARGET ${target})
        add_library(${target} STATIC)
    endif()
    target_sources(${target} PRIVATE ${ARG_SOURCES})
    target_link_libraries(${target} PUBLIC ${ARG_LAYERS} ${ARG_LINK})
    kro_set_plugin_code_properties(${target})

    set(tree "${KRO_LAYER_ROOT}/${folder}")
    file(MAKE_DIRECTORY "${tree}")
    file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}" "${tree}/${folder}" SYMBOLIC)
    target_include_directories(${target} PUBLIC "${tree}")

    set_target_properties(${target} PROPERTIES KRO_LAYER_FOLDER "${folder}" KRO_LAYERS_BELOW "${ARG_LAYERS}")
    set_property(GLOBAL APPEND PROPERTY KRO_LAYERS ${target})
endfunction()

# Every layer below the given one, however indirectly.
function(kro_layer_closure target out_var)
    set(closure)
    set(pending ${target})
    while(pending)
        list(POP_FRONT pending current)
        get_target_property(below ${current} KRO_LAYERS_BELOW)
        foreach(layer IN LISTS below)
            if(NOT layer IN_LIST closure)
                list(APPEND closure ${layer})
                list(APPEND pending ${layer})
            endif()
        endforeach()
    endwhile()
    set(${out_var} ${closure} PARENT_SCOPE)
endfunction()

# After the last layer: gives each layer the stand-ins for the headers of the layers it may not use.
function(kro_enforce_layers)
    get_property(layers GLOBAL PROPERTY KRO_LAYERS)
    foreach(layer IN LISTS layers)
        get_target_property(folder ${layer} KRO_LAYER_FOLDER)
        kro_layer_closure(${layer} allowed)
        set(refusals "${KRO_LAYER_ROOT}-refused/${folder}")
        file(REMOVE_RECURSE "${refusals}")

        foreach(other IN LISTS layers)
            if(other STREQUAL layer OR other IN_LIST allowed)
                continue()
            endif()
            get_target_property(other_folder ${other} KRO_LAYER_FOLDER)
            file(GLOB headers CONFIGURE_DEPENDS RELATIVE "${CMAKE_SOURCE_DIR}/Source/${other_folder}"
                "${CMAKE_SOURCE_DIR}/Source/${other_folder}/*.h")
            foreach(header IN LISTS headers)
                file(WRITE "${refusals}/${other_folder}/${header}"
                    "#error \"Layer rule: ${folder}/ does not link the ${other_folder} layer, so it may not include "
                    "${other_folder}/${header} (layers depend downwards only; see docs/architecture.md)\"\n")
            endforeach()
        endforeach()

        # Searched after every real include folder, so only a header nothing else provides lands here.
        target_include_directories(${layer} AFTER PRIVATE "${refusals}")
    endforeach()
endfunction()
