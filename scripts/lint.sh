#!/usr/bin/env bash
# scripts/lint.sh format         checks every C++ file of the project against .clang-format
# scripts/lint.sh tidy BUILD...  runs clang-tidy (.clang-tidy) on every C++ file of the project
#                                that the build trees compile (build/default, build/fuzz: their
#                                compile_commands.json); files the build generates are left out
# Both change nothing and fail on any finding. QV_JOBS sets the parallel clang-tidy runs (all
# cores by default).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${QV_JOBS:-$(nproc)}

sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -- '*.cpp' '*.h'
    else
        find . -path ./build -prune -o -path ./.git -prune -o \( -name '*.cpp' -o -name '*.h' \) \
            -print | sed 's|^\./||'
    fi
}

# The files a compile database names.
compiled() {
    sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$1"
}

case "${1:-}" in
    format)
        sources | tr '\n' '\0' | xargs -0 -r clang-format --dry-run --Werror
        echo "clang-format: every file is formatted" ;;
    tidy)
        shift
        [ $# -gt 0 ] || { echo "usage: $0 tidy BUILD..." >&2; exit 2; }
        status=0
        declare -A seen
        for build in "$@"; do
            db=$build/compile_commands.json
            if [ ! -f "$db" ]; then
                echo "$db is missing: configure and build $build first" >&2
                exit 2
            fi
            # Each file once, however many targets or trees compile it; what a build made is not
            # ours.
            out=$(cd "$build" && pwd)
            files=()
            while IFS= read -r file; do
                [ -z "${seen[$file]:-}" ] || continue
                seen[$file]=1
                files+=("$file")
            done < <(compiled "$db" | grep -v -F "$out/" | sort -u)
            [ ${#files[@]} -gt 0 ] || continue
            printf '%s\0' "${files[@]}" |
                xargs -0 -n 4 -P "$jobs" clang-tidy -p "$build" --quiet --warnings-as-errors='*' \
                    2> >(grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' >&2) ||
                status=1
        done
        [ $status -eq 0 ] && echo "clang-tidy: no findings"
        exit $status ;;
    *)
        echo "usage: $0 format | tidy BUILD..." >&2
        exit 2 ;;
esac
