#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The mutation check: does the suite catch the faults an operator would feel?
# Each mutant of tests/mutants/mutants.txt is one small edit of the source. For
# each, a copy of the tree is built with the edit (incrementally, only what it
# touches) and tested: first the tests the table names for it, then, only if it
# survives them, the rest of the suite. The report goes to build-mutation/report.txt.
#   bash scripts/mutation.sh            # every mutant of the table
#   bash scripts/mutation.sh NAME...    # the mutants named
# The suite opens sockets on fixed loopback addresses: run it where no other
# suite runs at the same time (in a network namespace of its own).
# Exit status 0 only when every mutant was found, built, and killed or explained
# as equivalent.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
table=$root/tests/mutants/mutants.txt
out=$root/build-mutation
tree=$out/tree
build=$out/build
logs=$out/logs
report=$out/report.txt
jobs=$(nproc)
started=$SECONDS

export QT_QPA_PLATFORM=offscreen
# A mutant that hangs a test function ends it after this, not after the suite's five minutes.
export QTEST_FUNCTION_TIMEOUT=90000

say() { printf '%s\n' "$*" | tee -a "$report"; }
elapsed() { printf '%d min %02d s' $(((SECONDS - $1) / 60)) $(((SECONDS - $1) % 60)); }

# The copy holds the tracked and new files of the working tree. A file is copied
# only when its content differs, so the build folder stays valid between runs and
# an edit left behind by an interrupted run is undone with a fresh time stamp.
sync_tree() {
    mkdir -p "$tree"
    local file
    (cd "$root" && git ls-files --cached --others --exclude-standard -z) > "$out/files"
    while IFS= read -r -d '' file; do
        [ -f "$root/$file" ] || continue
        if ! cmp -s "$root/$file" "$tree/$file"; then
            mkdir -p "$(dirname "$tree/$file")"
            cp "$root/$file" "$tree/$file"
        fi
    done < "$out/files"
    # Files gone from the working tree are gone from the copy too.
    (cd "$tree" && find . -type f ! -path './.git/*' -printf '%P\0') | while IFS= read -r -d '' file; do
        [ -e "$root/$file" ] || rm -f "$tree/$file"
    done
}

# Names, files, texts, tests and descriptions of the table, one array entry per mutant.
names=() files=() finds=() puts=() tests=() abouts=() equivalents=()
read_table() {
    local line key value n=-1
    while IFS= read -r line || [ -n "$line" ]; do
        case "$line" in '' | '#'*) continue ;; esac
        key=${line%% *}
        value=${line#"$key"}
        value=${value#"${value%%[! ]*}"}
        case "$key" in
        mutant) n=$((n + 1)); names[n]=$value files[n]='' finds[n]='' puts[n]='' tests[n]='' abouts[n]='' equivalents[n]='' ;;
        file) files[n]=$value ;;
        find) finds[n]=$value ;;
        put) puts[n]=$value ;;
        tests) tests[n]=$value ;;
        about) abouts[n]=$value ;;
        equivalent) equivalents[n]=$value ;;
        *) echo "mutation: $table: unknown line: $line" >&2; exit 2 ;;
        esac
    done < "$table"
}

# The tests the last ctest run saw fail, from its summary.
failed_tests() {
    sed -n 's/^[[:space:]]*[0-9]* - \([A-Za-z0-9_]*\) (.*/\1/p' "$1" | sort -u | paste -sd' ' -
}

# Runs the tests chosen by ctest's arguments; fails at the first failing test.
run_tests() {
    local log=$1
    shift
    (cd "$build" && ctest --output-on-failure --stop-on-failure -j"$jobs" "$@") >> "$log" 2>&1
}

read_table
selected=("$@")
mkdir -p "$out" "$logs"
: > "$report"
say "mutation check of $(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD || echo ' with uncommitted changes'), $(date '+%Y-%m-%d %H:%M')"

sync_tree
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$tree" -B "$build" > "$logs/configure.log" 2>&1 || {
        say "mutation: the copy does not configure; see $logs/configure.log"; exit 2; }
fi
step=$SECONDS
if ! cmake --build "$build" -j"$jobs" > "$logs/build.log" 2>&1; then
    say "mutation: the tree without a mutant does not build; see $logs/build.log"
    exit 2
fi
say "build of the copy: $(elapsed "$step")"
# Without a green suite every mutant would look killed.
step=$SECONDS
: > "$logs/baseline.log"
if ! run_tests "$logs/baseline.log"; then
    say "mutation: the suite fails without a mutant ($(failed_tests "$logs/baseline.log")); see $logs/baseline.log"
    exit 2
fi
say "suite without a mutant: green in $(elapsed "$step")"
say ""

killed=0 survived=0 unbuilt=0 stale=0 unexplained=0
for i in "${!names[@]}"; do
    name=${names[i]}
    if [ ${#selected[@]} -gt 0 ] && ! printf '%s\n' "${selected[@]}" | grep -qxF -- "$name"; then
        continue
    fi
    file=$tree/${files[i]}
    log=$logs/$name.log
    : > "$log"
    step=$SECONDS
    found=0
    [ -f "$file" ] && found=$(grep -oF -- "${finds[i]}" "$file" | wc -l || true)
    if [ -z "${finds[i]}" ] || [ "$found" -ne 1 ]; then
        say "$(printf '%-32s stale: the text is found %s times in %s' "$name" "$found" "${files[i]}")"
        stale=$((stale + 1))
        continue
    fi
    original=$(cat "$file"; printf x)
    original=${original%x}
    printf '%s' "${original/"${finds[i]}"/"${puts[i]}"}" > "$file"
    first=$(printf '%s' "${tests[i]}" | tr -s ' ' '|')
    verdict=survived
    if ! cmake --build "$build" -j"$jobs" --target ${tests[i]} >> "$log" 2>&1; then
        verdict="did not build"
    elif ! run_tests "$log" -R "^($first)\$"; then
        verdict="killed by $(failed_tests "$log")"
    elif ! cmake --build "$build" -j"$jobs" >> "$log" 2>&1; then
        verdict="did not build"
    elif ! run_tests "$log" -E "^($first)\$"; then
        verdict="killed by $(failed_tests "$log") (not one of its first tests)"
    fi
    # Written anew, so the next build compiles the original again.
    printf '%s' "$original" > "$file"
    case "$verdict" in
    killed*) killed=$((killed + 1)) ;;
    "did not build") unbuilt=$((unbuilt + 1)) ;;
    survived)
        survived=$((survived + 1))
        if [ -n "${equivalents[i]}" ]; then
            verdict="survived, equivalent: ${equivalents[i]}"
        else
            unexplained=$((unexplained + 1))
            verdict="SURVIVED: ${abouts[i]}"
        fi
        ;;
    esac
    say "$(printf '%-32s %s (%s)' "$name" "$verdict" "$(elapsed "$step")")"
done

tried=$((killed + survived))
say ""
say "mutation: $killed of $tried killed ($((tried ? 100 * killed / tried : 0)) %); $survived survived ($unexplained unexplained), $unbuilt did not build, $stale stale; $(elapsed "$started") in all"
[ "$stale" -eq 0 ] && [ "$unbuilt" -eq 0 ] && [ "$unexplained" -eq 0 ] && [ $((100 * killed)) -ge $((90 * tried)) ]
