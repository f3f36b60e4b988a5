# Sourced by the tests that need real windows: start_virtual_display LOG
# starts Xvfb on a display number that the server picks itself among the free
# ones (a number picked by the test could be another run's, and that run's
# server could go away under this one), waits until the server takes
# connections, and exports DISPLAY. stop_virtual_display ends it.
#
# -noreset: by default the server resets whenever its last client leaves,
# and drops the connections that arrive meanwhile. A test that polls the
# display with short-lived clients (xdotool) would then, now and then, make
# Wine's first connection fail, and Wine would show no window at all; the
# reset takes longer, and so is hit more often, on a busy machine.
virtual_display_pid=

start_virtual_display() {
    local log=$1 number= fifo
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/sfx-display-XXXXXX")
    mkfifo "$fifo" || return 1
    # -displayfd: the server writes its number there once it takes connections.
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$log" 2>&1 &
    virtual_display_pid=$!
    read -r -t 120 number <"$fifo"
    rm -f "$fifo"
    if [ -z "$number" ]; then
        echo "Xvfb gave no display number: $(cat "$log")" >&2
        stop_virtual_display
        return 1
    fi
    export DISPLAY=:$number
}

stop_virtual_display() {
    if [ -n "$virtual_display_pid" ]; then
        kill "$virtual_display_pid" 2>/dev/null
        wait "$virtual_display_pid" 2>/dev/null
    fi
    virtual_display_pid=
}
