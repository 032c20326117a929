#!/usr/bin/env bash
# Builds the browser playground into build-web/site/ (or the folder given as the first argument):
# the core library compiled to WebAssembly with Debian's emscripten, then the page assembled
# around it, with its editor bundled from the npm packages that web/package-lock.json pins. The
# site is a folder of static files that opens from disk or from any static host.
set -euo pipefail
cd "$(dirname "$0")/.."
site="${1:-build-web/site}"
# Debian's emcc runs its JavaScript tools with node, which finds their modules here.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
mkdir -p build-web
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DRELALG_WERROR=ON \
  > build-web/configure.log 2>&1 || { cat build-web/configure.log; exit 1; }
cmake --build build-web -j2 --target relalgweb
# The editor's packages, as web/package-lock.json pins them (again only when the lockfile changed).
if ! cmp -s web/package-lock.json web/node_modules/.package-lock.json.installed 2> /dev/null; then
  (cd web && npm ci --no-audit --no-fund --silent)
  cp web/package-lock.json web/node_modules/.package-lock.json.installed
fi
node web/assemble.js build-web/web/relalgweb.js "$site"
