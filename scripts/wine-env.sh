# shellcheck shell=bash
# Sourced: Wine prefixes of the project's own, a display, and a warm wineserver.
#   qav_wine_env ARCH PREFIX_DIR DPI [own-display]
# ARCH is x86 or x64: each has its own prefixes and its own loader, which
# scripts/wine-exec picks. With "own-display", or when there is no DISPLAY,
# starts Xvfb and exports its DISPLAY. Afterwards "$QAV_WINE" runs a program of
# that architecture.

# shellcheck source=scripts/build-folders.env
. "$(dirname "${BASH_SOURCE[0]}")/build-folders.env"

# The build folder of an architecture (x86, x64) or of the native build.
qav_build_dir() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    case "$1" in
        x86) echo "$root/$QAV_BUILD_X86" ;;
        x64) echo "$root/$QAV_BUILD_X64" ;;
        native) echo "$root/$QAV_BUILD_NATIVE" ;;
        *) echo "unknown build $1" >&2; return 1 ;;
    esac
}

qav_start_xvfb() {
    # The server picks a free display itself and writes its number to fd 3.
    local numbers n
    numbers=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$numbers" >/dev/null 2>&1 &
    QAV_XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$numbers" ] && break
        sleep 0.1
    done
    n=$(head -n 1 "$numbers")
    rm -f "$numbers"
    if [ -z "$n" ]; then
        echo "could not start Xvfb" >&2
        return 1
    fi
    export DISPLAY=":$n"
}

qav_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${QAV_XVFB_PID:-}" ]; then
        kill "$QAV_XVFB_PID" 2>/dev/null || true
        QAV_XVFB_PID=
    fi
}

# Wine draws caption buttons with its own Marlett font and dialogs in its own
# Tahoma. Debian's fonts-wine puts them in /usr/share/wine/fonts, where Wine
# run through its loader directly does not look (the buttons then show as
# "0 1 r"): the prefix's Fonts folder gets links to them.
qav_link_wine_fonts() {
    local fonts=$1/drive_c/windows/Fonts font
    [ -d "$fonts" ] || return 0
    for font in /usr/share/wine/fonts/*.ttf; do
        [ -e "$font" ] || continue
        [ -e "$fonts/$(basename "$font")" ] || ln -s "$font" "$fonts/"
    done
}

qav_wine_env() {
    local arch=$1 prefix=$2 dpi=$3 display=${4:-}
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    case "$arch" in
        x86) export WINEARCH=win32 ;;
        x64) export WINEARCH=win64 ;;
        *) echo "unknown architecture $arch" >&2; return 1 ;;
    esac
    export QAV_WINE="$root/scripts/wine-exec $arch"
    export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
    if [ "$display" = own-display ] || [ -z "${DISPLAY:-}" ]; then
        qav_start_xvfb
    fi
    mkdir -p "$(dirname "$prefix")"
    # Made once; a lock keeps two runs from building the same prefix at once.
    (
        flock 9
        if [ ! -f "$prefix/.qav-ready" ]; then
            rm -rf "$prefix"
            $QAV_WINE wineboot -i >/dev/null 2>&1
            wineserver -w
            $QAV_WINE reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
            $QAV_WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
            $QAV_WINE reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
            wineserver -w
            touch "$prefix/.qav-ready"
        fi
        qav_link_wine_fonts "$prefix"
    ) 9>"$prefix.lock"
    # One persistent server, prewarmed, its output away from the caller's pipes.
    wineserver -p </dev/null >/dev/null 2>&1
    $QAV_WINE wineboot </dev/null >/dev/null 2>&1
}
