#!/usr/bin/env bash
# Starts a simulated instrument and the program, which finds it by itself.
#   demo.sh [BUILD [INSTRUMENT [SIMULATOR OPTIONS...]]]
# INSTRUMENT is a serial model of ondivar-sim (54622D by default, 54645A, 5150, GDS-2062...):
# the simulator runs on a pseudo-terminal and COM1 points at it. DS1000E, DS1000Z and
# SDS1000X-E are Rigol and Siglent instruments on the network: ondivar-sim-rigol listens on
# loopback TCP and the program finds it in its VISA resource list.
# The demo keeps its own settings file, so the user's settings are left alone.
# `make demo SIM_OPTIONS="..."` adds options to the simulator, e.g. the bench of the
# multimeter and Bode demos: SIM_OPTIONS="--filtre 1000 --balayage 100:10000:60:log:20 --autoset".
# GEN=D (scpi, rigol, siglent, keysight, feeltech; `make demo GEN=scpi`) adds a programmable
# generator of that dialect to the simulated bench, with the 1 kHz filter unless SIM_OPTIONS
# gives one: it is COM2 to the program and the "Balayage" dialog proposes it.
set -euo pipefail
build=${1:-build}
instrument=${2:-54622D}
# Further words go to the serial simulator (bench: --filtre, --balayage, --autoset...).
optionsSim=("${@:3}")
generateur=${GEN:-}
if [ -n "$generateur" ]; then
  case "$generateur" in
    scpi|rigol|siglent|keysight|feeltech) ;;
    *) echo "Générateur inconnu : $generateur. Choisir GEN= parmi scpi, rigol, siglent, keysight, feeltech." >&2
       exit 2 ;;
  esac
  [[ " ${optionsSim[*]} " == *" --filtre "* ]] || optionsSim+=(--filtre 1000)
  optionsSim+=(--generateur "$generateur")
fi
sim=$build/sim/ondivar-sim
simReseau=$build/sim/rigol/ondivar-sim-rigol
if [ ! -x "$sim" ] || [ ! -x "$build/src/shell/ondivar" ]; then
  echo "Le simulateur et le programme ne sont pas construits dans $build (make build)." >&2
  exit 1
fi

modelesSerie=$("$sim" --help --lang fr | sed -n 's/.*instrument : \(.*\) (défaut.*/\1/p')
modelesReseau="DS1000E, DS1000Z, SDS1000X-E"
dansListe() { [[ ", $2, " == *", $1, "* ]]; }

pids=()
fin() { [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true; }
trap fin EXIT

if dansListe "$instrument" "$modelesReseau"; then
  [ -x "$simReseau" ] || { echo "ondivar-sim-rigol n'est pas construit dans $build." >&2; exit 1; }
  coproc SIM { exec "$simReseau" --model "$instrument" "${optionsSim[@]}"; }
else
  if ! dansListe "$instrument" "$modelesSerie"; then
    echo "Instrument inconnu : $instrument. Choisir SIM= parmi $modelesSerie (voie série)" \
         "ou $modelesReseau (réseau)." >&2
    exit 2
  fi
  coproc SIM { exec "$sim" --model "$instrument" --baud 19200 "${optionsSim[@]}"; }
fi
pids+=("$SIM_PID")

# The Korvalis stand-in, when built: pages sent with "Korvalis" land in $build/korvalis-demo/.
if [ -x "$build/sim/korvalis/korvalis-stub" ]; then
  mkdir -p "$build/korvalis-demo"
  "$build/sim/korvalis/korvalis-stub" --dossier "$build/korvalis-demo" >/dev/null &
  pids+=("$!")
  echo "korvalis-stub : les pages reçues sont enregistrées dans $build/korvalis-demo/" >&2
fi

read -r word where <&"${SIM[0]}" || true
genPort=""
if [ -n "$generateur" ]; then
  read -r motGen genPort <&"${SIM[0]}" || true
  [ "${motGen:-}" = GEN ] || { echo "Le générateur simulé n'a pas démarré." >&2; exit 1; }
fi
[ -z "${ONDIVAR_CONFIG:-}" ] || ONDIVAR_CONFIG_UTILISATEUR=1
demoIni=$build/demo.ini
[[ $build == /* ]] || demoIni=$PWD/$demoIni
export ONDIVAR_CONFIG="${ONDIVAR_CONFIG:-$demoIni}"
# The detection begins with the way of the last instrument found: the VISA search after a
# Rigol or Siglent on the network (7), the serial search otherwise (0), which would else stop
# on a silent serial port of the machine ("Oscillo non branché ou non reconnu"). Only the
# demo's own settings file is changed.
dernierConstructeur() {
  [ -z "${ONDIVAR_CONFIG_UTILISATEUR:-}" ] || return 0
  if [ -f "$ONDIVAR_CONFIG" ] && grep -q '^Constructeur=' "$ONDIVAR_CONFIG"; then
    sed -i "s/^Constructeur=.*/Constructeur=$1/" "$ONDIVAR_CONFIG"
  else
    printf '[COM]\nConstructeur=%s\n' "$1" >> "$ONDIVAR_CONFIG"
  fi
}
# The generator's settings of the demo's own settings file: COM2, found by its "*IDN?".
reglageGenerateur() {
  [ -n "$genPort" ] && [ -z "${ONDIVAR_CONFIG_UTILISATEUR:-}" ] || return 0
  touch "$ONDIVAR_CONFIG"
  local tmp="$ONDIVAR_CONFIG.tmp"
  awk 'BEGIN { dans = 0 }
       /^\[/ { dans = ($0 == "[Balayage]") }
       !(dans && /^(Generateur|Dialecte)=/) { print }' "$ONDIVAR_CONFIG" > "$tmp"
  if grep -q '^\[Balayage\]' "$tmp"; then
    sed -i '/^\[Balayage\]/a Generateur=COM2\nDialecte=auto' "$tmp"
  else
    printf '\n[Balayage]\nGenerateur=COM2\nDialecte=auto\n' >> "$tmp"
  fi
  mv "$tmp" "$ONDIVAR_CONFIG"
  echo "Générateur simulé ($generateur) sur $genPort, vu comme COM2 : bouton « Balayage » du mode Bode ou du multimètre"
}
reglageGenerateur
portsGen=${genPort:+;2=$genPort}
case "$word" in
  PTY)
    echo "Oscilloscope simulé ($instrument) sur $where, vu comme COM1"
    dernierConstructeur 0
    ONDIVAR_PORTS="1=$where$portsGen" "$build/src/shell/ondivar"
    ;;
  TCP)
    resource="TCPIP0::${where%:*}::${where##*:}::SOCKET"
    echo "Oscilloscope simulé ($instrument) sur le réseau : $resource"
    dernierConstructeur 7
    [ -z "$genPort" ] || export ONDIVAR_PORTS="2=$genPort"
    ONDIVAR_VISA="$resource${ONDIVAR_VISA:+,$ONDIVAR_VISA}" "$build/src/shell/ondivar"
    ;;
  *)
    echo "Le simulateur n'a pas démarré." >&2
    exit 1
    ;;
esac
