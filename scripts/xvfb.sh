# Sourced by the scripts that need a screen of their own. start_xvfb FOLDER GEOMETRY starts Xvfb on
# a display number it picks itself (so two scripts at once never share one), and sets DISPLAY and
# xvfb_pid; its log is FOLDER/xvfb.log. Returns 1 when no server is ready within 10 s. Without
# -noreset the server resets when its last client leaves, and a program started then cannot connect.
start_xvfb() {
  local folder=$1 geometry=$2 number=""
  : >"$folder/display"
  Xvfb -displayfd 5 -screen 0 "$geometry" -nolisten tcp -noreset 5>"$folder/display" >"$folder/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    # The number is written with its newline once the server takes connections.
    [ "$(wc -l <"$folder/display")" -ge 1 ] && { number=$(head -1 "$folder/display"); break; }
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$number" ] || return 1
  export DISPLAY=":$number"
}
