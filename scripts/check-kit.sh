#!/usr/bin/env bash
# The kit as a host's developer meets it. Installs build/ into a temporary prefix, builds
# the C example host against the installed files alone (through the CMake package and
# through pkg-config) and the README's host snippets the same way, runs the README's
# "Seeing it work" commands, makes the Debian package (lintian without errors, binaries
# stripped, a -dbgsym package beside) and runs its station from the unpacked files; with the
# live server up, a libpq URI reaches a sample store on it and the session carries its
# application_name; one dialog call runs on Wayland, under weston's headless backend. Then
# the C and Python example hosts, neither with any Qt of its own, compose an observation on
# the sample store: the operator's touches are real clicks on an Xvfb display (xdotool), at
# the places the station's control dump reports. A call with no display and a call from a
# second thread must be refused with a message while the host goes on.
#
#   scripts/check-kit.sh [BUILD_DIR]   (default build; needs what scripts/install-deps.sh installs)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD

fail() { echo "check-kit: $*" >&2; exit 1; }

# --- on the Xvfb display (the script runs itself under xvfb-run) ----------------------------
if [[ "${1:-}" == --on-display ]]; then
  prefix=$2 store=$3 work=$4
  unset QT_QPA_PLATFORM  # the hosts show their dialog on this display
  station=$prefix/bin/kzt-station
  order=(--host-exe "$store/pdv" --kind P --product 1001 --name X-BURGER)

  source "$source/scripts/xdo-helpers.sh"
  dialog_places "$station" "${order[@]}" >"$work/places"

  # The operator: waits for the dialog, touches SEM CEBOLA and MOLHO À PARTE, confirms.
  operate() {
    local window
    window=$(wait_dialog) || fail "no dialog appeared"
    sleep 0.5  # the dialog's activation runs before the first touch
    touch_control "$window" sbt01
    touch_control "$window" sbt18
    touch_control "$window" sptConfirmar
  }

  # run_host NAME COMMAND...: the host prints the C interface's reply as its last line; the
  # README's C++ snippet (NAME readme-host-cpp) prints the text and the chosen occurrences'
  # packet instead.
  run_host() {
    local name=$1
    shift
    timeout 120 "$@" >"$work/$name.out" 2>"$work/$name.err" &
    local pid=$!
    operate
    local status=0
    wait "$pid" || status=$?
    [[ $status == 0 ]] || { cat "$work/$name.err" >&2; fail "$name exited with status $status"; }
    python3 - "$work/$name.out" "$name" <<'EOF'
import json, sys
out, name = open(sys.argv[1], encoding="utf-8").read(), sys.argv[2]
composed = " SEM CEBOLA; MOLHO À PARTE;"
if name == "readme-host-cpp":
    text, packet = out.split("\n", 1)
    assert text == composed and 'CDOCORR="18"' in packet and 'CDOCORR="01"' in packet, out
else:
    reply = json.loads(out.splitlines()[-1])
    assert reply["returned"] == composed, (name, reply)
    result = reply["result"]
    assert result[0] == "01" and result[1] == "" and result[3] == "", (name, result)
    assert [r["CDOCORR"] for r in result[2]["rows"]] == ["18", "01"], (name, result[2])
print("check-kit:", name, "composed", json.dumps(composed, ensure_ascii=False))
EOF
  }

  export KZT00318_LIBRARY=$prefix/lib/libkzt00318.so
  run_host c-host-cmake "$work/c-cmake/kzt-c-host" "$store"
  run_host c-host-pkgconfig "$work/c-host-pc" "$store"
  run_host python-host python3 "$source/examples/python-host/host.py" --station "$store"
  for snippet in "$work"/readme/host-c "$work"/readme/host-cpp; do
    run_host "readme-$(basename "$snippet")" "$snippet"
  done
  run_host readme-host-python python3 "$work/readme/host.py"

  # A second thread's call is refused while the first thread's application lives; the
  # host goes on, and its own thread still calls in.
  timeout 120 python3 - "$KZT00318_LIBRARY" "$store" >"$work/thread.out" 2>&1 <<'EOF' &
import sys, threading
sys.path.insert(0, "examples/python-host")
from host import Module, ModuleRefused
lib_path, store = sys.argv[1], sys.argv[2]
module = Module(lib_path)
module.configure(hostExe=store + "/pdv")
module.observacao(["N", "P", "1001", "X-BURGER", "", True])
refusals = []
def other_thread():
    try:
        module.observacao(["N", "P", "1001"])
    except ModuleRefused as refusal:
        refusals.append(str(refusal))
