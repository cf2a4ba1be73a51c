#!/usr/bin/env bash
# The pictures of the Bode window in docs/images: bode.png (about twenty points of a
# first-order filter, gain in dB and phase against a logarithmic frequency axis, the two
# sample blocks below) and voie-bode.png (the gain and phase dialog); then, through the
# program's own picture tour (ONDIVAR_CAPTURE), bode-balayage.png (the window after the
# automatic sweep of the same filter by the simulated generator, 100 Hz to 10 kHz, 10 points
# per decade) and balayage-dialogue.png (the sweep's dialog).
#   captures-bode.sh [BUILD [DOSSIER]]
set -euo pipefail
build=${1:-build}
dossier=${2:-$(dirname "$0")/../docs/images}
exe=$build/tests/bode/ondivar-captures-bode
sim=$build/sim/ondivar-sim
programme=$build/src/shell/ondivar
for f in "$exe" "$sim" "$programme"; do
  [ -x "$f" ] || { echo "$f n'est pas construit dans $build." >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run est nécessaire (paquet xvfb)." >&2; exit 1; }
mkdir -p "$dossier"
dossier=$(cd "$dossier" && pwd)
xvfb-run -a -s "-screen 0 1400x1000x24" "$exe" "$dossier"

# The sweep: a GDS-1102 behind the 1 kHz filter, its generator (generic SCPI) on a second
# pseudo-terminal, COM10 in the port map.
travail=$(mktemp -d)
simPid=
fin() { [ -z "$simPid" ] || kill "$simPid" 2>/dev/null || true; rm -rf "$travail"; }
trap fin EXIT
"$sim" --model GDS-1102 --baud 115200 --filtre 1000 --ch1 sine,1,100,0,0 --generateur scpi >"$travail/sim.out" &
simPid=$!
pty= gen=
for _ in $(seq 50); do
  pty=$(sed -n 's/^PTY //p' "$travail/sim.out")
  gen=$(sed -n 's/^GEN //p' "$travail/sim.out")
  [ -n "$pty" ] && [ -n "$gen" ] && break
  sleep 0.1
done
[ -n "$pty" ] && [ -n "$gen" ] || { echo "Le simulateur n'a pas démarré." >&2; exit 1; }
rm -f "$dossier/bode-balayage.png" "$dossier/balayage-dialogue.png"
ini=$travail/ondivar.ini
printf '[COM]\nConstructeur=4\nBaud=115200\n[Balayage]\nGenerateur=COM10\nDialecte=auto\nDebut=100\nFin=10000\nParDecade=10\nAttente=200\n' >"$ini"
# A gain range that holds the whole filter curve (0.01 to 10, -40 to +20 dB).
printf '[Bode]\r\nMiniGain=0.01\r\nMaxiGain=10\r\n' >"$travail/ondivar.INI"
env ONDIVAR_PORTS="1=$pty;10=$gen" ONDIVAR_CONFIG="$ini" ONDIVAR_CAPTURE="$dossier" \
    ONDIVAR_CAPTURE_FENETRES=bode-balayage,balayage-dialogue HOME="$travail" LANG=fr_FR.UTF-8 \
    xvfb-run -a -s "-screen 0 1400x1000x24 -dpi 96" "$programme" || echo "le programme a fini en erreur ($?)" >&2
for nom in bode-balayage balayage-dialogue; do
  [ -s "$dossier/$nom.png" ] || { echo "$dossier/$nom.png manque." >&2; exit 1; }
done
