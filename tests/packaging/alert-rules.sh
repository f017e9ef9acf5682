#!/usr/bin/env bash
# alert-rules.sh RULES TESTS: the alert rules as Prometheus reads them (promtool check rules) and
# on made-up series (promtool test rules), the rules beside the tests as the tests name them.
set -euo pipefail
rules=$1 tests=$2
command -v promtool >/dev/null ||
  { echo "promtool is missing (Debian package prometheus): scripts/install-deps.sh installs it" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$rules" "$tmp/tessadorn-alerts.yml"
cp "$tests" "$tmp/tessadorn-alerts.test.yml"
cd "$tmp"
promtool check rules tessadorn-alerts.yml
promtool test rules tessadorn-alerts.test.yml
