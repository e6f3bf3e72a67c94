#!/usr/bin/env bash
# The layer check: lists every include that crosses a layer the wrong way and fails if there is one.
#   check_layers.sh ROOT [--known FOLDER:INCLUDED]...
# The program folders (platform/ app/ tests/ accel/ loader/) include only each other; the layers
# above the PC interface never include an engine behind it (machine/, qemu_pc/); the interface
# pc/ includes only the hardware vocabulary hw/, which includes nothing else of the tree.
# --known names an include still waiting to be removed: it is listed as known and does not fail
# the check.
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
above_the_pc="display display_accel display_bus realmode desktop judge kestrel card_reading"
engines="machine qemu_pc agent_link agent_pc"

# The folders FOLDER may not include from, among the top-level folders of the tree.
forbidden() {
  local folder=$1 included=$2
  if [[ " $program_folders " == *" $folder "* ]]; then
    [[ " $program_folders " != *" $included "* ]]
    return
  fi
  [ "$folder" = hw ] && return 0
  [ "$folder" = pc ] && { [ "$included" != hw ]; return; }
  [[ " $above_the_pc " == *" $folder "* && " $engines " == *" $included "* ]]
}

is_known() {
  local pair
  for pair in "${known[@]+"${known[@]}"}"; do
    [ "$pair" = "$1" ] && return 0
  done
  return 1
}

include_pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^/">]+)/'
failures=0
for folder in $program_folders $above_the_pc pc hw; do
  [ -d "$root/$folder" ] || continue
  # Every #include "x/..." or <x/...> naming another top-level folder of the tree.
  while IFS=: read -r file line text; do
    [[ $text =~ $include_pattern ]] || continue
    included=${BASH_REMATCH[1]}
    if [ "$included" = "$folder" ] || [ ! -d "$root/$included" ] || ! forbidden "$folder" "$included"; then
      continue
    fi
    where="${file#"$root"/}:$line: $folder/ includes $included/"
    if is_known "$folder:$included"; then
      echo "known: $where"
    else
      echo "$where"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE "$include_pattern" "$root/$folder" --include='*.h' --include='*.cpp' --include='*.c' | sort || true)
done

if [ $failures -gt 0 ]; then
  echo "$failures include(s) cross the layers"
  exit 1
fi
