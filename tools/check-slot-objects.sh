#!/usr/bin/env bash
# Checks what the compiler put into the primitives' per-slot objects, since flags alone do not
# settle it (GCC 12's vectorizer fuses plain code in spite of -ffp-contract=off: see
# cmake/SlotKernels.cmake):
#  - slots 0 to 4: no VEX or EVEX instruction (no v-prefixed mnemonic, no ymm, zmm or mask register);
#  - slot 5: no fused multiply-add;
#  - slot 6: fused multiply-adds only in objects whose sources ask for one (an FMA intrinsic or an
#    fma call, in the source or a project header it includes), and vfmaddsub/vfmsubadd only where
#    they call an fmaddsub/fmsubadd intrinsic.
# The sources of each object are the ones the compiler recorded as its dependencies.
# Usage: tools/check-slot-objects.sh [build-dir]...   (default: the source tree's build/)
set -euo pipefail

fusing_calls='_mm[0-9]*_(mask3?_|maskz_)?fn?m(add|sub)|__builtin_fma|[^A-Za-z0-9_]fmaf?[[:space:]]*\('
addsub_calls='_mm[0-9]*_(mask3?_|maskz_)?fm(addsub|subadd)'
vex_insn='(^|[[:space:]])v[a-z]|%[yz]mm[0-9]|%k[0-7]'
fma_insn='(^|[[:space:]])vfn?m(add|sub)'
addsub_insn='(^|[[:space:]])vfm(addsub|subadd)'

# The project files an object was compiled from, one per line.
object_sources() {
  local build=$1 obj=$2 src_dir=$3
  if [ -f "$build/$obj.d" ]; then
    sed -e 's/^[^:]*://' -e 's/\\$//' "$build/$obj.d" | tr -s ' \t' '\n\n'
  else
    ninja -C "$build" -t deps "$obj" | sed -n 's/^    //p'
  fi | while read -r f; do
    [ -n "$f" ] || continue
    case $f in /*) ;; *) f=$build/$f ;; esac
    case $f in "$src_dir"/*) printf '%s\n' "$f" ;; esac
  done
}

# Prints the object's instructions matching the pattern, each after its function's name.
instructions() {
  local listing
  listing=$(objdump -d -C -w --no-show-raw-insn "$1") || return 1
  awk -F'\t' -v re="$2" '
    /^[0-9a-f]+ <.*>:$/ { fn = substr($0, index($0, "<")); sub(/:$/, "", fn) }
    NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ {
      insn = $2; sub(/ *<.*/, "", insn); sub(/ *#.*/, "", insn)
      if (insn ~ re) print "      " fn " " insn
    }' <<<"$listing"
}

check_build() {
  local build=$1 src_dir failed=0 total=0 k obj allowed found pattern why
  local -a count=(0 0 0 0 0 0 0)
  src_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
  if [ -z "$src_dir" ]; then
    echo "check-slot-objects: $build is not a configured build tree" >&2
    return 1
  fi
  src_dir=$(cd "$src_dir" && pwd -P)
  while read -r obj; do
    [[ $obj =~ _s([0-6])\.dir/ ]] && k=${BASH_REMATCH[1]}
    count[k]=$((count[k] + 1)); total=$((total + 1))
    why=
    if [ "$k" -le 4 ]; then
      pattern=$vex_insn why="VEX/EVEX instructions in slot $k"
    elif [ "$k" -eq 5 ]; then
      pattern=$fma_insn why="fused multiply-adds in slot 5"
    else
      allowed=$(object_sources "$build" "$obj" "$src_dir")
      if [ -z "$allowed" ]; then
        echo "check-slot-objects: no recorded sources for $build/$obj" >&2
        failed=$((failed + 1)); continue
      fi
      if ! xargs -d '\n' grep -qE "$fusing_calls" <<<"$allowed"; then
        pattern=$fma_insn why="fused multiply-adds in slot 6, where no source asks for one"
      elif ! xargs -d '\n' grep -qE "$addsub_calls" <<<"$allowed"; then
        pattern=$addsub_insn why="vfmaddsub/vfmsubadd in slot 6, where no source calls for one"
      else
        continue
      fi
    fi
    if ! found=$(instructions "$build/$obj" "$pattern"); then
      echo "check-slot-objects: cannot disassemble $build/$obj" >&2
      failed=$((failed + 1)); continue
    fi
    if [ -n "$found" ]; then
      failed=$((failed + 1))
      echo "$build/$obj: $why ($(wc -l <<<"$found")), e.g.:"
      head -n 5 <<<"$found"
    fi
  done < <(cd "$build" && find primitives -path '*_s[0-6].dir/*' -name '*.o' | sort)

  for k in 1 2 3 4 5 6; do
    if [ "${count[k]}" -ne "${count[0]}" ] || [ "${count[0]}" -eq 0 ]; then
      echo "check-slot-objects: $build has ${count[*]} objects for slots 0..6; build the primitives first" >&2
      return 1
    fi
  done
  if [ "$failed" -gt 0 ]; then
    echo "check-slot-objects: $failed of $total slot objects in $build hold instructions their slot must not use"
    return 1
  fi
  echo "check-slot-objects: $total slot objects in $build (${count[0]} per slot) hold only their slot's instructions"
}

# Passes only when every tree's check reached its end and found nothing.
builds=("${@:-$(dirname "$0")/../build}")
clean=0
for build in "${builds[@]}"; do
  if check_build "$build"; then
    clean=$((clean + 1))
  fi
done
[ "$clean" -eq "${#builds[@]}" ]
