# Shared shell functions of the project's scripts. Source it; do not run it.
# shellcheck shell=bash

ORVEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
ORVEL_BUILD="${ORVEL_BUILD:-$ORVEL_ROOT/build}"
ORVEL_WINE64=/usr/lib/wine/wine64
ORVEL_WINESERVER=/usr/lib/wine/wineserver

ORVEL_PACKAGES=(cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                libz-mingw-w64-dev googletest wine64 xvfb x11-utils xdotool python3 binutils-mingw-w64-i686
                chromium openssl libnss3-tools nsis pulseaudio pulseaudio-utils)

orvel_log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }

# orvel_wait_for <seconds> <command...>: polls the command until it succeeds or the time is up.
orvel_wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.2
    done
}

# The publisher's port. Other checkouts' test runs listen there too, and anything else on the port
# would answer in our server's place: scripts that need it wait until it is free.
orvel_port_free() {
    python3 -c 'import socket; socket.socket().bind(("127.0.0.1", 18480))' 2>/dev/null
}
orvel_wait_port_free() {
    orvel_port_free && return 0
    orvel_log "127.0.0.1:18480 is in use; waiting up to 3 minutes for it"
    orvel_wait_for 180 orvel_port_free || { orvel_log "127.0.0.1:18480 stays in use; stop what listens there"; return 1; }
}

