#!/usr/bin/env bash
# The layer check on small trees: each case is one include in one folder, and whether
# the check lets it through.
set -uo pipefail
check=${1:?usage: check_layers_test.sh PATH/TO/check-layers}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
# folder  included file          allowed?
cases=(
    "base     core/context.h      no"
    "core     base/text.h         yes"
    "detail   market/session.h    no"
    "market   detail/image.h      yes"
    "collect  market/on_sale.h    yes"
    "market   collect/list_url.h  no"
    "app      collect/crawl.h     yes"
    "collect  app/startup.h       no"
    "cli      app/startup.h       yes"
    "cli      ui/main_window.h    no"
    "ui       cli/commands.h      no"
    "app      sim/market_sim.h    no"
    "core     tests/support/x.h   no"
)
for c in "${cases[@]}"; do
    read -r folder target allowed <<<"$c"
    tree="$work/$folder-${target//\//_}/src"
    mkdir -p "$tree/$folder"
    printf '// a file\n#include <string>\n#include "%s"\n' "$target" >"$tree/$folder/file.cpp"
    out=$("$check" "$tree" 2>&1)
    code=$?
    if [ "$allowed" = yes ] && [ $code -ne 0 ]; then
        echo "FAIL: $folder including $target was refused: $out"
        failures=$((failures + 1))
    elif [ "$allowed" = no ]; then
        if [ $code -ne 1 ]; then
            echo "FAIL: $folder including $target passed (exit $code)"
            failures=$((failures + 1))
        elif [[ "$out" != *"src/$folder/file.cpp:3: includes \"$target\""* ]]; then
            echo "FAIL: the refusal does not name the file and line: $out"
            failures=$((failures + 1))
        fi
    fi
done
echo "$((${#cases[@]} - failures)) passed, $failures failed"
[ $failures -eq 0 ]
