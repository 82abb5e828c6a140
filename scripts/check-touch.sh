#!/usr/bin/env bash
# What a hurried operator's finger does on a real X display (Xvfb), at a till's 800 x 600
# and at 1024 x 768: real pointer presses from xdotool on the station's interactive dialog.
#  - Each companion that closes under a tap (editor, search row, keypad, fiscal menu, message
#    box) is tapped twice, 40, 80 and 150 ms apart: the second tap must not reach the dialog
#    behind it, so the note holds only what was chosen.
#  - A bounced tap on a grid button counts once; two presses 500 ms apart count twice.
#  - A note longer than its place shows its last piece: two notes that differ only in it
#    must differ on the screen where the note is shown.
#  - How many touches three common notes take, each within its most.
#
#   scripts/check-touch.sh [BUILD_DIR]      (default build; needs xvfb-run, xdotool, python3)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD

fail() { echo "check-touch: $*" >&2; exit 1; }

# --- on the Xvfb display (the script runs itself under xvfb-run) ----------------------------
if [[ "${1:-}" == --on-display ]]; then
  build=$2 work=$3 size=$4 shots=$5
  unset QT_QPA_PLATFORM  # the dialog shows on this display
  source "$source/scripts/xdo-helpers.sh"
  station=$build/bin/kzt-station
  order=(--host-exe "$work/store/pdv" --kind P --product 1001 --name X-BURGER)
  dialog_places "$station" "${order[@]}" >"$work/places"

  # The grid button that shows occurrence CODE.
  grid() { awk -v c="$1" '$4 == c { print $1; exit }' "$work/places"; }

  # The window that opened over the dialog ($window): the station's other visible one.
  companion() {
    local _ id
    for _ in $(seq 50); do
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
      touches=$((touches + 2))
    else
      xdotool mousemove --window "$window" "$x" "$y" click 1
      touches=$((touches + 1))
    fi
    sleep 0.5
  }

  # scenario NAME EXPECTED STEP...: runs one order with the operator's STEPs, confirms it and
  # compares what the host received with EXPECTED, a JSON object: "chosen" (the chosen
  # occurrences' codes, in any order), "count" (how many), "text" (the composed text),
  # "messages" (how many message boxes showed), "wait" (the waiting time). Counts the
  # touches in $touches, those before the confirm in $before_confirm.
  scenario() {
    local name=$1 expected=$2
    shift 2
    touches=0
    timeout 60 "$station" "${order[@]}" >"$work/out" 2>"$work/err" &
    local pid=$! window status=0
    window=$(wait_dialog) || fail "$size $name: no dialog appeared"
    sleep 0.5 # the dialog's activation runs before the first touch
    for step in "$@"; do
      eval "$step"
    done
    before_confirm=$touches
    touch_control "$window" sptConfirmar
    local _
    for _ in $(seq 50); do
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
       "wait": result[1], "text": reply["returned"], "count": len(rows)}
same = lambda a, b: sorted(a) == sorted(b) if isinstance(b, list) else a == b
wrong = {k: got[k] for k, v in expected.items() if not same(got[k], v)}
verdict = "FAILED" if wrong else "ok"
print(f"check-touch: {size} {name}: {verdict}  text {json.dumps(reply['returned'], ensure_ascii=False)}"
      + (f"  expected {json.dumps(expected)}, got {json.dumps(got)}" if wrong else ""))
