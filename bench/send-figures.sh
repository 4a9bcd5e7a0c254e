#!/bin/sh
# The send from F12 to text in Mousepad, median of 20 and more: on X11 (Xvfb and openbox) and
# on sway (Mousepad a native Wayland client, F12 bound in sway to "quillbay --send").
#   bench/send-figures.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build" --target bench_send_e2e bench_send_wayland >/dev/null
echo "X11:"
"$root/tests/support/with-x11.sh" "$build/bench/app/bench_send_e2e" "$build/bin/quillbay" "$root/data/targets.ini"
echo "Wayland:"
"$root/tests/support/with-wayland.sh" sway "$build/bench/app/bench_send_wayland" "$build/bin/quillbay" "$root/data/targets.ini"
