#!/bin/sh
# Builds the Debian packages from the finished build (into BUILD/paquet-essai, apart from
# `make package`'s output) and checks what they carry; lintian, when installed, must report
# no error. Usage: verifie-paquet.sh BUILD
set -u
build=$1
out=$build/paquet-essai
command -v dpkg-deb >/dev/null 2>&1 || { echo "dpkg-deb absent"; exit 77; }
rm -rf "$out" && mkdir -p "$out" || exit 1
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"; exit 1
fi
echec=0
paquet() { ls "$out"/"$1"_*.deb 2>/dev/null | head -n 1; }
contenu() { dpkg-deb --contents "$1" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort; }

verifie() { # package, files it must carry
  nom=$1; shift
  deb=$(paquet "$nom")
  [ -n "$deb" ] || { echo "paquet $nom absent :"; ls "$out"; echec=1; return; }
  contenu "$deb" > "$out/$nom.liste"
  for f in "$@"; do
    grep -q -x -F "$f" "$out/$nom.liste" || { echo "$nom : $f manque"; echec=1; }
  done
  dpkg-deb -f "$deb" Depends | grep -q libqt6core6 \
    || { echo "$nom : dépendances non calculées ($(dpkg-deb -f "$deb" Depends))"; echec=1; }
}

verifie ondivar /usr/bin/ondivar /usr/bin/ondivar-cli /usr/share/applications/ondivar.desktop \
  /usr/share/icons/hicolor/48x48/apps/ondivar.png /usr/share/icons/hicolor/256x256/apps/ondivar.png \
  /usr/share/icons/hicolor/scalable/apps/ondivar.svg /usr/lib/udev/rules.d/60-ondivar-usbtmc.rules \
  /usr/share/man/man1/ondivar.1.gz /usr/share/man/man1/ondivar-cli.1.gz \
  /usr/share/doc/ondivar/acces-aux-instruments.txt /usr/share/doc/ondivar/copyright
verifie ondivar-sim /usr/bin/ondivar-sim /usr/bin/ondivar-sim-rigol /usr/bin/korvalis-stub \
  /usr/share/man/man1/ondivar-sim.1.gz /usr/share/man/man1/ondivar-sim-rigol.1.gz \
  /usr/share/man/man1/korvalis-stub.1.gz /usr/share/doc/ondivar-sim/copyright

# Both packages install side by side: no file may belong to both.
if [ -f "$out/ondivar.liste" ] && [ -f "$out/ondivar-sim.liste" ]; then
  communs=$(comm -12 "$out/ondivar.liste" "$out/ondivar-sim.liste")
  [ -z "$communs" ] || { echo "fichiers dans les deux paquets : $communs"; echec=1; }
fi

if command -v lintian >/dev/null 2>&1; then
  for deb in "$out"/*.deb; do
    lintian --fail-on error --tag-display-limit 0 "$deb" || { echo "lintian : erreurs dans $(basename "$deb")"; echec=1; }
  done
else
  echo "lintian absent : vérification sautée"
fi
exit $echec
