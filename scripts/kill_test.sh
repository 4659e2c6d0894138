#!/usr/bin/env bash
# Kill test: an overwrite batch of quillmark-cli (rotate-180 over a folder of
# photos) killed with SIGKILL at a random moment, KILLS times. After every
# kill each source must hold its old or its new content and decode; what the
# killed runs left behind is counted. Exit status 1 when a source is damaged.
#
#   scripts/kill_test.sh [KILLS] [BUILD_DIR]      (defaults: 200, build)
set -euo pipefail
cd "$(dirname "$0")/.."
kills=${1:-200}
build=${2:-build}
cli=$build/quillmark-cli
samples=$build/quill-make-samples
[[ -x $cli && -x $samples ]] || { echo "kill_test: build $cli and $samples first" >&2; exit 2; }
decoder=$(command -v djpeg || true)
RANDOM=16

work=$(mktemp -d)
ref=$(mktemp -d)
trap 'rm -rf "$work" "$ref"' EXIT

# Sizes in whole MCUs, so rotating by 180 twice gives the first file back:
# every source then alternates between two contents, A and B.
"$samples" "$work" 12 1024 768
sources=("$work"/photo_*.jpg)
names=()
for f in "${sources[@]}"; do names+=("$(basename "$f")"); done
run() { "$cli" rotate-180 --overwrite "$@" >/dev/null 2>&1; }
run "${sources[@]}" && run "${sources[@]}"
declare -A stateA stateB
for n in "${names[@]}"; do stateA[$n]=$(md5sum <"$work/$n" | cut -c1-32); done
cp "$work"/photo_*.jpg "$ref"/
run "$ref"/photo_*.jpg
for n in "${names[@]}"; do stateB[$n]=$(md5sum <"$ref/$n" | cut -c1-32); done
run "$ref"/photo_*.jpg
for n in "${names[@]}"; do
    [[ $(md5sum <"$ref/$n" | cut -c1-32) == "${stateA[$n]}" ]] ||
        { echo "kill_test: $n does not alternate between two contents" >&2; exit 2; }
done

# One whole batch sets the range of kill moments.
start=$(date +%s%N)
run "${sources[@]}"
batch_ms=$(( ($(date +%s%N) - start) / 1000000 ))
run "${sources[@]}"

midrun=0 damaged=0 undecodable=0 changed=0
declare -A last
for n in "${names[@]}"; do last[$n]=${stateA[$n]}; done
for ((i = 1; i <= kills; i++)); do
    "$cli" rotate-180 --overwrite "${sources[@]}" >/dev/null 2>&1 &
    pid=$!
    delay=$(( RANDOM * (batch_ms + 20) / 32768 ))
    sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
    if kill -0 "$pid" 2>/dev/null; then
        kill -9 "$pid" 2>/dev/null && midrun=$((midrun + 1))
    fi
    wait "$pid" 2>/dev/null || true
    for n in "${names[@]}"; do
        sum=$(md5sum <"$work/$n" | cut -c1-32)
        if [[ $sum != "${stateA[$n]}" && $sum != "${stateB[$n]}" ]]; then
            echo "kill $i: $n is neither its old nor its new content" >&2
            damaged=$((damaged + 1))
        elif [[ -n $decoder ]] && ! "$decoder" -outfile /dev/null "$work/$n" 2>/dev/null; then
            echo "kill $i: $n does not decode" >&2
            undecodable=$((undecodable + 1))
        fi
        [[ $sum != "${last[$n]}" ]] && changed=$((changed + 1))
        last[$n]=$sum
    done
done

hidden=$(find "$work" -maxdepth 1 -name '.*.tmp' | wc -l)
hidden_bytes=$(find "$work" -maxdepth 1 -name '.*.tmp' -printf '%s\n' | awk '{s += $1} END {print s + 0}')
visible=$(find "$work" -maxdepth 1 -type f ! -name '.*' | wc -l)
visible=$((visible - ${#names[@]}))
echo "kills: $kills (batch of ${#names[@]} files takes ${batch_ms} ms; $midrun killed while running)"
echo "sources replaced between kills: $changed; damaged: $damaged; not decoding: $undecodable"
[[ -z $decoder ]] && echo "(djpeg not installed: decoding not checked)"
echo "left behind: $hidden hidden temporaries ($hidden_bytes bytes), $visible other files"
find "$work" -maxdepth 1 -type f ! -name 'photo_????.jpg' -printf '  %f\n' | sort | head -20
# A later run removes our temporaries once they are an hour old: age them
# and run one whole batch.
if [[ $hidden -gt 0 ]]; then
    find "$work" -maxdepth 1 -name '.*.tmp' -exec touch -d '2 hours ago' {} +
    run "${sources[@]}" || true
    echo "after one more batch with those temporaries aged 2 hours:" \
         "$(find "$work" -maxdepth 1 -name '.*.tmp' | wc -l) left"
fi
[[ $damaged -eq 0 && $undecodable -eq 0 ]]
