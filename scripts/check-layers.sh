#!/usr/bin/env bash
# Checks the direction of includes between folders against scripts/layers.txt: every quoted
# include of a source under a listed folder must name its own folder or one its line allows,
# no include of its may name a library its line forbids (after "!"), and the table must have no
# cycle. Prints each back edge and each forbidden include with the file and line that makes it.
# Usage: scripts/check-layers.sh [TABLE]
set -euo pipefail
cd "$(dirname "$0")/.."
table="${1:-scripts/layers.txt}"

declare -A allowed=()
declare -A banned=()
edges=()
while IFS= read -r line; do
  line="${line%%#*}"
  [[ "$line" =~ ^[[:space:]]*$ ]] && continue
  folder="${line%%:*}"
  folder="${folder//[[:space:]]/}"
  uses="${line#*:}"
  banned[$folder]=""
  if [[ "$uses" == *"!"* ]]; then
    banned[$folder]="${uses#*!}"
    uses="${uses%%!*}"
  fi
  allowed[$folder]=" $uses "
  edges+=("$folder $folder")
  for to in $uses; do edges+=("$folder $to"); done
done <"$table"

# The include paths a library's name stands for, after "!" in the table.
library_paths() {
  case "$1" in
    asio) echo "boost/asio boost/beast" ;;
    nghttp2) echo "nghttp2/" ;;
    openssl) echo "openssl/" ;;
    *) echo "layers: $table names an unknown library '$1' after !" >&2; return 1 ;;
  esac
}

# tsort reports a loop on standard error, and the table is then wrong whatever the sources say.
if ! printf '%s\n' "${edges[@]}" | tsort >/dev/null 2>"${TMPDIR:-/tmp}/layers-tsort.$$"; then
  echo "layers: $table has a cycle:" >&2
  awk '/input contains a loop/ { n++ } n < 2' "${TMPDIR:-/tmp}/layers-tsort.$$" >&2
  rm -f "${TMPDIR:-/tmp}/layers-tsort.$$"
  exit 1
fi
rm -f "${TMPDIR:-/tmp}/layers-tsort.$$"

# The folder a path belongs to: host/ and the folder below it, else the top-level folder.
folder_of() {
  local path="$1" first rest
  first="${path%%/*}"
  if [ "$first" = host ]; then
    rest="${path#host/}"
    echo "host/${rest%%/*}"
  else
    echo "$first"
  fi
}

status=0
checked=0
while IFS= read -r file; do
  from="$(folder_of "$file")"
  case "$from" in tests | bench | fuzz | cmake | scripts | docs) continue ;; esac
  if [ -z "${allowed[$from]+set}" ]; then
    echo "layers: $file is in $from, which $table does not list" >&2
    status=1
    continue
  fi
  checked=$((checked + 1))
  while IFS=: read -r number include; do
    target="${include#*\"}"
    target="${target%%\"*}"
    [[ "$target" == */* ]] || continue
    to="$(folder_of "$target")"
    [ "$to" = "$from" ] && continue
    [ -n "${allowed[$to]+set}" ] || continue  # a folder outside the table: not one of ours
    if [[ "${allowed[$from]}" != *" $to "* ]]; then
      echo "layers: $file:$number includes \"$target\": $from may not include $to ($table)" >&2
      status=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
  for library in ${banned[$from]}; do
    for path in $(library_paths "$library"); do
      while IFS=: read -r number include; do
        include="${include#*include}"
        include="${include#"${include%%[![:space:]]*}"}"
        echo "layers: $file:$number includes $include: $from may not include $library ($table)" >&2
        status=1
      done < <(grep -n "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]$path" "$file" || true)
    done
  done
done < <(git ls-files '*.cpp' '*.hpp' '*.cpp.in' '*.h')

[ "$status" -eq 0 ] || exit 1
echo "layers: $checked sources include only what $table allows"