worker = threading.Thread(target=other_thread)
worker.start()
worker.join()
assert refusals and "another thread" in refusals[0], refusals
assert module.call("getQtMaxObserv", "1001")["result"] == 2
print("refused from the second thread:", refusals[0])
EOF
  pid=$!
  operate
  wait "$pid" || { cat "$work/thread.out" >&2; fail "the second-thread check failed"; }
  cat "$work/thread.out"
  exit 0
fi

# --- everything else ------------------------------------------------------------------------
build=$(cd "${1:-build}" && pwd)
for tool in xvfb-run xdotool python3 pkg-config cc c++ cpack dpkg-deb lintian file help2man; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

# The C example through the CMake package: nothing of the source tree on its include path.
cmake -S examples/c-host -B "$work/c-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS=-Werror -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/c-cmake" >/dev/null
if grep -h "_INCLUDES" "$work"/c-cmake/CMakeFiles/kzt-c-host.dir/flags.make | grep -qF "$source"; then
  fail "the C example's include path reaches into the source tree"
fi
# ... and through pkg-config.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Werror examples/c-host/main.c $(pkg-config --cflags --libs kzt00318) \
  -o "$work/c-host-pc"

# Every installed header builds on its own from the kit, included as hosts include it: what
# it includes was installed too.
while IFS= read -r header; do
  printf '#include <kzt00318/%s>\n' "$header" |
    c++ -std=c++20 -fsyntax-only -Werror -I"$prefix/include" -x c++ - ||
    fail "the installed $header does not build on its own"
done < <(cd "$prefix/include/kzt00318" && find . -name '*.h' | sed 's#^\./##')

# The programs' own help, and the man page made from the station's.
"$prefix/bin/kzt-station" --version | grep -qx "kzt-station [0-9.]*" || fail "kzt-station --version"
"$prefix/bin/kzt-station" --help | grep -q -- "--connection-212 STR" || fail "kzt-station --help"
"$work/c-host-pc" --help | grep -q "^Usage: kzt-c-host" || fail "kzt-c-host --help"
zcat "$prefix/share/man/man1/kzt-station.1.gz" | grep -qF 'connection\-212' ||
  fail "the man page lacks the station's options"

# The README's host snippets, as written there, with the kit and store it names put here.
mkdir -p "$work/readme"
python3 - README.md "$work/readme" "$prefix" "$work/store" <<'EOF'
import pathlib, re, sys
readme, out, prefix, store = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3], sys.argv[4]
section = open(readme, encoding="utf-8").read().split("## Use it from your host", 1)[1].split("\n## ", 1)[0]
names = {"c": "host.c", "cpp": "host.cpp", "cmake": "CMakeLists.txt", "python": "host.py"}
found = re.findall(r"```(c|cpp|cmake|python)\n(.*?)```", section, re.S)
assert sorted(lang for lang, _ in found) == ["c", "cmake", "cpp", "python"], found
for lang, code in found:
    (out / names[lang]).write_text(code.replace("/opt/kzt00318", prefix).replace("/opt/loja", store))
EOF
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Werror "$work/readme/host.c" $(pkg-config --cflags --libs kzt00318) \
  -o "$work/readme/host-c"
cmake -S "$work/readme" -B "$work/readme/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/readme/build" >/dev/null
cp "$work/readme/build/host" "$work/readme/host-cpp"

# The README's "Seeing it work" commands, as written there, in order: each must exit 0.
python3 - README.md "$build" >"$work/seeing.sh" <<'EOF'
import re, sys
section = open(sys.argv[1], encoding="utf-8").read().split("## Seeing it work", 1)[1]
block = re.search(r"```sh\n(.*?)```", section.split("\n## ", 1)[0], re.S).group(1)
print("set -euo pipefail")
print(re.sub(r"(?m)^build/", sys.argv[2] + "/", block))
EOF
bash "$work/seeing.sh" >"$work/seeing.out" 2>&1 ||
  { cat "$work/seeing.out" >&2; fail "a command of the README's \"Seeing it work\" failed"; }

