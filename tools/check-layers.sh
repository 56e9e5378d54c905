#!/usr/bin/env bash
# Checks that every include between the folders of src/ runs down the layers, never up or sideways: each layer may
# include only the layers listed for it below. Run by CTest (test "layers"); prints each include that breaks the
# order and fails when there is one.
# usage: tools/check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}/src"

declare -A allowed=(
    [core]=""
    [text]="core"
    [model]="core text"
    [engine]="core text"
    [input]="core text model"
    [output]="core text model"
    [calc]="core text model output"
    [run]="core text model engine input"
    [cli]="core text engine input output run"
    [app]="core text model engine input output run"
    [python]="core text engine input run"
)

status=0
for layer in */; do
    layer=${layer%/}
    if [[ ! -v allowed[$layer] ]]; then
        echo "src/$layer: a folder that has no place among the layers (add it to tools/check-layers.sh)"
        status=1
        continue
    fi
    while IFS= read -r hit; do
        file=${hit%%:*}
        target=${hit#*#include \"}
        target=${target%%/*}
        [[ "$target" == "$layer" ]] && continue
        if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
            echo "src/$hit: $layer may not include $target"
            status=1
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[A-Za-z0-9_]+/' "$layer" || true)
done
exit $status
