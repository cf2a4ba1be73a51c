#!/bin/sh
# The manual pages are written by hand: every long option that a program's --help offers, and
# every simulated model, must appear in its page, and the pages render without a warning.
# Usage: verifie-pages.sh MAN_DIR ONDIVAR_CLI ONDIVAR_SIM ONDIVAR_SIM_RIGOL KORVALIS_STUB
set -u
dir=$1 cli=$2 sim=$3 simReseau=$4 stub=$5
echec=0

# Page text with the roff escapes of hyphens and fonts removed.
texte() { sed 's/\\-/-/g; s/\\f[BIRP]//g' "$dir/$1"; }

contient() { # page, what, list of words
  page=$1 quoi=$2; shift 2
  for mot in "$@"; do
    texte "$page" | grep -q -F -e "$mot" || { echo "$page : $quoi $mot absent de la page"; echec=1; }
  done
}

options() { grep -o -e '--[a-z][a-z0-9-]*' | sort -u; }

aide_cli=$( { "$cli" --help; "$cli" acquire --help; "$cli" send --help; "$cli" multimetre --help; "$cli" bode --help; "$cli" balayage --help; } 2>&1 )
contient ondivar-cli.1 option $(printf '%s\n' "$aide_cli" | options)
for commande in detect acquire send multimetre bode balayage; do contient ondivar-cli.1 commande "$commande"; done

aide_sim=$("$sim" --help --lang fr 2>&1)
contient ondivar-sim.1 option $(printf '%s\n' "$aide_sim" | options)
modeles=$(printf '%s\n' "$aide_sim" | sed -n 's/.*instrument : \(.*\) (défaut.*/\1/p' | tr -d ',')
[ -n "$modeles" ] || { echo "ondivar-sim --help ne donne plus la liste des modèles"; echec=1; }
contient ondivar-sim.1 modèle $modeles

contient ondivar-sim-rigol.1 option $("$simReseau" --help 2>&1 | options)
contient ondivar-sim-rigol.1 modèle DS1000E DS1000Z SDS1000X-E
contient korvalis-stub.1 option $("$stub" --help 2>&1 | options)

if command -v man >/dev/null 2>&1; then
  for p in "$dir"/*.1; do
    avis=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$p" 2>&1 >/dev/null)
    [ -z "$avis" ] || { echo "$(basename "$p") : $avis"; echec=1; }
  done
fi
exit $echec
