# Sourced: a Wine prefix of the project's own, a display, and a warm wineserver.
#   qav_wine_env PREFIX_DIR DPI [own-display]
# With "own-display", or when there is no DISPLAY, starts Xvfb and exports its DISPLAY.

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
    [ -n "${QAV_XVFB_PID:-}" ] && kill "$QAV_XVFB_PID" 2>/dev/null || true
}

qav_wine_env() {
    local prefix=$1 dpi=$2 display=${3:-}
    export WINEARCH=win32 WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
    if [ "$display" = own-display ] || [ -z "${DISPLAY:-}" ]; then
        qav_start_xvfb
    fi
    mkdir -p "$(dirname "$prefix")"
    # Made once; a lock keeps two runs from building the same prefix at once.
    (
        flock 9
        if [ ! -f "$prefix/.qav-ready" ]; then
            rm -rf "$prefix"
            wineboot -i >/dev/null 2>&1
            wineserver -w
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
            wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
            wineserver -w
            touch "$prefix/.qav-ready"
        fi
    ) 9>"$prefix.lock"
    # One persistent server, prewarmed, its output away from the caller's pipes.
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
}
