#!/usr/bin/env bash
# Checks the .deb packages in the dist folder: their file lists and fields, and that the
# programs run from a scratch root they are unpacked into (with the system's libraries only).
# Usage: check_debian_packages.sh <dist folder> <version> <source folder>
set -uo pipefail
dist="$1" version="$2" source="$3"
arch="$(dpkg --print-architecture)"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

scratch="$(mktemp -d)"
gateway_pid=""
cleanup() {
  [ -n "$gateway_pid" ] && kill "$gateway_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# package | files it must hold | packages its Depends must name
expected=(
  "camview|./usr/bin/camview ./usr/share/man/man1/camview.1.gz|libc6 libstdc++6 libpng16-16 libx11-6"
  "camview-recorder|./usr/bin/camview-recorder ./usr/share/man/man1/camview-recorder.1.gz|libc6 libstdc++6 libpng16-16"
  "camview-gateway|./usr/bin/camview-gateway ./usr/share/man/man1/camview-gateway.1.gz ./usr/share/camview-gateway/web/camview-viewer.js ./usr/share/camview-gateway/web/camview-web.js ./usr/share/camview-gateway/web/camview-web.wasm ./usr/share/camview-gateway/web/camview-wall.js ./usr/share/camview-gateway/web/camview-wall.css|libc6 libstdc++6"
)
if [ -f "$source/deploy/camview-gateway.service" ]; then
  expected[2]="${expected[2]/|libc6/ ./usr/lib/systemd/system/camview-gateway.service|libc6}"
fi

for entry in "${expected[@]}"; do
  IFS='|' read -r package files depends <<<"$entry"
  deb="$dist/${package}_${version}-1_${arch}.deb"
  if [ ! -f "$deb" ]; then
    fail "$deb is missing"
    continue
  fi
  listing="$(dpkg-deb -c "$deb")" || { fail "dpkg-deb -c $deb"; continue; }
  for file in $files; do
    grep -q " $file\$" <<<"$listing" || fail "$package does not hold $file"
  done
  # Installed files belong to root and nothing is writable by others.
  awk '$2 != "root/root" || substr($1, 9, 1) == "w"' <<<"$listing" | grep -q . &&
    fail "$package has files not owned by root or writable by all"
  [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$deb is not named $package inside"
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$package is not for $arch"
  package_depends="$(dpkg-deb -f "$deb" Depends)"
  depended="$(tr ',' '\n' <<<"$package_depends" | awk '{print $1}')"
  for library in $depends; do
    grep -qxF "$library" <<<"$depended" || fail "$package's Depends lacks $library: $package_depends"
  done
  dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg-deb -x $deb"
done

# The programs answer --help from the scratch root, and their manual pages render cleanly.
for program in camview camview-recorder camview-gateway; do
  binary="$scratch/root/usr/bin/$program"
  [ -x "$binary" ] || { fail "$program is not in the scratch root"; continue; }
  help="$(env -u LD_LIBRARY_PATH "$binary" --help 2>&1)" || fail "$program --help failed: $help"
  grep -qi "^usage: $program" <<<"$help" || fail "$program --help printed no usage line: $help"
  page="$scratch/root/usr/share/man/man1/$program.1.gz"
  if [ -f "$page" ]; then
    warnings="$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)"
    [ -z "$warnings" ] || fail "$program's manual page: $warnings"
    zcat "$page" | grep -q '^\.SH SYNOPSIS' || fail "$program's manual page has no synopsis"
  fi
done

# The packaged gateway serves the page's files from where its package puts them: by default
# /usr/share/camview-gateway/web (compiled in; without the files installed on this machine it
# answers 503), and the packaged files themselves when pointed at the scratch root's copy.
request() { # <port> <path>: the answer in $scratch/body, the HTTP status in $status
  status="$(curl -s -o "$scratch/body" -w '%{http_code}' --max-time 30 "http://127.0.0.1:$1$2")"
}
start_gateway() { # [arguments]: sets gateway_pid and gateway_port
  "$scratch/root/usr/bin/camview-gateway" --listen 127.0.0.1:0 --recorder test=127.0.0.1:9 --quiet "$@" \
    >"$scratch/gateway.out" 2>&1 &
  gateway_pid=$!
  gateway_port=""
  for _ in $(seq 300); do # up to 30 s for the "listening on" line
    gateway_port="$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$scratch/gateway.out")"
    [ -n "$gateway_port" ] && return 0
    kill -0 "$gateway_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "the packaged gateway did not start: $(cat "$scratch/gateway.out")"
  return 1
}
stop_gateway() {
  kill "$gateway_pid" 2>/dev/null
  wait "$gateway_pid" 2>/dev/null
  gateway_pid=""
}
web="$scratch/root/usr/share/camview-gateway/web"
if [ -x "$scratch/root/usr/bin/camview-gateway" ]; then
  if start_gateway; then
    request "$gateway_port" /camview-viewer.js
    body="$(cat "$scratch/body")"
    if [ -f /usr/share/camview-gateway/web/camview-viewer.js ]; then
      [ "$status" = 200 ] || fail "the gateway does not serve the installed page files ($status)"
    else
      # Its answers name no paths. The build tree's page files exist here (make test builds
      # them first), so a 503 also says it does not look there.
      [ "$status" = 503 ] ||
        fail "the packaged gateway does not look for its page in /usr/share/camview-gateway/web: $status $body"
    fi
    stop_gateway
  fi
  if start_gateway --web-root "$web"; then
    for file in camview-viewer.js camview-web.js camview-web.wasm camview-wall.js camview-wall.css; do
      request "$gateway_port" "/$file"
      [ "$status" = 200 ] && cmp -s "$scratch/body" "$web/$file" || fail "the gateway does not serve the packaged $file ($status)"
    done
    stop_gateway
  fi
fi

[ "$failures" -eq 0 ] && echo "the .deb packages hold and run what they must"
[ "$failures" -eq 0 ]
