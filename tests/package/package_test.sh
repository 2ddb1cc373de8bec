#!/bin/sh
# package_test.sh BUILD_DIR SOURCE_DIR [C_FLAGS]: installs the build into a
# fresh prefix and links the demo with a consumer built against it with the
# CMake config package and with pkg-config, with the installed zlt900-link,
# which must start without LD_LIBRARY_PATH, and with the installed Python
# module, found under the prefix. Each image must equal the golden one.
set -eu
build=$1 src=$2 cflags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
(cd "$prefix" && ls share/man/man1/zlt900-link.1 share/man/man1/zlt900-inspect.1 share/man/man1/zlt900-snx.1 \
                   lib/cmake/zlt900/zlt900ConfigVersion.cmake >/dev/null)

cmake -S "$src/tests/package/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_FLAGS="$cflags" >/dev/null
cmake --build "$work/cmake" >/dev/null

PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name zlt900.pc | head -n 1)")
export PKG_CONFIG_PATH
# shellcheck disable=SC2046
cc $cflags -o "$work/consumer-pc" "$src/tests/package/consumer/consumer.c" $(pkg-config --cflags --libs zlt900) \
   -Wl,-rpath,"$(pkg-config --variable=libdir zlt900)"

check() {  # NAME COMMAND...: links the demo in a copy of it, compares the image
    name=$1; shift
    rm -rf "$work/demo"; cp -R "$src/examples/demo" "$work/demo"
    (cd "$work/demo" && env -u LD_LIBRARY_PATH "$@" demo.zlp out.cfo >"$work/$name.log") ||
        { echo "$name: link failed"; cat "$work/$name.log"; exit 1; }
    cmp "$work/demo/out.cfo" "$src/tests/golden/demo.cfo" || { echo "$name: image differs"; exit 1; }
    echo "$name: ok"
}
check cmake-consumer "$work/cmake/consumer"
check pkg-config-consumer "$work/consumer-pc"
check installed-tool "$prefix/bin/zlt900-link" -q --timestamp=1700000000
if [ -n "${ZLT_PYTHON:-}" ]; then
    check python-module env PYTHONPATH="$prefix/$ZLT_PYTHON_DIR" ${ZLT_PRELOAD:+LD_PRELOAD=$ZLT_PRELOAD} \
          ASAN_OPTIONS=detect_leaks=0 "$ZLT_PYTHON" -c 'import sys, zlt900
result = zlt900.link(sys.argv[1], sys.argv[2], timestamp=1700000000)
print("\n".join(result.lines)); sys.exit(0 if result.success else 1)'
fi