# The Debian package, and its station run from the unpacked files.
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/kzt00318_*.deb)
ddeb=$(ls "$work"/deb/kzt00318-dbgsym_*.ddeb) || fail "no -dbgsym package beside $deb"
contents=$(dpkg-deb --contents "$deb")
for file in usr/lib/libkzt00318.so.1 usr/lib/libkztplatform.so.1 usr/lib/libkzthost.so.1 \
    usr/include/kzt00318/kzt00318.h usr/bin/kzt-station \
    usr/lib/cmake/kzt00318/kzt00318Config.cmake usr/lib/pkgconfig/kzt00318.pc \
    usr/share/kzt00318/sample/schema.sql usr/share/man/man1/kzt-station.1.gz \
    usr/share/doc/kzt00318/copyright usr/share/doc/kzt00318/changelog.gz; do
  grep -q "\./$file\$\|\./$file " <<<"$contents" || fail "the package lacks $file"
done
lint=$(lintian --fail-on error "$deb" "$ddeb" 2>/dev/null) ||
  { echo "$lint" >&2; fail "lintian finds errors in the packages"; }
echo "check-kit: lintian finds no error in $(basename "$deb") and $(basename "$ddeb")" \
  "($(grep -c '^W:' <<<"$lint") warnings)"
dpkg-deb -x "$deb" "$work/unpacked"
for binary in "$work"/unpacked/usr/bin/* "$work"/unpacked/usr/lib/*.so.*.*; do
  file "$binary" | grep -q ", stripped" || fail "$(basename "$binary") is not stripped"
done
echo "check-kit: $(basename "$deb") unpacks to $(du -sh "$work/unpacked" | cut -f1)"
"$work/unpacked/usr/bin/kzt-station" --init-sample "$work/deb-store" 2>/dev/null
"$work/unpacked/usr/bin/kzt-station" --host-exe "$work/deb-store/pdv" --call getQtMaxObserv 1001 |
  grep -q '"result": 2' || fail "the packaged station cannot read its sample store"
echo "check-kit: $(basename "$deb"): $(dpkg-deb --field "$deb" Depends)"

"$prefix/bin/kzt-station" --init-sample "$work/store" 2>/dev/null

# A store on the live server (scripts/live-servers.sh), named by a libpq URI as libpq's users
# type it: the installed station writes the sample into it and reads it back, and a host's
# open session shows a DBA which program it is in pg_stat_activity.
if [[ -n ${KZT_LIVE_POSTGRESQL:-} ]]; then
  pg_host=$(sed -n 's/.*host=\([^ ]*\).*/\1/p' <<<"$KZT_LIVE_POSTGRESQL")
  pg_port=$(sed -n 's/.*port=\([^ ]*\).*/\1/p' <<<"$KZT_LIVE_POSTGRESQL")
  psql -h "$pg_host" -p "$pg_port" -U postgres -qc "DROP DATABASE IF EXISTS kzt_kit" \
    -c "CREATE DATABASE kzt_kit" >/dev/null
  uri="postgresql://postgres@/kzt_kit?host=$pg_host&port=$pg_port"
  # A server store's answers are cached: here, never in the cache of the user running this.
  export KZT_CACHE_DIR=$work/cache
  "$prefix/bin/kzt-station" --connection "$uri" --init-sample "$work/pg-station" >/dev/null
  "$prefix/bin/kzt-station" --connection "$uri" --host-exe "$work/pg-station/pdv" \
    --call getQtMaxObserv 1001 | grep -q '"result": 2' ||
    fail "the libpq URI $uri did not reach the sample store"
  echo "check-kit: the libpq URI $uri reached the sample store"
  python3 - "$prefix/lib/libkzt00318.so" "$uri" "$work/pg-station/pdv" "$pg_host" "$pg_port" <<'EOF'
import ctypes, json, subprocess, sys
library, uri, host_exe, pg_host, pg_port = sys.argv[1:]
lib = ctypes.CDLL(library)
for function in (lib.kzt_configure,):
    function.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
lib.kzt_call.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
lib.kzt_free.argtypes = [ctypes.c_void_p]
reply = ctypes.c_void_p()
assert lib.kzt_configure(json.dumps({"hostExe": host_exe, "connection": uri}).encode(),
                         ctypes.byref(reply)) == 0
