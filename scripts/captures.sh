#!/usr/bin/env bash
# Pictures of the windows for the README, taken under Xvfb on the simulators (run by hand,
# not by make test):
#   scripts/captures.sh [BUILD [FOLDER]]        (build, docs/images by default)
# One run of the program per instrument: each run opens the windows that instrument leads
# to, reads it where a window reads, and saves <FOLDER>/<name>.png. A window of another mode
# is added by registering its capture in src/shell/main.cpp (EnregistreCapture) and, when it
# needs its own instrument, by one line in the table below.
set -euo pipefail
build=${1:-build}
dossier=${2:-docs/images}
sim=$build/sim/ondivar-sim
simReseau=$build/sim/rigol/ondivar-sim-rigol
programme=$build/src/shell/ondivar
for f in "$sim" "$simReseau" "$programme"; do
  [ -x "$f" ] || { echo "$f n'est pas construit (make build)." >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run est nécessaire (paquet xvfb)." >&2; exit 1; }
mkdir -p "$dossier"
dossier=$(cd "$dossier" && pwd)
travail=$(mktemp -d)
pids=()
fin() { [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true; rm -rf "$travail"; }
trap fin EXIT

# Starts a simulator and reads its first line: "PTY <path>" or "TCP <host:port>".
demarre() {
  : >"$travail/sim.out"
  "$@" >"$travail/sim.out" &
  simPid=$!
  pids+=("$simPid")
  for _ in $(seq 50); do
    [ -s "$travail/sim.out" ] && break
    sleep 0.1
  done
  read -r mot ou <"$travail/sim.out" || { echo "Le simulateur n'a pas démarré : $*" >&2; exit 1; }
}

# instrument   simulator arguments                                  windows pictured
table=(
  "54622D|--ch1 sine,1.5,1000,0,0.25 --ch2 sine,0.8,1000,90,0|fenetre-principale,voie-serie,a-propos,oscilloscope,page"
  "DS1000Z||oscilloscope-rigol"
)

for ligne in "${table[@]}"; do
  IFS='|' read -r instrument arguments fenetres <<<"$ligne"
  ini=$travail/$instrument.ini
  case "$instrument" in
    DS1000E|DS1000Z|SDS1000X-E)
      demarre "$simReseau" --model "$instrument" $arguments
      environnement=(ONDIVAR_VISA="TCPIP0::${ou%:*}::${ou##*:}::SOCKET" ONDIVAR_PORTS="1=/dev/null-absent")
      printf '[COM]\nConstructeur=7\n' >"$ini"
      ;;
    *)
      demarre "$sim" --model "$instrument" --baud 115200 $arguments
      environnement=(ONDIVAR_PORTS="1=$ou")
      printf '[COM]\nConstructeur=0\nBaud=115200\n' >"$ini"
      ;;
  esac
  echo "$instrument ($mot $ou) : $fenetres" >&2
  env "${environnement[@]}" ONDIVAR_CONFIG="$ini" ONDIVAR_CAPTURE="$dossier" \
      ONDIVAR_CAPTURE_FENETRES="$fenetres" HOME="$travail" LANG=fr_FR.UTF-8 \
      xvfb-run -a -s "-screen 0 1366x768x24 -dpi 96" "$programme" || echo "le programme a fini en erreur ($?)" >&2
  kill "$simPid" 2>/dev/null || true
  wait "$simPid" 2>/dev/null || true
done
# The multimeter and Bode windows, each with its own recorded points.
"$(dirname "$0")/captures-multimetre.sh" "$build" "$dossier"
"$(dirname "$0")/captures-bode.sh" "$build" "$dossier"
ls -l "$dossier"/*.png >&2
