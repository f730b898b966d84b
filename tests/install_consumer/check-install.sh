#!/usr/bin/env bash
# Installs the project from build folder $1 into a temporary prefix, checks
# that every program and manual page there carries version $2, then builds and
# runs the consumer program against that installed copy.
set -euo pipefail
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" >/dev/null
# Exactly the public headers, under include/properties.
test "$(cd "$prefix/usr/include" && find . -type f | sort | tr '\n' ' ')" = \
    "./properties/Properties.h ./properties/PropertyObject.h ./properties/PropertyParser.h "
for program in trk_to_zrp trk_dump props trk_make; do
  test "$("$prefix/usr/bin/$program" --version)" = "$program $version"
  head -1 "$prefix/usr/share/man/man1/$program.1" | grep -qF "\"trk_to_zrp $version\""
done
test "$(echo "{'b': 1, 'a': 2L}" | "$prefix/usr/bin/props")" = "{'a': 2L, 'b': 1}"
cmake -S "$here" -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
"$prefix/consumer/consumer"
