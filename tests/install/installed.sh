#!/usr/bin/env bash
# installed.sh BUILD: installs the build into a temporary prefix and starts the installed
# program headless on the simulated modem, once with nothing beside it (its files go to the
# user's configuration folder) and once with a caster list beside it (portable use).
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }
mode() { stat -c %a "$1"; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/tessadorn bin/tessadornctl bin/tessadorn-sim \
  share/applications/org.tessadorn.Tessadorn.desktop share/man/man1/tessadornctl.1.gz \
  share/bash-completion/completions/tessadornctl \
  share/icons/hicolor/scalable/apps/org.tessadorn.Tessadorn.svg \
  share/metainfo/org.tessadorn.Tessadorn.metainfo.xml share/man/man1/tessadorn.1.gz \
  share/man/man1/tessadorn-sim.1.gz share/tessadorn/demo-sourcetable.txt \
  lib/systemd/system/tessadorn-watch@.service share/tessadorn/apply-profile-fleet.sh \
  share/tessadorn/prometheus/tessadorn-alerts.yml share/doc/tessadorn/copyright \
  share/doc/tessadorn/changelog.gz; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
version=$("$prefix/bin/tessadorn" --version)
[[ $version =~ ^tessadorn\ [0-9]+(\.[0-9]+)+$ ]] || fail "tessadorn --version: $version"
[ "$("$prefix/bin/tessadorn-sim" --version)" = "tessadorn-sim ${version#tessadorn }" ] ||
  fail "the simulator's version differs from the program's"
[ "$("$prefix/bin/tessadornctl" --version)" = "tessadornctl ${version#tessadorn }" ] ||
  fail "the command line's version differs from the program's"

# Run: HOME and the XDG folders in the temporary folder; a silent modem, two seconds.
run() {
  HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state \
    "$prefix/bin/tessadorn" --simulate --silent 1 --screenshot "$tmp/shot.png" \
    --screenshot-wait 2 2>"$tmp/stderr" || { cat "$tmp/stderr" >&2; fail "exit status $?"; }
  [ -s "$tmp/shot.png" ] || fail "no screenshot"
}
log=$tmp/state/tessadorn/tessadorn.log

run
config=$tmp/config/tessadorn
[ -f "$config/ntripcfg.txt" ] || fail "no caster list in $config"
[ "$(mode "$config")" = 700 ] || fail "$config has mode $(mode "$config")"
[ "$(mode "$config/ntripcfg.txt")" = 600 ] || fail "the caster list has mode $(mode "$config/ntripcfg.txt")"
[ "$(mode "$log")" = 600 ] || fail "the log has mode $(mode "$log")"
grep -q "Files in $config (the user's configuration folder)" "$log" || fail "the log does not name $config"
grep -q "OK CMD: " "$log" || fail "no commands in the log"
if grep -q "OK CMD: " "$tmp/stderr"; then fail "the debug output went to stderr without --debug"; fi
ls "$prefix/bin" | grep -qv '^tessadorn\(-sim\|ctl\)\?$' && fail "files written beside the installed program"

# Portable: a caster list beside the executable is kept there.
rm -rf "$config"
printf '<config>\r\n</config>\r\n' >"$prefix/bin/ntripcfg.txt"
run
grep -q "Files in $prefix/bin (beside the executable" "$log" || fail "the files beside the program were not used"
[ ! -e "$config" ] || fail "the configuration folder was made although the files are beside the program"
echo "installed program: ok"
