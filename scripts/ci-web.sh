#!/usr/bin/env bash
# CI for the page: the WebAssembly module and the page built into one HTML file by the wasm
# workflow (build/wasm/web/mirtak.html), clang-tidy on the module's interface, then its tests:
# the module under node against the native tool of the dev build, mirtak-shape's figures against
# the module's, and the page itself in headless Chromium (a screenshot is left in
# build/web/page.png). Run from .ci/run, after the dev workflow.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 \
  libclang-rt-14-dev-wasm32 clang-tidy nodejs chromium-headless-shell

step() { printf '\n== %s (%(%T)T)\n' "$1" -1; }

step "the page's module and the page"
cmake --workflow --preset wasm
for source in web/mirtak_wasm.cc log/kernels_wasm_simd128.cc; do
  clang-tidy --quiet -p build/wasm "$source" 2>/dev/null
done

step "the page's tests"
# The tests' own packages (puppeteer-core drives the browser), beside the sources.
(cd web && npm ci --no-audit --no-fund --loglevel=error)
# The native tools the values and the shape are compared with; the dev build told where the
# module is, so that its test of mirtak-shape against the page runs.
cmake --preset dev "-DMIRTAK_WASM_MODULE=$PWD/build/wasm/web/mirtak_wasm.wasm" >/dev/null
cmake --build --preset dev --target MIRTAK mirtak-shape
ctest --preset dev -R '^shape\.same_as_page$'
(cd web && node --test test/core.test.mjs test/page.test.mjs)
step "page checks passed"
