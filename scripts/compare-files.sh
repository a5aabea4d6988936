#!/usr/bin/env bash
# The files other programs read (event log, results and error copies, .BTO,
# .Rep, AdHoc files, KORA1's exchange files, settings, status file, receipt
# ledger), recorded from the real dorvane and kkora1 on fixed scenarios at two
# revisions, and compared after masking what varies from run to run (times,
# job ids, process ids, ledger chain hashes, temporary paths).
#
# Usage: scripts/compare-files.sh [OLD_REV [NEW]]
#        scripts/compare-files.sh --repeat [REV]
#   OLD_REV  built in a git worktree (default e3f682d)
#   NEW      a revision, or the working tree when left out
#   --repeat two runs of the same binaries (the working tree's by default),
#            compared: shows that the masking hides all that varies
# Exit 0: identical ("files: N scenarios, M files, identical"); 1: the diffs
# are printed; 2: a build failed, or a scenario did not run as planned (its
# run.txt says how).
# Everything goes under build/compare/: the worktrees old-src and new-src
# (NEW given as a revision), the binaries in old, new (the working tree) and
# new-rev, and the masked records in files/old and files/new, kept for
# reading.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
work=build/compare
mkdir -p "$work"

repeat=0
if [[ ${1:-} == --repeat ]]; then
  repeat=1
  shift
fi
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
  sed -n '8,20p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
if ((repeat)); then
  old_rev=
  new_rev=${1:-}
else
  old_rev=${1:-e3f682d}
  new_rev=${2:-}
fi

# One run at a time: the scenarios' driver program has one fixed name,
# which DORVANE looks for among all processes.
exec 9>"$work/lock"
if ! flock -n 9; then
  echo "compare-files: another run is using $work" >&2
  exit 2
fi

# A revision's sources in a worktree of our own, moved to that revision.
checkout() {  # rev, folder
  local rev=$1 dir=$2 commit
  commit=$(git rev-parse --verify --quiet "$rev^{commit}") || {
    echo "compare-files: no such revision: $rev" >&2
    exit 2
  }
  if [[ -e $dir/.git ]]; then
    git -C "$dir" checkout --quiet --force --detach "$commit"
  else
    git worktree prune  # a worktree folder removed by hand is still registered
    git worktree add --quiet --detach "$dir" "$commit"
  fi
}

# Only the two programs, at low priority: the machine is shared with other
# builds.
build() {  # source folder, binary folder
  local src=$1 bin=$2
  if grep -q '"headless"' "$src/CMakePresets.json" 2>/dev/null; then
    set -- --preset headless
  else  # a revision from before the presets: the same settings spelled out
    set -- -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORVANE_BUILD_QT=OFF
  fi
  # CMake will not reuse a binary folder made from other sources: made anew.
  if [[ -f $bin/CMakeCache.txt ]] &&
    ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$(cd "$src" && pwd)" "$bin/CMakeCache.txt"; then
    rm -rf "$bin"
  fi
  mkdir -p "$bin"
  if ! cmake "$@" -S "$src" -B "$bin" -DDORVANE_BUILD_TESTS=OFF >"$bin/compare-configure.log" 2>&1; then
    cat "$bin/compare-configure.log" >&2
    echo "compare-files: configuring $src failed" >&2
    exit 2
  fi
  if ! nice -n 10 cmake --build "$bin" -j 2 --target dorvane kkora1 >"$bin/compare-build.log" 2>&1; then
    tail -n 40 "$bin/compare-build.log" >&2
    echo "compare-files: the build in $bin failed (whole output: $bin/compare-build.log)" >&2
    exit 2
  fi
}

# Builds a side; sets "bin" (its binary folder) and "label" (what it is).
# The working tree goes into new/, a revision into old/ or new-rev/ from its
# worktree old-src/ or new-src/.
prepare() {  # rev (empty: working tree), side (old/new)
  local rev=$1 side=$2
  if [[ -z $rev ]]; then
    label="working tree" bin=$work/new
    echo "== building the working tree into $bin" >&2
    build "$top" "$bin"
  else
    checkout "$rev" "$work/$side-src"
    label=$(git rev-parse --short "$rev^{commit}")
    [[ $label == "$rev"* ]] || label="$rev ($label)"
    bin=$work/$side
    [[ $side == old ]] || bin=$work/$side-rev
    echo "== building $label into $bin" >&2
    build "$work/$side-src" "$bin"
  fi
}

record() {  # binary folder, destination
  python3 scripts/compare_files.py run --dorvane "$1/src/dorvane" --kkora1 "$1/tools/kkora1/kkora1" --dest "$2"
}

if ((repeat)); then
  prepare "$new_rev" new
  old_bin=$bin new_bin=$bin old_label="$label, first run" new_label="$label, second run"
else
  prepare "$old_rev" old
  old_label=$label old_bin=$bin
  prepare "$new_rev" new
  new_label=$label new_bin=$bin
fi

start=$SECONDS
trouble=0
echo "== recording $old_label" >&2
record "$old_bin" "$work/files/old" || trouble=1
echo "== recording $new_label" >&2
record "$new_bin" "$work/files/new" || trouble=1
echo "== scenarios run in $((SECONDS - start)) s; comparing (- $old_label, + $new_label)" >&2

status=0
python3 scripts/compare_files.py diff "$work/files/old" "$work/files/new" || status=$?
if ((trouble && status == 0)); then
  echo "compare-files: a scenario did not run as planned: see run.txt under $work/files" >&2
  status=2
fi
exit "$status"