# Installs what is missing with apt-get; quiet when everything is there.
orvel_deps() {
    local missing=() pkg
    for pkg in "${ORVEL_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    orvel_log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The throwaway publisher key pair that this checkout's builds carry (the tests, the demonstration
# and the benchmarks sign their releases with it), made once. Never a key to ship a release with.
ORVEL_DEV_KEY_DIR="$ORVEL_BUILD/publisher-key"
orvel_dev_key() {
    [ -f "$ORVEL_DEV_KEY_DIR/publisher.key.pem" ] ||
        "$ORVEL_ROOT/scripts/publisher-sign" keygen "$ORVEL_DEV_KEY_DIR" >/dev/null
}

# orvel_configure <i686|x86_64> <build folder> [cmake args...]: configures the folder for the
# target, the first time from scratch, afterwards only with the arguments given.
orvel_configure() {
    local arch="$1" dir="$2"; shift 2
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ORVEL_ROOT" -B "$dir" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$ORVEL_ROOT/cmake/toolchain-$arch-w64-mingw32.cmake" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    else
        cmake "$dir" "$@" >/dev/null
    fi
}

# orvel_build <i686|x86_64> [extra cmake args...]: configures once, then builds; always with the
# throwaway key pair (its private half for the tests that sign releases).
orvel_build() {
    local arch="$1"; shift
    local dir="$ORVEL_BUILD/$arch"
    orvel_dev_key
    local key=("-DORVEL_UPDATE_PUBLIC_KEY=$("$ORVEL_ROOT/scripts/publisher-sign" public "$ORVEL_DEV_KEY_DIR/publisher.key.pem")"
               "-DORVEL_UPDATE_SIGNING_KEY=$ORVEL_DEV_KEY_DIR/publisher.key.pem")
    orvel_configure "$arch" "$dir" "${key[@]}" "$@"
    cmake --build "$dir"
}

# orvel_setup <i686|x86_64> <build folder> <setup.exe>: the installer (installer/OrvelClient.nsi)
# around the folder's launcher and engine, with the release version the folder was built with.
# Warnings stop it.
orvel_setup() {
    local arch="$1" dir="$2" out="$3" cache="$2/CMakeCache.txt"
    local version major minor
    mkdir -p "$(dirname "$out")"
    version=$(sed -n 's/^ORVEL_RELEASE_VERSION:STRING=//p' "$cache")
    # The program's own version, as in the launcher's version numbers.
    major=$(sed -n 's/^CMAKE_PROJECT_VERSION_MAJOR:STATIC=//p' "$cache")
    minor=$(sed -n 's/^CMAKE_PROJECT_VERSION_MINOR:STATIC=//p' "$cache")
    [ -n "$version" ] && [ -n "$major" ] && [ -n "$minor" ] || { orvel_log "$dir is not configured"; return 1; }
    makensis -V2 -WX "-DARCH=$arch" "-DVERSION=$version" "-DPROGRAM_VERSION=$major.$minor" \
        "-DPROGRAM=$dir/app/OrvelClient.exe" "-DENGINE=$dir/engine/node.dll" "-DOUTFILE=$out" \
        "$ORVEL_ROOT/installer/OrvelClient.nsi"
}

# Starts Xvfb on a free display unless one is already given; exports DISPLAY.
orvel_start_display() {
    if [ -n "${DISPLAY:-}" ] && [ -z "${ORVEL_FORCE_XVFB:-}" ]; then return 0; fi
    local fdfile; fdfile=$(mktemp)
    Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$fdfile" </dev/null >/dev/null 2>&1 &
    ORVEL_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    if [ ! -s "$fdfile" ]; then orvel_log "Xvfb did not start"; rm -f "$fdfile"; return 1; fi
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

orvel_stop_display() {
    [ -n "${ORVEL_XVFB_PID:-}" ] && kill "$ORVEL_XVFB_PID" 2>/dev/null || true
    ORVEL_XVFB_PID=""
}

# A private Wine prefix under the build folder with one persistent wineserver for the run.
# Gecko and Mono are switched off: nothing may ask to download them.
orvel_start_wine() {
    export WINEPREFIX="${WINEPREFIX:-$ORVEL_BUILD/wineprefix}"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    export WINESERVER="$ORVEL_WINESERVER"
    mkdir -p "$WINEPREFIX"
    "$ORVEL_WINESERVER" -p </dev/null >/dev/null 2>&1
    "$ORVEL_WINE64" wineboot -i </dev/null >/dev/null 2>&1
    # Our Xvfb has no window manager. Wine would leave placement to one (and take a maximised
    # window back to its normal size when none confirms the state), so it places windows itself.
    local managed=Y
    [ -n "${ORVEL_XVFB_PID:-}" ] && managed=N
    "$ORVEL_WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f </dev/null >/dev/null 2>&1
    # Wine's desktop process ends a few seconds after the last ordinary Wine process does, and
    # the next one would start it again as its own child (a test counting the processes it
    # starts would see it). An idle cmd.exe reading a pipe that never closes keeps it alive.
    local fifo="$WINEPREFIX/.keepalive"
    rm -f "$fifo" && mkfifo "$fifo"
    sleep infinity >"$fifo" &
    ORVEL_KEEPALIVE_FEEDER=$!
    "$ORVEL_WINE64" cmd.exe <"$fifo" >/dev/null 2>&1 &
}

# A sound server of the run's own, playing into a null sink whose monitor the tests record: what
# the launcher's browser plays (the browser inherits PULSE_SERVER through Wine). Exports
# PULSE_SERVER and ORVEL_SOUND_MONITOR.
orvel_start_sound() {
    local dir="$ORVEL_BUILD/sound"
    orvel_stop_sound
    mkdir -p "$dir/runtime" && chmod 700 "$dir/runtime"
    printf '%s\n' "load-module module-null-sink sink_name=orvel_sink" "set-default-sink orvel_sink" \
        "load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/runtime/native" >"$dir/default.pa"
    HOME="$dir" XDG_RUNTIME_DIR="$dir/runtime" pulseaudio -n -F "$dir/default.pa" --exit-idle-time=-1 \
        --daemonize=no --disallow-exit --log-target=file:"$dir/pulseaudio.log" </dev/null >/dev/null 2>&1 &
    ORVEL_SOUND_PID=$!
    export PULSE_SERVER="unix:$dir/runtime/native" ORVEL_SOUND_MONITOR=orvel_sink.monitor
    orvel_wait_for 10 pactl info >/dev/null 2>&1 || { orvel_log "the sound server did not start"; return 1; }
}

orvel_stop_sound() {
    [ -n "${ORVEL_SOUND_PID:-}" ] && kill "$ORVEL_SOUND_PID" 2>/dev/null || true
    ORVEL_SOUND_PID=""
}

orvel_stop_wine() {
    [ -n "${ORVEL_KEEPALIVE_FEEDER:-}" ] && kill "$ORVEL_KEEPALIVE_FEEDER" 2>/dev/null || true
    ORVEL_KEEPALIVE_FEEDER=""
    [ -n "${WINEPREFIX:-}" ] && "$ORVEL_WINESERVER" -k </dev/null >/dev/null 2>&1 || true
}
