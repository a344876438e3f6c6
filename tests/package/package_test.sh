#!/usr/bin/env bash
# The Debian packages as a user gets them: built by CPack from this build tree and unpacked with
# dpkg -x into a scratch root. Checks that
#  - each package depends on the package of every shared library its programs load directly,
#    and names only real packages;
#  - the installed order pad answers --version and fills a fresh data directory from its
#    installed files, found from its own folder (it runs from an unrelated current directory);
#  - the installed service, started with the command line of its systemd unit, serves the
#    installed site and keeps its database where the unit says.
#
#   package_test.sh BUILD_DIR VERSION
set -euo pipefail

build="$(cd "$1" && pwd)"
version="$2"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "package test: $*" >&2
  exit 1
}

# --- The packages -------------------------------------------------------------------------------
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
program_deb="$(ls "$work"/packages/velmora_*.deb 2>/dev/null || true)"
service_deb="$(ls "$work"/packages/velmora-service_*.deb 2>/dev/null || true)"
[ -f "$program_deb" ] || fail "no velmora package: $(ls "$work/packages")"
[ -f "$service_deb" ] || fail "no velmora-service package: $(ls "$work/packages")"

root="$work/root"
mkdir -p "$root"
for deb in "$program_deb" "$service_deb"; do
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$(basename "$deb") has version $(dpkg-deb -f "$deb" Version), not $version"
  dpkg -x "$deb" "$root"
done

# The package that owns a library file (by its path or the path it resolves to).
owner_of() {
  local path="$1" real
  real="$(readlink -f "$path")"
  for candidate in "$path" "$real" "${path#/usr}" "${real#/usr}" "/usr$path" "/usr$real"; do
    if owner="$(dpkg-query -S "$candidate" 2>/dev/null | awk 'NR == 1')" && [ -n "$owner" ]; then
      echo "${owner%%:*}"
      return 0
    fi
  done
  return 1
}

