# Sourced, not run: prepares a display and a Wine prefix for running the Windows programs, of
# either width.
#   TAMRICK_WINEPREFIX  the prefix to use (default: build/mingw-x86_64/wineprefix)
#   DISPLAY             an X display; without one a private Xvfb is started
#   TAMRICK_WINE_DPI    the DPI of a prefix made now (default: Windows' 96)
# Idempotent: a second source in the same shell, or a prefix made earlier, is reused.

_tamrick_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX="${TAMRICK_WINEPREFIX:-$_tamrick_root/build/mingw-x86_64/wineprefix}"
export WINEDEBUG=-all
# TAMRICK_WINEDLLOVERRIDES adds overrides of a test's own (e.g. "uxtheme=n,b").
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=${TAMRICK_WINEDLLOVERRIDES:+;$TAMRICK_WINEDLLOVERRIDES}"
# Wine's ANSI code page follows the locale: 936, as on the users' machines. The locale must be
# installed (scripts/deps.sh does) for Chinese file names; bash's warning where it is not is kept
# quiet.
{ export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; } 2>/dev/null

# Runs a command with nothing of ours open: the display, the wineserver and Wine's services
# live on, and would otherwise hold our lock and the pipes of whoever runs us (a test runner then
# waits for them for ever).
_tamrick_close_fds() {
    local fd
    for fd in /proc/$BASHPID/fd/*; do
        fd=${fd##*/}
        [ "$fd" -gt 2 ] && eval "exec $fd>&-" 2>/dev/null
    done
    return 0
}
_tamrick_detached() {
    (_tamrick_close_fds && exec "$@") >/dev/null 2>&1 </dev/null
}

# Xvfb picks the first free display itself (-displayfd): a display is its when it can bind the
# display's socket, which only one live server can hold, so two runs at once can't pick the same
# one, and the lock and socket files that a killed server leaves in /tmp don't hold it back.
_tamrick_start_xvfb() {
    local number_file
    number_file="$(mktemp)"
    (_tamrick_close_fds && exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file") \
        >/dev/null 2>&1 </dev/null &
    local pid=$! i number=
    for i in $(seq 1 100); do
        number="$(head -n 1 "$number_file")"
        [ -n "$number" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$number_file"
    if [ -z "$number" ]; then
        kill "$pid" 2>/dev/null || true
        echo "wine-env: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$number"
    export TAMRICK_XVFB_PID=$pid
}

# The display must be there before the prefix's first Wine process starts, and stay the same
# for the life of its wineserver: a display started here is remembered beside the prefix.
if [ -z "${DISPLAY:-}" ]; then
    if [ -f "$WINEPREFIX.display" ] && kill -0 "$(cut -d' ' -f2 "$WINEPREFIX.display")" 2>/dev/null; then
        DISPLAY="$(cut -d' ' -f1 "$WINEPREFIX.display")"
        export DISPLAY
    else
        mkdir -p "$(dirname "$WINEPREFIX")"
        _tamrick_start_xvfb || return 1
        echo "$DISPLAY $TAMRICK_XVFB_PID" >"$WINEPREFIX.display"
    fi
fi

# Ends what this shell started: the prefix's wineserver and the display started here. The
# display is waited for and forgotten, so that no server outlives the run that started it.
tamrick_wine_end() {
    "$WINESERVER" -k 2>/dev/null || true
    if [ -n "${TAMRICK_XVFB_PID:-}" ]; then
        kill "$TAMRICK_XVFB_PID" 2>/dev/null || true
        local i
        for i in $(seq 1 50); do
            kill -0 "$TAMRICK_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        rm -f "$WINEPREFIX.display"
        unset TAMRICK_XVFB_PID
    fi
}

_tamrick_prepare_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        # A prefix made before Wine's 32-bit half was installed can't run 32-bit programs.
        if [ -f "$WINEPREFIX/.tamrick-ready" ] &&
            { [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || [ ! -d /usr/lib/wine/i386-windows ]; }; then
            exit 0
        fi
        rm -rf "$WINEPREFIX"
        _tamrick_detached "$WINE" wineboot -i
        "$WINESERVER" -w
        # Without a window manager, Wine stalls whenever it hides a window unless it draws
        # its own frames.
        _tamrick_detached "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
        # Chinese text needs a CJK font linked behind the UI font.
        cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
        _tamrick_detached "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v 'Liberation Sans' /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f
        # Wine draws the title bars itself, and font linking does not reach them: their font is
        # the CJK one (a LOGFONTW: 12 px bold "WenQuanYi Micro Hei").
        _tamrick_detached "$WINE" reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v CaptionFont \
            /t REG_BINARY /d f4ffffff000000000000000000000000bc0200000000000000000000570065006e005100750061006e005900690020004d006900630072006f0020004800650069000000000000000000000000000000000000000000000000000000 /f
        if [ -n "${TAMRICK_WINE_DPI:-}" ]; then
            _tamrick_detached "$WINE" reg add \
                'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
                /v LogPixels /t REG_DWORD /d "$TAMRICK_WINE_DPI" /f
        fi
        "$WINESERVER" -w
        touch "$WINEPREFIX/.tamrick-ready"
    ) 9>"$WINEPREFIX.lock"
}
_tamrick_prepare_prefix || return 1
if [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
    echo "wine-env: this machine can't run 32-bit Windows programs: Wine's 32-bit half (wine32:i386) is missing" >&2
    return 1
fi

# A persistent wineserver, and Wine's services, which the first program of a session starts.
_tamrick_detached "$WINESERVER" -p || true
_tamrick_detached "$WINE" cmd /c exit || true
