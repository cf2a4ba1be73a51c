#!/usr/bin/env bash
# The pictures of the Bode window in docs/images: bode.png (about twenty points of a
# first-order filter, gain in dB and phase against a logarithmic frequency axis, the two
# sample blocks below) and voie-bode.png (the gain and phase dialog).
#   captures-bode.sh [BUILD [DOSSIER]]
set -euo pipefail
build=${1:-build}
dossier=${2:-$(dirname "$0")/../docs/images}
exe=$build/tests/bode/ondivar-captures-bode
[ -x "$exe" ] || { echo "ondivar-captures-bode n'est pas construit dans $build." >&2; exit 1; }
xvfb-run -a -s "-screen 0 1400x1000x24" "$exe" "$dossier"