# Depends: only installed (so real) package names, and among them the owner of every library
# that a program of the package names as NEEDED.
check_depends() {
  local deb="$1" name depends
  name="$(dpkg-deb -f "$deb" Package)"
  depends="$(dpkg-deb -f "$deb" Depends)"
  [ -n "$depends" ] || fail "$name has no dependencies"
  local -a names=()
  mapfile -t names < <(tr ',|' '\n\n' <<<"$depends" | sed -e 's/(.*)//' -e 's/:any//' -e 's/[[:space:]]//g' | grep -v '^$')
  for dep in "${names[@]}"; do
    dpkg-query -W -f='${Status}' "$dep" 2>/dev/null | grep -q "install ok installed" ||
      fail "$name depends on $dep, which is no package installed on this machine"
  done
  local -a programs=()
  mapfile -t programs < <(dpkg-deb -c "$deb" | awk '$1 ~ /^-..x/ {print $NF}' | sed 's|^\./||')
  [ "${#programs[@]}" -gt 0 ] || fail "$name holds no program"
  for program in "${programs[@]}"; do
    local file="$root/$program"
    readelf -h "$file" >/dev/null 2>&1 || continue
    local loaded
    loaded="$(ldd "$file")"
    while read -r soname; do
      local lib
      lib="$(awk -v so="$soname" '$1 == so && $3 ~ /^\// && !found {print $3; found = 1}' <<<"$loaded")"
      [ -n "$lib" ] || fail "$program: $soname is not found"
      local pkg
      pkg="$(owner_of "$lib")" || fail "$program: no package owns $lib"
      printf '%s\n' "${names[@]}" | grep -qx "$pkg" ||
        fail "$name lacks the dependency $pkg, which has $soname for $program (Depends: $depends)"
    done < <(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  done
}
check_depends "$program_deb"
check_depends "$service_deb"

# Nothing below may find a file through the current directory.
elsewhere="$work/elsewhere"
mkdir -p "$elsewhere"
cd "$elsewhere"

# --- The order pad ------------------------------------------------------------------------------
export QT_QPA_PLATFORM=offscreen
program="$root/usr/bin/velmora"
[ -x "$program" ] || fail "the velmora package has no usr/bin/velmora"
shown="$("$program" --version)" || fail "velmora --version failed"
[ "$shown" = "velmora $version" ] || fail "velmora --version printed \"$shown\", not \"velmora $version\""

# A fresh data directory gets the installed help pages: the installed copy is marked here, and the
# page in the data directory must carry the mark.
installed_help="$root/usr/share/velmora/help/help1.htm"
[ -f "$installed_help" ] || fail "no installed help page help1.htm"
mark="<!-- installed copy $$ -->"
printf '%s\n' "$mark" >>"$installed_help"
data="$work/data"
setsid "$program" --data-dir "$data" --settings "$work/velmora.ini" >"$work/velmora.log" 2>&1 &
pids+=($!)
pad=$!
# The order counter is the last file of a fresh data directory.
for _ in $(seq 1200); do
  [ -f "$data/vlc.dat" ] && break
  kill -0 "$pad" 2>/dev/null || break
  sleep 0.05
done
kill -TERM -- "-$pad" 2>/dev/null || true
wait "$pad" 2>/dev/null || true
[ -f "$data/vlc.dat" ] || { cat "$work/velmora.log" >&2; fail "the installed velmora did not fill its data directory"; }
grep -qF "$mark" "$data/help1.htm" ||
  fail "the data directory's help1.htm is not the installed page (the program did not find its installed files)"

# --- The service, as its systemd unit starts it -------------------------------------------------
unit="$root/usr/lib/systemd/system/velmora-service.service"
[ -f "$unit" ] || fail "the velmora-service package has no systemd unit in usr/lib/systemd/system"
exec_start="$(sed -n 's/^ExecStart=//p' "$unit")"
grep -qx "StateDirectory=velmora-service" "$unit" || fail "the unit keeps no state directory velmora-service"
grep -qE "^(DynamicUser=yes|User=.+)$" "$unit" || fail "the unit runs the service as root"
# systemd reads every line of the unit (the program it starts taken from the scratch root).
if command -v systemd-analyze >/dev/null; then
  sed "s|=/usr/bin/velmora-service |=$root/usr/bin/velmora-service |" "$unit" >"$work/velmora-service.service"
  verified="$(systemd-analyze verify "$work/velmora-service.service" 2>&1)" && [ -z "$verified" ] ||
    fail "systemd finds fault with the unit: $verified"
fi
state="$work/state"
mkdir -p "$state"
# The unit's own defaults, with the listen address a test may use and the state directory here.
declare -A env=()
while IFS='=' read -r key value; do
  env["$key"]="$value"
done < <(sed -n 's/^Environment=//p' "$unit")
env[VELMORA_SERVICE_LISTEN]="127.0.0.1:0"
env[VELMORA_SERVICE_DB]="${env[VELMORA_SERVICE_DB]/#\/var\/lib\/velmora-service/$state}"
[ "${env[VELMORA_SERVICE_DB]}" != "${env[VELMORA_SERVICE_DB]#$state/}" ] ||
  fail "the unit's database is not in /var/lib/velmora-service: ${env[VELMORA_SERVICE_DB]}"
for key in "${!env[@]}"; do
  exec_start="${exec_start//\$\{$key\}/${env[$key]}}"
done
read -ra command <<<"$exec_start"
[ "${command[0]}" = "/usr/bin/velmora-service" ] || fail "the unit starts ${command[0]}, not /usr/bin/velmora-service"
# The installed files are in the scratch root.
for i in "${!command[@]}"; do
  [[ "${command[i]}" == /usr/* ]] && command[i]="$root${command[i]}"
done
setsid "${command[@]}" >"$work/service.out" 2>"$work/service.log" &
pids+=($!)
service=$!
address=""
for _ in $(seq 600); do
  line="$(head -n 1 "$work/service.out")"
  if [[ "$line" == "listening on "* ]]; then
    address="${line#listening on }"
    break
  fi
  kill -0 "$service" 2>/dev/null || break
  sleep 0.05
done
[ -n "$address" ] || { cat "$work/service.log" >&2; fail "the installed service did not start: ${command[*]}"; }

site="$root/usr/share/velmora-service/site"
code="$(awk -F'\t' '$1 ~ /^[0-9][0-9][0-9]$/ && $2 == "yes" {print $1; exit}' "$site/shops.tsv")"
[ -n "$code" ] || fail "the installed site serves no shop"
curl -sS --fail --max-time 20 -o "$work/template.htm" "http://$address/cgi-bin/sb$code.htm" ||
  fail "no template sb$code.htm from the installed service"
cmp -s "$work/template.htm" "$site/sb$code.htm" || fail "the template served is not the installed sb$code.htm"
number="$(curl -sS --fail --max-time 20 "http://$address/cgi-bin/scr${code}n.pl")" ||
  fail "no order number from the installed service"
tr -d '\r' <<<"$number" | grep -qxE ' ?[0-9]+' || fail "the order-number answer holds no number: $number"
[ -f "${env[VELMORA_SERVICE_DB]}" ] || fail "the service keeps no database at ${env[VELMORA_SERVICE_DB]}"

kill -TERM "$service"
status=0
wait "$service" || status=$?
[ "$status" -eq 0 ] || { cat "$work/service.log" >&2; fail "the installed service ended with status $status on SIGTERM"; }
echo "package test: $(basename "$program_deb") and $(basename "$service_deb") install and run"
