# shellcheck shell=bash
# Sourced by the scripts that touch the station's windows on an X display with xdotool,
# as an operator's finger would: real pointer presses at the places the station reports.
# Needs $work (a scratch folder) set by the caller.

# dialog_places STATION ARGS...: where each named control of the dialog the call would show
# lies, from the station's dump (offscreen, no window), as lines "NAME X Y CODE LEFT TOP
# WIDTH HEIGHT" (the control's centre inside the dialog; CODE is a grid button's occurrence,
# else "-"; then its bounds).
dialog_places() {
  QT_QPA_PLATFORM=offscreen "$@" --do dump 2>/dev/null | python3 -c '
import json, sys
controls = json.loads(sys.stdin.readline())["snapshots"][0]
for name, c in controls.items():
    print(name, c["left"] + c["width"] // 2, c["top"] + c["height"] // 2, c.get("code") or "-",
          c["left"], c["top"], c["width"], c["height"])
'
}

# touch_control WINDOW NAME [PLACES]: one press and release at the control's centre,
# counted in $touches.
touch_control() {
  local x y
  read -r x y < <(awk -v n="$2" '$1 == n { print $2, $3 }' "${3:-$work/places}")
  [[ -n $x ]] || { echo "no place known for $2" >&2; return 1; }
  xdotool mousemove --window "$1" "$x" "$y" click 1
  touches=$((${touches:-0} + 1))
  sleep 0.3
}

# wait_dialog: the dialog's window, once it shows.
wait_dialog() {
  timeout 60 xdotool search --sync --onlyvisible --name '^Observa'
}
