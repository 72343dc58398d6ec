# Debian's JUCE is stripped of its bundled third-party code and expects the system libraries:
# zlib for juce_core, and libFLAC, libvorbis (with its file and encoder parts) and libogg for the
# FLAC and Ogg Vorbis codecs of juce_audio_formats (JUCE links libpng, libjpeg and, on request,
# libcurl itself).
find_package(PkgConfig REQUIRED)
pkg_check_modules(KRO_ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(KRO_CODECS REQUIRED IMPORTED_TARGET flac vorbis vorbisenc vorbisfile ogg)

add_library(kro_system_libraries INTERFACE)
target_link_libraries(kro_system_libraries INTERFACE PkgConfig::KRO_ZLIB PkgConfig::KRO_CODECS)