lib.kzt_free(reply)
assert lib.kzt_call(b"getQtMaxObserv", b'["1001"]', ctypes.byref(reply)) == 0
lib.kzt_free(reply)
# The module keeps its session open between calls: it is there to be seen.
names = subprocess.run(["psql", "-h", pg_host, "-p", pg_port, "-U", "postgres", "-d", "kzt_kit",
                        "-Atc", "SELECT application_name FROM pg_stat_activity"
                                " WHERE datname = 'kzt_kit' AND pid <> pg_backend_pid()"],
                       check=True, capture_output=True, text=True).stdout.split()
assert any(name.startswith("kzt00318") for name in names), names
print("check-kit: pg_stat_activity shows the host's session as", ", ".join(names))
EOF
  unset KZT_CACHE_DIR
elif [[ -n ${CI:-} ]]; then
  fail "no live server (scripts/live-servers.sh) for the libpq URI and application_name checks"
fi

# A host's own test with no display at all: KZT_SCRIPT plays the operator, stderr holds the
# host's own line alone (no Qt notice), and a missing store is reported in the reply.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR)
scripted() {  # STATION_DIR: runs the C host scripted, its reply into $work/scripted.out
  "${headless[@]}" KZT_SCRIPT=press:sbt01,press:sptConfirmar timeout 60 \
    "$work/c-host-pc" "$1" >"$work/scripted.out" 2>"$work/scripted.err" ||
    fail "the scripted C host failed: $(cat "$work/scripted.err")"
  [[ $(grep -cv '^kzt-c-host: observation module ' "$work/scripted.err") == 0 ]] ||
    fail "the scripted C host wrote to stderr: $(cat "$work/scripted.err")"
}
scripted "$work/store"
python3 - "$work/scripted.out" <<'EOF'
import json, sys
reply = json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[-1])
assert reply["returned"] == " SEM CEBOLA;" and "error" not in reply, reply
print("check-kit: with KZT_SCRIPT and no display the C host composed", json.dumps(reply["returned"]))
EOF
mkdir "$work/no-store"
scripted "$work/no-store"
python3 - "$work/scripted.out" "$work/no-store/store.db" <<'EOF'
import json, sys
reply = json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[-1])
missing = "Database file not found: " + sys.argv[2]
assert reply["messages"] == [{"text": missing, "type": 3}] and reply["error"] == missing, reply
print("check-kit: a missing store reached the host:", json.dumps(reply["messages"]))
EOF

# No display at all: refused with a message pointing at the test hook, and the host ends
# normally.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR -u KZT_SCRIPT)
for host in "$work/c-host-pc $work/store" \
    "python3 examples/python-host/host.py --library $prefix/lib/libkzt00318.so --station $work/store"; do
  status=0
  # shellcheck disable=SC2086
  out=$("${no_display[@]}" $host 2>&1) || status=$?
  [[ $status == 1 && $out == *"No display to show the observation dialog on"* &&
     $out == *KZT_SCRIPT* && $out != *offscreen* && $out == *"goes on"* ]] ||
    fail "with no display, '$host' gave status $status: $out"
done
echo "check-kit: with no display both hosts were refused and went on"

# One dialog call on Wayland: weston's headless backend, in a runtime folder of its own.
mkdir -m 700 "$work/wayland"
XDG_RUNTIME_DIR=$work/wayland weston --backend=headless-backend.so --socket=kzt-check \
  --idle-time=0 >"$work/weston.log" 2>&1 &
weston=$!
trap 'kill "$weston" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [[ -S $work/wayland/kzt-check ]] && break
  sleep 0.1
done
[[ -S $work/wayland/kzt-check ]] || { cat "$work/weston.log" >&2; fail "weston did not start"; }
out=$(env -u DISPLAY XDG_RUNTIME_DIR="$work/wayland" WAYLAND_DISPLAY=kzt-check \
  QT_QPA_PLATFORM=wayland timeout 60 "$prefix/bin/kzt-station" --host-exe "$work/store/pdv" \
  --kind P --product 1001 --name X-BURGER --do press:sbt01 --do press:sptConfirmar 2>&1) ||
  fail "the dialog call on Wayland failed: $out"
grep -q '"returned": " SEM CEBOLA;"' <<<"$out" || fail "the dialog call on Wayland gave: $out"
kill "$weston"
wait "$weston" 2>/dev/null || true
echo "check-kit: a dialog call composed \" SEM CEBOLA;\" on Wayland (weston, headless)"

xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$prefix" "$work/store" "$work"
echo "check-kit: the kit installs, builds and runs from C, C++ and Python"
