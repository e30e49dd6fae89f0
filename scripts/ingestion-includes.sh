#!/usr/bin/env bash
# Lists the includes between the folders of src/ingestion ("FROM -> TO  COUNT") and checks that
# they run one way: a folder includes only itself and the folders before it in ingestion_folders
# (src/ingestion/CMakeLists.txt), then quick/. Also fails on an include of an ingestion header
# that does not name its folder. Usage: scripts/ingestion-includes.sh (exit 1 on a fault).
set -euo pipefail
cd "$(dirname "$0")/../src/ingestion"
order=$(sed -n 's/^set(ingestion_folders \(.*\))$/\1/p' CMakeLists.txt)
order="$order quick"
rank() {
  local i=0 f
  for f in $order; do
    [ "$f" = "$1" ] && { echo $i; return; }
    i=$((i + 1))
  done
  echo -1
}
status=0
declare -A edges=()
while IFS=: read -r file target; do
  from=${file%%/*}
  if [[ $target != */* ]]; then
    echo "bare include: $file includes \"$target\""
    status=1
    continue
  fi
  to=${target%%/*}
  [ -d "$to" ] || continue # a header of another area
  edges["$from -> $to"]=$((${edges["$from -> $to"]:-0} + 1))
  if [ "$(rank "$from")" -lt 0 ]; then
    echo "folder $from is not in ingestion_folders"
    status=1
  elif [ "$(rank "$to")" -gt "$(rank "$from")" ]; then
    echo "upward include: $file includes \"$target\""
    status=1
  fi
done < <(grep -rHoP '^\s*#\s*include\s*"\K[^"]+' --include='*.h' --include='*.cpp' -- */)
echo "order: $order"
for edge in "${!edges[@]}"; do
  printf '%s  %d\n' "$edge" "${edges[$edge]}"
done | sort
exit $status
