#!/usr/bin/env bash
# check-package.sh [BUILD]: builds the Debian package from a configured and built BUILD folder
# (default: build), then checks it as a machine without the sources would see it: the files
# in it, its dependencies (found by dpkg-shlibdeps), the desktop entry, the AppStream metadata
# and the manual pages, and the packaged program starting headless on the simulated modem.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
fail() { echo "check-package: FAIL: $*" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --build "$build" --target tessadorn tessadornctl tessadorn-sim tessadorn_manpages \
  tessadorn_changelog >/dev/null
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >"$tmp/cpack.log" 2>&1) ||
  { cat "$tmp/cpack.log" >&2; fail "cpack"; }
version=$(sed -n 's/^project(tessadorn VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$build/package/tessadorn_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no package $deb"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$tmp/files"
for f in /usr/bin/tessadorn /usr/bin/tessadornctl /usr/bin/tessadorn-sim \
  /usr/share/man/man1/tessadornctl.1.gz /usr/share/bash-completion/completions/tessadornctl \
  /usr/share/applications/org.tessadorn.Tessadorn.desktop \
  /usr/share/icons/hicolor/scalable/apps/org.tessadorn.Tessadorn.svg \
  /usr/share/metainfo/org.tessadorn.Tessadorn.metainfo.xml \
  /usr/share/man/man1/tessadorn.1.gz /usr/share/man/man1/tessadorn-sim.1.gz \
  /usr/share/tessadorn/demo-sourcetable.txt /usr/lib/systemd/system/tessadorn-watch@.service \
  /usr/share/tessadorn/apply-profile-fleet.sh /usr/share/tessadorn/prometheus/tessadorn-alerts.yml \
  /usr/share/doc/tessadorn/copyright /usr/share/doc/tessadorn/changelog.gz; do
  grep -qx "$f" "$tmp/files" || fail "$f is not in the package"
done

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6; do
  [[ $depends == *"$lib "* || $depends == *"$lib," || $depends == *"$lib" ]] ||
    fail "Depends lacks $lib: $depends"
done

# apt can install it from the archive's packages alone (a dry run: nothing is changed).
apt-get install --simulate -q --no-install-recommends "$deb" >"$tmp/apt.log" 2>&1 &&
  grep -q "^Inst tessadorn " "$tmp/apt.log" || { cat "$tmp/apt.log" >&2; fail "apt install"; }

root=$tmp/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.tessadorn.Tessadorn.desktop" ||
  fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.tessadorn.Tessadorn.metainfo.xml" \
  >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log" >&2; fail "AppStream metadata"; }
for page in tessadorn tessadornctl tessadorn-sim; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done

# The files beside the programs: the fleet script runnable, the changelog Debian's and of this
# version, the copyright machine-readable, the alert rules as Prometheus reads them.
[ -x "$root/usr/share/tessadorn/apply-profile-fleet.sh" ] || fail "the fleet script is not executable"
sh -n "$root/usr/share/tessadorn/apply-profile-fleet.sh" || fail "the fleet script does not parse"
zcat "$root/usr/share/doc/tessadorn/changelog.gz" >"$tmp/changelog"
[ "$(dpkg-parsechangelog -l "$tmp/changelog" -S Version)" = "$version" ] ||
  fail "the changelog's newest entry is not version $version"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$root/usr/share/doc/tessadorn/copyright" || fail "copyright is not in Debian's format"
if command -v promtool >/dev/null; then
  promtool check rules "$root/usr/share/tessadorn/prometheus/tessadorn-alerts.yml" >/dev/null ||
    fail "the alert rules"
fi

# The packaged program on its own: its version, then headless on the simulated modem.
[ "$("$root/usr/bin/tessadorn" --version)" = "tessadorn $version" ] || fail "tessadorn --version"
HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/tessadorn" --simulate --silent 1 --screenshot "$tmp/shot.png" --screenshot-wait 2 \
  2>"$tmp/stderr" || { cat "$tmp/stderr" >&2; fail "the packaged program failed"; }
[ -s "$tmp/shot.png" ] && [ -f "$tmp/config/tessadorn/ntripcfg.txt" ] ||
  fail "the packaged program wrote no picture or no caster list"
echo "check-package: $deb ok"
echo "  Depends: $depends"
