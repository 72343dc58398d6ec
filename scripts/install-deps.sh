#!/usr/bin/env bash
# Installs every Debian package the build, the app, the tests and the benchmarks need.
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
    # toolchain
    build-essential cmake ninja-build pkg-config ccache git
    # JUCE and the system libraries Debian's JUCE links against
    juce-modules-source
    libasound2-dev libjack-jackd2-dev libcurl4-gnutls-dev libfreetype-dev libfontconfig1-dev
    libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev libxcomposite-dev libxtst-dev
    libgl-dev libglu1-mesa-dev
    libflac-dev libvorbis-dev libogg-dev libpng-dev libjpeg-dev zlib1g-dev
    # tests and benchmarks (sox and hyperfine: the renderer's speed comparison, bench/render-vs-sox.sh)
    googletest libgtest-dev libgmock-dev libbenchmark-dev valgrind sox hyperfine
    # running the GUI and the plug-ins headless
    xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core fonts-liberation2 libgl1-mesa-dri
    # the LV2 headers and specifications; the hosts the LV2 is tested in (lv2info and lv2apply,
    # ffmpeg's lv2 filter, Ardour headless) and the Turtle validator
    lv2-dev lilv-utils ffmpeg ardour sordi
    # a private PipeWire daemon with a session manager, for the desktop filter's test
    pipewire pipewire-bin wireplumber dbus
    # the vector kernels of narrower processors, run under emulated processor models
    qemu-user
    # the peer the equaliser is benchmarked against (bench/PeerBench.cpp); hosted, never linked
    lsp-plugins-lv2
    # formatting
    clang-format
    # the AddressSanitizer/UndefinedBehaviorSanitizer build and the fuzzers (libFuzzer, symbolizer)
    clang libclang-rt-dev llvm
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=sudo
else
    sudo_cmd=
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo_cmd apt-get update -q
$sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
