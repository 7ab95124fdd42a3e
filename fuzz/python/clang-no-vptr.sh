#!/bin/sh
# clang++ with the vptr and function checks of UBSan turned off after every
# other flag, for the extension that runs under the fuzzer's preloaded
# sanitizer runtime (it carries no C++ part of UBSan).
clangxx=${VORN_FUZZ_CLANGXX:-clang++-$("$(dirname "$0")/../../scripts/setup.sh" --fuzz-clang-version)}
exec "$clangxx" "$@" -fno-sanitize=vptr,function
