# Use ccache when it is installed; a clean JUCE build takes minutes, a cached one seconds.
# Paths are made relative to the source folder so that clones and build folders share entries.
find_program(KRO_CCACHE ccache)
if(KRO_CCACHE)
    set(kro_ccache_launcher "${CMAKE_COMMAND}" -E env "CCACHE_BASEDIR=${CMAKE_SOURCE_DIR}" CCACHE_NOHASHDIR=1
        CCACHE_SLOPPINESS=include_file_mtime,include_file_ctime,time_macros "${KRO_CCACHE}")
    set(CMAKE_C_COMPILER_LAUNCHER ${kro_ccache_launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${kro_ccache_launcher})
endif()
