#!/bin/sh
# Runs one fuzzer over its seeds.
#   run_fuzzer.sh short FUZZER DIR RUNS [SEED...]
#       RUNS inputs, from the seeds alone, in a fresh DIR: the same inputs
#       every time, for the test suite.
#   run_fuzzer.sh long FUZZER DIR SECONDS [SEED...]
#       FUZZ_SECONDS (or SECONDS) of fuzzing that keeps growing DIR/corpus.
# A SEED is a directory of inputs or one input; those that do not exist are
# left out. A crash, a sanitizer report, a leak or an input running longer
# than 10 s fails the run; the input is kept in DIR.
set -eu
mode=$1 fuzzer=$2 dir=$3 amount=$4
shift 4
name=$(basename "$fuzzer" _fuzzer)
dict=$(dirname "$0")/$name.dict

case $mode in
    short)
        rm -rf "$dir"
        limit="-runs=$amount -seed=1"
        ;;
    long)
        amount=${FUZZ_SECONDS:-$amount}
        limit="-max_total_time=$amount"
        ;;
    *)
        echo "usage: run_fuzzer.sh short|long FUZZER DIR RUNS|SECONDS [SEED...]" >&2
        exit 2
        ;;
esac

corpus=$dir/corpus
mkdir -p "$corpus"
# libFuzzer takes directories only: single inputs go into one of their own.
seeds=""
for seed in "$@"; do
    if [ -d "$seed" ]; then
        seeds="$seeds $seed"
    elif [ -f "$seed" ]; then
        mkdir -p "$dir/seed-files"
        cp "$seed" "$dir/seed-files/$(echo "$seed" | tr / _)"
        case $seeds in *"$dir/seed-files"*) ;; *) seeds="$seeds $dir/seed-files" ;; esac
    fi
done
echo "$name: $mode run ($limit) over$seeds"
# shellcheck disable=SC2086
"$fuzzer" $limit -timeout=10 -dict="$dict" -artifact_prefix="$dir/" \
    -print_final_stats=1 "$corpus" $seeds
echo "$name: corpus $corpus: $(find "$corpus" -type f | wc -l) inputs, $(du -sk "$corpus" | cut -f1) KiB"
