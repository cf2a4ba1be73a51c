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
for f in "$exe"; do
  [ -x "$f" ] || { echo "$f n'est pas construit dans $build." >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run est nécessaire (paquet xvfb)." >&2; exit 1; }
mkdir -p "$dossier"
dossier=$(cd "$dossier" && pwd)
xvfb-run -a -s "-screen 0 1400x1000x24" "$exe" "$dossier"

# The sweep: a GDS-1102 behind the 1 kHz filter and its generator.
"$(dirname "$0")/capture-balayage.sh" "$build" "$dossier" GDS-1102 bode-balayage,balayage-dialogue
