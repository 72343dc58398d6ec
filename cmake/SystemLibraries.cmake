# Debian's JUCE is stripped of its bundled third-party code and expects the system libraries.
# Our own build switches the FLAC and Ogg Vorbis codecs off, so only zlib is left to add here
# (JUCE links libpng, libjpeg and, on request, libcurl itself).
find_package(PkgConfig REQUIRED)
pkg_check_modules(KRO_ZLIB REQUIRED IMPORTED_TARGET zlib)

add_library(kro_system_libraries INTERFACE)
target_link_libraries(kro_system_libraries INTERFACE PkgConfig::KRO_ZLIB)
