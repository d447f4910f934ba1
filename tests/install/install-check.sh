#!/bin/sh
# The installed program: `cmake --install` into a temporary prefix, the
# layout checked, the installed program started offscreen from there and
# ended by SIGTERM through its normal shut-down, its settings found in the
# per-user data folder and nothing written beside it; the desktop entry and
# AppStream metadata validated when the validators are installed; with
# --deb, the Debian package built and its contents listed.
#
#   install-check.sh BUILD_DIR [--deb]
set -eu
build=$1
deb=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
id=org.example.korvenweb.ZugaretCHAT

fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || fail "cmake --install"
for f in bin/zugaret bin/zugaret-uci bin/zugaret-peer bin/zugaret-pgn \
         share/zugaret/sonidos/tarambo/mover.wav share/zugaret/sonidos/zelbo/mate.wav \
         share/zugaret/imagenes/setmorven40.png \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/48x48/apps/$id.png share/icons/hicolor/256x256/apps/$id.png \
         share/icons/hicolor/scalable/apps/$id.svg; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
echo "installed: $(find "$prefix" -type f | wc -l) files"

# The installed engine answers from its new place.
printf 'uci\nisready\nposition startpos moves e2e4\ngo depth 2\n' | "$prefix/bin/zugaret-uci" > "$work/uci.out"
grep -q '^uciok' "$work/uci.out" && grep -q '^bestmove ' "$work/uci.out" || fail "zugaret-uci"

# The program, started from the prefix with a user whose nick is known (no question asked).
data=$work/xdg-data
mkdir -p "$data/ZugaretCHAT" "$work/home"
printf '[User]\r\nNick=Instalado\r\n' > "$data/ZugaretCHAT/ZuzPlak.ini"
(cd "$work" && HOME=$work/home XDG_DATA_HOME=$data XDG_CONFIG_HOME=$work/home/.config \
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/zugaret" > "$work/run.log" 2>&1) &
pid=$!
sleep 3
kill -0 $pid 2>/dev/null || { cat "$work/run.log"; fail "the installed program did not keep running"; }
kill -TERM $pid
status=0
wait $pid || status=$?
[ "$status" = 0 ] || { cat "$work/run.log"; fail "exit status $status after SIGTERM"; }
grep -q '^\[Plak\]' "$data/ZugaretCHAT/ZuzPlak.ini" || fail "settings not saved in the per-user folder"
[ ! -e "$prefix/bin/ZuzPlak.ini" ] || fail "settings written beside the installed program"
echo "the installed program ran and kept its settings in $data/ZugaretCHAT"

if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
    echo "desktop-file-validate: ok"
fi
if command -v appstreamcli > /dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
fi

if [ "$deb" = --deb ]; then
    (cd "$build" && cpack -G DEB -B "$work/deb" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
    package=$(ls "$work"/deb/zugaret_*.deb)
    dpkg-deb --info "$package" | grep -E '^ (Package|Version|Architecture|Depends):'
    dpkg-deb --contents "$package" | awk '{print $6}' > "$work/contents"
    for f in ./usr/bin/zugaret ./usr/bin/zugaret-uci ./usr/share/zugaret/sonidos/tarambo/mover.wav \
             ./usr/share/applications/$id.desktop; do
        grep -qx "$f" "$work/contents" || fail "not in the package: $f"
    done
    echo "package $(basename "$package"): $(wc -l < "$work/contents") entries"
fi
echo "install check passed"
