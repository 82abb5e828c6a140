#!/usr/bin/env bash
# What a hurried operator's finger does on a real X display (Xvfb), at a till's 800 x 600
# and at 1024 x 768: real pointer presses from xdotool on the station's interactive dialog.
#  - Each companion that closes under a tap (editor, search row, keypad, fiscal menu, message
#    box) is tapped twice, 40, 80 and 150 ms apart: the second tap must not reach the dialog
#    behind it, so the note holds only what was chosen.
#  - A bounced tap on a grid button counts once; two presses 500 ms apart count twice.
#
#   scripts/check-touch.sh [BUILD_DIR]      (default build; needs xvfb-run, xdotool, python3)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD

fail() { echo "check-touch: $*" >&2; exit 1; }

# --- on the Xvfb display (the script runs itself under xvfb-run) ----------------------------
if [[ "${1:-}" == --on-display ]]; then
  build=$2 work=$3 size=$4
  unset QT_QPA_PLATFORM  # the dialog shows on this display
  source "$source/scripts/xdo-helpers.sh"
  station=$build/bin/kzt-station
  order=(--host-exe "$work/store/pdv" --kind P --product 1001 --name X-BURGER)
  dialog_places "$station" "${order[@]}" >"$work/places"

  # The grid button that shows occurrence CODE.
  grid() { awk -v c="$1" '$4 == c { print $1; exit }' "$work/places"; }

  # The window that opened over the dialog ($window): the station's other visible one.
  companion() {
    local tries id
    for tries in $(seq 50); do
      for id in $(xdotool search --onlyvisible --class '^kzt-station$' 2>/dev/null); do
        [[ $id == "$window" ]] || { echo "$id"; return; }
      done
      sleep 0.1
    done
    echo "check-touch: no window showed over the dialog" >&2
    return 1
  }

  # tap WINDOW FORM CONTROL [GAP]: a tap on a companion's control, two taps GAP ms apart
  # when GAP is given. A message box grows with its text; its buttons keep their distance
  # from its foot.
  tap() {
    local window=$1 form=$2 control=$3 gap=${4:-} x y height HEIGHT=0
    eval "$(xdotool getwindowgeometry --shell "$window" | grep '^HEIGHT=')"
    height=$HEIGHT
    read -r x y < <(python3 - "$work/companion-places.json" "$form" "$control" "$height" <<'EOF'
import json, sys
places, form, control, height = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
window = json.load(open(places))[form]
c = window["controls"][control]
y = c["top"] + c["height"] // 2
if form == "frmMensagem":
    y += height - window["height"]
print(c["left"] + c["width"] // 2, y)
EOF
    )
    if [[ -n $gap ]]; then
      xdotool mousemove --window "$window" "$x" "$y" click --repeat 2 --delay "$gap" 1
    else
      xdotool mousemove --window "$window" "$x" "$y" click 1
    fi
    sleep 0.5
  }

  # scenario NAME EXPECTED STEP...: runs one order with the operator's STEPs, confirms it and
  # compares what the host received with EXPECTED, a JSON object: "chosen" (the chosen
  # occurrences' codes, in any order), "text" (the composed text), "messages" (how many
  # message boxes showed), "wait" (the waiting time).
  scenario() {
    local name=$1 expected=$2
    shift 2
    timeout 60 "$station" "${order[@]}" >"$work/out" 2>"$work/err" &
    local pid=$! window status=0
    window=$(wait_dialog) || fail "$size $name: no dialog appeared"
    sleep 0.5 # the dialog's activation runs before the first touch
    for step in "$@"; do
      eval "$step"
    done
    touch_control "$window" sptConfirmar
    local tries
    for tries in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid"
      wait "$pid" || true
      echo "check-touch: $size $name: FAILED  a window stayed over the dialog and kept it open"
      failures=$((failures + 1))
      return
    fi
    wait "$pid" || status=$?
    [[ $status == 0 ]] || { cat "$work/err" >&2; fail "$name: the station exited with $status"; }
    python3 - "$work/out" "$name" "$expected" "$size" <<'EOF' || failures=$((failures + 1))
import json, sys
out, name, expected, size = sys.argv[1], sys.argv[2], json.loads(sys.argv[3]), sys.argv[4]
reply = json.loads(open(out, encoding="utf-8").read().splitlines()[-1])
result = reply["result"]
rows = result[2]["rows"] if isinstance(result[2], dict) else []
got = {"chosen": sorted(r["CDOCORR"] for r in rows), "messages": len(reply["messages"]),
       "wait": result[1], "text": reply["returned"]}
same = lambda a, b: sorted(a) == sorted(b) if isinstance(b, list) else a == b
wrong = {k: got[k] for k, v in expected.items() if not same(got[k], v)}
verdict = "FAILED" if wrong else "ok"
print(f"check-touch: {size} {name}: {verdict}  text {json.dumps(reply['returned'], ensure_ascii=False)}"
      + (f"  expected {json.dumps(expected)}, got {json.dumps(got)}" if wrong else ""))
sys.exit(1 if wrong else 0)
EOF
  }

  failures=0
  marker=$(grid 18) # MOLHO À PARTE, touched after each companion closed
  for gap in 40 80 150; do
    scenario "editor Confirmar, taps $gap ms apart" '{"chosen": ["18"]}' \
      'touch_control "$window" sbtEditaDesc' \
      'tap "$(companion)" frmEditaTexto btnConfirmar '"$gap" \
      'touch_control "$window" "$marker"'
    # The fourth row lies over a grid button at both sizes.
    scenario "search row, taps $gap ms apart" '{"chosen": ["04", "18"]}' \
      'touch_control "$window" sbtPesquisa' \
      'tap "$(companion)" frmPesquisa grdPesquisa.row3 '"$gap" \
      'touch_control "$window" "$marker"'
    scenario "keypad Confirmar, taps $gap ms apart" '{"chosen": ["18"], "wait": "5"}' \
      'touch_control "$window" btnEsperaProd' \
      'tap "$(companion)" frmTecladoNumerico key_5' \
      'tap "$(companion)" frmTecladoNumerico btnConfirmar '"$gap" \
      'touch_control "$window" "$marker"'
    scenario "fiscal menu Sair, taps $gap ms apart" '{"chosen": ["18"]}' \
      'xdotool windowfocus --sync "$window" key F1; sleep 0.3' \
      'tap "$(companion)" frmRelFiscais btnSair '"$gap" \
      'touch_control "$window" "$marker"'
    scenario "message box OK, taps $gap ms apart" '{"chosen": ["11", "12", "18"], "messages": 1}' \
      'touch_control "$window" "$(grid 11)"' 'touch_control "$window" "$(grid 12)"' \
      'touch_control "$window" "$(grid 16)"' \
      'tap "$(companion)" frmMensagem btnOK '"$gap" \
      'touch_control "$window" "$marker"'
  done
  bounce=$(grid 03) # SEM ALFACE
  scenario "grid button bounced 40 ms" '{"text": " SEM ALFACE;"}' \
    'xdotool mousemove --window "$window" $(awk -v n="$bounce" "\$1 == n { print \$2, \$3 }" "$work/places") click --repeat 2 --delay 40 1; sleep 0.5'
  scenario "grid button pressed twice 500 ms apart" '{"text": " SEM ALFACE; SEM ALFACE;"}' \
    'xdotool mousemove --window "$window" $(awk -v n="$bounce" "\$1 == n { print \$2, \$3 }" "$work/places") click --repeat 2 --delay 500 1; sleep 0.5'
  [[ $failures == 0 ]] || fail "$size: $failures touch scenarios failed"
  exit 0
fi

# --- everything else ------------------------------------------------------------------------
build=$(cd "${1:-build}" && pwd)
for tool in xvfb-run xdotool python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/kzt-station" --init-sample "$work/store" 2>/dev/null
QT_QPA_PLATFORM=offscreen "$build/bin/kzt-station" --companion-shots "$work/shots" >/dev/null
cp "$work/shots/companion-places.json" "$work/companion-places.json"
status=0
for size in 800x600 1024x768; do
  xvfb-run -a -s "-screen 0 ${size}x24" "$0" --on-display "$build" "$work" "$size" || status=1
done
[[ $status == 0 ]] || fail "a second tap reached a window it was not meant for"
echo "check-touch: every tap did what the operator saw"