sys.exit(1 if wrong else 0)
EOF
  }

  failures=0
  # shellcheck disable=SC2034 # the steps, run by eval, use it
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
  # shellcheck disable=SC2034 # the steps, run by eval, use it
  bounce=$(grid 03) # SEM ALFACE
  scenario "grid button bounced 40 ms" '{"text": " SEM ALFACE;"}' \
    'xdotool mousemove --window "$window" $(awk -v n="$bounce" "\$1 == n { print \$2, \$3 }" "$work/places") click --repeat 2 --delay 40 1; sleep 0.5'
  scenario "grid button pressed twice 500 ms apart" '{"text": " SEM ALFACE; SEM ALFACE;"}' \
    'xdotool mousemove --window "$window" $(awk -v n="$bounce" "\$1 == n { print \$2, \$3 }" "$work/places") click --repeat 2 --delay 500 1; sleep 0.5'

  # shoot NAME: the note's place on the screen as it is now, into $work/NAME.rgb, and the
  # whole dialog into $shots/NAME-$size.png to look at. The screen is Xvfb's frame buffer.
  shoot() {
    # shellcheck disable=SC2034 # all that --shell sets stays here
    local WINDOW X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # shellcheck disable=SC2046 # the note's bounds are four words
    python3 - "$work/fb/Xvfb_screen0" "$work/$1.rgb" "$shots/$1-$size.png" "$X" "$Y" \
      "$WIDTH" "$HEIGHT" $(awk '$1 == "lblDesc" { print $5, $6, $7, $8 }' "$work/places") <<'EOF'
import struct, sys, zlib
screen, rgb_out, png_out = sys.argv[1:4]
wx, wy, ww, wh, nx, ny, nw, nh = map(int, sys.argv[4:])
data = open(screen, "rb").read()
header = struct.unpack(">25I", data[:100])
size, bpp, line, colours = header[0], header[11], header[12], header[19]
assert bpp == 32, "a 24-bit screen keeps 32-bit pixels"
pixels = size + colours * 12
def crop(x, y, w, h):  # rows of RGB
    rows = []
    for r in range(h):
        start = pixels + (y + r) * line + x * 4
        rows.append(b"".join(data[start + c * 4:start + c * 4 + 3][::-1] for c in range(w)))
    return rows
open(rgb_out, "wb").write(b"".join(crop(wx + nx, wy + ny, nw, nh)))
raw = b"".join(b"\0" + row for row in crop(wx, wy, ww, wh))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
open(png_out, "wb").write(b"\x89PNG\r\n\x1a\n"
                          + chunk(b"IHDR", struct.pack(">IIBBBBB", ww, wh, 8, 2, 0, 0, 0))
                          + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
EOF
  }

  # A note longer than its place: twenty of the longest piece (the twelve longest pieces
  # of the grid fill four lines, which the place shows), then one of two different last
  # pieces. The dialog is the same at every screen size, so it is tried once.
  long_note=()
  for _ in $(seq 20); do
    long_note+=('touch_control "$window" "$(grid 27)"')
  done
  if [[ $size == 800x600 ]]; then
    scenario "long note ending SEM CEBOLA" '{"count": 2}' "${long_note[@]}" \
      'touch_control "$window" "$(grid 01)"; shoot note-ends-01'
    scenario "long note ending SEM PICLES" '{"count": 2}' "${long_note[@]}" \
      'touch_control "$window" "$(grid 04)"; shoot note-ends-04'
    # The note scrolls (its Sobe/Desce, sbtDescSobe, ...) with the other half of this work;
    # until that is in, this row is expected to fail and does not fail the run.
    # KZT_NOTE_SCROLLS=yes makes it count anyway.
    if cmp -s "$work/note-ends-01.rgb" "$work/note-ends-04.rgb"; then
      if grep -q '^sbtDescSobe ' "$work/places" || [[ ${KZT_NOTE_SCROLLS:-no} == yes ]]; then
        echo "check-touch: $size long note: FAILED  its last piece is not on the screen"
        failures=$((failures + 1))
      else
        echo "check-touch: $size long note: FAILED as expected: this dialog's note does not" \
          "scroll yet"
      fi
    else
      echo "check-touch: $size long note: ok  its last piece shows" \
        "($shots/note-ends-01-$size.png)"
    fi
  fi

  # counted NAME MOST TOUCHES: how many touches the operator needed, within MOST.
  counted() {
    echo "check-touch: $size touches for $1: $3 (at most $2)"
    (($3 <= $2)) || failures=$((failures + 1))
  }
  if [[ $size == 800x600 ]]; then
    scenario "note SEM CEBOLA; BEM PASSADO;" '{"text": " SEM CEBOLA; BEM PASSADO;"}' \
      'touch_control "$window" "$(grid 01)"' 'touch_control "$window" "$(grid 08)"'
    counted "SEM CEBOLA; BEM PASSADO; and confirm" 3 "$touches"
    # MOLHO BARBECUE has no button of its own: two letters narrow the list to it.
    scenario "an occurrence off the grid, through the search" '{"chosen": ["29"]}' \
      'touch_control "$window" sbtPesquisa' 'search=$(companion)' \
      'tap "$search" frmPesquisa key_r' 'tap "$search" frmPesquisa key_b' \
      'tap "$search" frmPesquisa grdPesquisa.row0'
    counted "an occurrence off the grid through the search, and confirm" 5 "$touches"
    # Taking one choice back comes with the other half of this work: the panel that
    # "Limpar Observações" opens lists the choices (sbtRetira1, ...).
    if grep -q '^sbtRetira1 ' "$work/places"; then
      scenario "one wrong choice of four taken back" '{"chosen": ["01", "03", "08"]}' \
        'touch_control "$window" "$(grid 01)"' 'touch_control "$window" "$(grid 02)"' \
        'touch_control "$window" "$(grid 03)"' 'touch_control "$window" "$(grid 08)"' \
        'touches=0; touch_control "$window" btnLimparObs; touch_control "$window" sbtRetira2'
      counted "one wrong choice of four taken back (confirm not counted)" 2 "$before_confirm"
    else
      echo "check-touch: $size touches for one wrong choice of four taken back: not counted," \
        "this dialog has no removal panel yet"
    fi
  fi
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
shots=$build/touch-shots
mkdir -p "$work/fb" "$shots"
for size in 800x600 1024x768; do
  xvfb-run -a -s "-screen 0 ${size}x24 -fbdir $work/fb" "$0" --on-display "$build" "$work" "$size" \
    "$shots" || status=1
done
[[ $status == 0 ]] || fail "a second tap reached a window it was not meant for"
echo "check-touch: every tap did what the operator saw"
