#!/usr/bin/env bash
# The documentation's pictures of the multimeter window and its channel dialog, under Xvfb,
# then the window after the automatic sweep of the simulated filter (multimetre-balayage.png).
#   captures-multimetre.sh [BUILD [DOSSIER]]
set -euo pipefail
build=${1:-build}
dossier=${2:-docs/images}
exe=$build/tests/multimeter/capture_multimetre
[ -x "$exe" ] || { echo "$exe n'est pas construit (cmake --build $build --target capture_multimetre)." >&2; exit 1; }
QT_QPA_PLATFORM=xcb xvfb-run -a "$exe" "$dossier"
"$(dirname "$0")/capture-balayage.sh" "$build" "$dossier" 54622D multimetre-balayage
