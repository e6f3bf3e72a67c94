#!/usr/bin/env bash
# The layer check: lists every include that crosses a layer the wrong way and fails if there is one.
#   check_layers.sh ROOT [--known FOLDER:INCLUDED]...
# The program folders (platform/ app/ tests/ accel/ loader/) include only each other; display/
# never includes machine/. --known names an include still waiting to be removed: it is listed as
# known and does not fail the check.
set -euo pipefail

root=$1
shift
known=()
while [ $# -gt 0 ]; do
  case $1 in
    --known) known+=("$2"); shift 2 ;;
    *) echo "check_layers.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

program_folders="platform app tests accel loader"

# Whether FOLDER may include from INCLUDED, another top-level folder.
allowed() {
  local folder=$1 included=$2
  if [[ " $program_folders " == *" $folder "* ]]; then
    [[ " $program_folders " == *" $included "* ]]
    return
  fi
  if [ "$folder" = display ] && [ "$included" = machine ]; then
    return 1
  fi
  return 0
}

is_known() {
  local pair
  for pair in "${known[@]+"${known[@]}"}"; do
    [ "$pair" = "$1" ] && return 0
  done
  return 1
}

failures=0
for dir in "$root"/*/; do
  folder=$(basename "$dir")
  # Every #include "x/..." or <x/...> naming a top-level folder of the tree.
  while IFS=: read -r file line text; do
    included=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^/">]+)\/.*/\1/' <<<"$text")
    [ "$included" = "$folder" ] || [ ! -d "$root/$included" ] && continue
    allowed "$folder" "$included" && continue
    where="${file#"$root"/}:$line: $folder/ includes $included/"
    if is_known "$folder:$included"; then
      echo "known: $where"
    else
      echo "$where"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^/">]+/' "$dir" \
             --include='*.h' --include='*.cpp' --include='*.c' --include='*.inc' | sort || true)
done

if [ $failures -gt 0 ]; then
  echo "$failures include(s) cross the layers"
  exit 1
fi
