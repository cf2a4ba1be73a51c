#!/usr/bin/env bash
# A mode window after the automatic sweep of the simulated 1 kHz first-order filter by the
# simulated generator (generic SCPI, on a second pseudo-terminal, COM10 in the port map),
# 100 Hz to 10 kHz, 10 points per decade, through the program's own picture tour
# (ONDIVAR_CAPTURE), under Xvfb.
#   capture-balayage.sh BUILD DOSSIER INSTRUMENT FENETRES
# FENETRES: the tour's pictures, separated by commas (bode-balayage, multimetre-balayage,
# balayage-dialogue).
set -euo pipefail
build=$1
dossier=$2
instrument=$3
fenetres=$4
sim=$build/sim/ondivar-sim
programme=$build/src/shell/ondivar
for f in "$sim" "$programme"; do
  [ -x "$f" ] || { echo "$f n'est pas construit dans $build." >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run est nécessaire (paquet xvfb)." >&2; exit 1; }
mkdir -p "$dossier"
dossier=$(cd "$dossier" && pwd)

travail=$(mktemp -d)
simPid=
fin() { [ -z "$simPid" ] || kill "$simPid" 2>/dev/null || true; rm -rf "$travail"; }
trap fin EXIT
"$sim" --model "$instrument" --baud 115200 --filtre 1000 --ch1 sine,1,100,0,0 --generateur scpi >"$travail/sim.out" &
simPid=$!
pty= gen=
for _ in $(seq 50); do
  pty=$(sed -n 's/^PTY //p' "$travail/sim.out")
  gen=$(sed -n 's/^GEN //p' "$travail/sim.out")
  [ -n "$pty" ] && [ -n "$gen" ] && break
  sleep 0.1
done
[ -n "$pty" ] && [ -n "$gen" ] || { echo "Le simulateur n'a pas démarré." >&2; exit 1; }
IFS=, read -r -a noms <<<"$fenetres"
for nom in "${noms[@]}"; do rm -f "$dossier/$nom.png"; done
ini=$travail/ondivar.ini
printf '[COM]\nConstructeur=0\nBaud=115200\n[Balayage]\nGenerateur=COM10\nDialecte=auto\nDebut=100\nFin=10000\nParDecade=10\nAttente=200\n' >"$ini"
# A gain range of the Bode window that holds the whole filter curve (0.01 to 10, -40 to +20 dB).
printf '[Bode]\r\nMiniGain=0.01\r\nMaxiGain=10\r\n' >"$travail/ondivar.INI"
env ONDIVAR_PORTS="1=$pty;10=$gen" ONDIVAR_CONFIG="$ini" ONDIVAR_CAPTURE="$dossier" \
    ONDIVAR_CAPTURE_FENETRES="$fenetres" HOME="$travail" LANG=fr_FR.UTF-8 \
    xvfb-run -a -s "-screen 0 1400x1000x24 -dpi 96" "$programme" || echo "le programme a fini en erreur ($?)" >&2
for nom in "${noms[@]}"; do
  [ -s "$dossier/$nom.png" ] || { echo "$dossier/$nom.png manque." >&2; exit 1; }
done
