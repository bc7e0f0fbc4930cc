#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over the product and the tools, as one
# build tree compiles them; fails on any finding. A finding that is right to keep is
# suppressed inline, where it stands, with the reason.
#
#   tools/static_analysis.sh <build tree with compile_commands.json>
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
work="$build/static-analysis"
mkdir -p "$work"

# Only our own code: the layers and the tools (not tests, benchmarks or third-party code).
python3 - "$build/compile_commands.json" "$work/compile_commands.json" "$source_dir" <<'PY'
import json, os, sys
entries = json.load(open(sys.argv[1]))
ours = [os.path.join(sys.argv[3], d) + "/" for d in ("host", "addressing", "display", "serial", "driver", "module", "tools")]
keep = [e for e in entries if any(e["file"].startswith(p) for p in ours)]
json.dump(keep, open(sys.argv[2], "w"), indent=1)
PY
mapfile -t files < <(python3 -c 'import json,sys; print("\n".join(e["file"] for e in json.load(open(sys.argv[1]))))' \
                     "$work/compile_commands.json")
if [ ${#files[@]} -eq 0 ]; then
    echo "static analysis: no sources of ours in $build/compile_commands.json" >&2
    exit 1
fi

extra=(--extra-arg=-Wno-ignored-optimization-argument --extra-arg=-Wno-unknown-warning-option)
cppcheck_platform=(--platform=unix32)
compiler=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["command"].split()[0])' \
           "$work/compile_commands.json")
if [[ "$compiler" == *mingw32* ]]; then
    # clang knows the MinGW target from the compiler's name but not where GCC keeps its C++
    # headers; cppcheck knows neither.
    while read -r dir; do
        extra+=("--extra-arg=-isystem$dir")
    done < <(echo | "$compiler" -E -x c++ - -v 2>&1 | sed -n '/search starts here/,/End of search/p' | grep '/c++')
    cppcheck_platform=(--platform=win32W -D_WIN32 -D__MINGW32__ -D__i386__)
fi

status=0
echo "clang-tidy: ${#files[@]} files"
if ! clang-tidy -p "$work" --quiet "${extra[@]}" "${files[@]}" 2>"$work/clang-tidy.stderr"; then
    status=1
fi
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' \
    "$work/clang-tidy.stderr" >&2 || true

echo "cppcheck: ${#files[@]} files"
if ! cppcheck --project="$work/compile_commands.json" "${cppcheck_platform[@]}" -D__GNUC__=12 \
        --enable=warning,performance,portability,style --inline-suppr --quiet --error-exitcode=1 \
        --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
        --cppcheck-build-dir="$work" -j2; then
    status=1
fi
[ $status -eq 0 ] && echo "static analysis: no findings"
exit $status
