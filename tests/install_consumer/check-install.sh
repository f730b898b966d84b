#!/usr/bin/env bash
# Installs the project from build folder $1 into a temporary prefix, then
# builds and runs the consumer program against that installed copy.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" >/dev/null
test -f "$prefix/usr/include/properties/Properties.h"
cmake -S "$here" -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
"$prefix/consumer/consumer"
