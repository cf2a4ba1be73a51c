#!/usr/bin/env bash
# Starts the simulated instrument on a pseudo-terminal, points COM1 at it and starts the program.
# The demo keeps its own settings file, so the user's settings are left alone.
set -euo pipefail
build=${1:-build}
if [ ! -x "$build/sim/ondivar-sim" ] || [ ! -x "$build/src/shell/ondivar" ]; then
  echo "Le simulateur et le programme ne sont pas construits dans $build (make build)." >&2
  exit 1
fi
coproc SIM { exec "$build/sim/ondivar-sim" --model 54622D --baud 19200; }
trap 'kill $SIM_PID 2>/dev/null || true' EXIT
# The Korvalis stand-in, when built: pages sent with "Korvalis" land in $build/korvalis-demo/.
if [ -x "$build/sim/korvalis/korvalis-stub" ]; then
  mkdir -p "$build/korvalis-demo"
  "$build/sim/korvalis/korvalis-stub" --dossier "$build/korvalis-demo" >/dev/null &
  KORVALIS_PID=$!
  trap 'kill $SIM_PID $KORVALIS_PID 2>/dev/null || true' EXIT
  echo "korvalis-stub : les pages reçues sont enregistrées dans $build/korvalis-demo/" >&2
fi
read -r word path <&"${SIM[0]}"
[ "$word" = PTY ] || { echo "ondivar-sim n'a pas donné de terminal" >&2; exit 1; }
echo "Oscilloscope simulé (Agilent 54622D) sur $path, vu comme COM1"
export ONDIVAR_CONFIG="${ONDIVAR_CONFIG:-$PWD/$build/demo.ini}"
ONDIVAR_PORTS="1=$path" "$build/src/shell/ondivar"
