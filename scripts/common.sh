# Shared by the scripts: the repository root and a configure-and-build step.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 4)}"

# vekta_compile DIR [CMAKE OPTIONS...]: configures (once) and builds DIR.
# The build runs only when the configuration succeeded, also where the
# caller tests the result (set -e does not hold there).
vekta_compile() {
  local dir="$1"
  shift
  local generator=()
  if command -v ninja >/dev/null 2>&1 && [ ! -f "$dir/Makefile" ]; then
    generator=(-G Ninja)
  fi
  cmake -S "$ROOT" -B "$dir" "${generator[@]}" "$@" >/dev/null &&
    cmake --build "$dir" -j "$JOBS"
}

# vekta_build DIR [CMAKE OPTIONS...]: installs what is missing, then
# configures and builds DIR.
vekta_build() {
  "$ROOT/scripts/install-deps"
  vekta_compile "$@"
}

# vekta_build_quietly DIR [CMAKE OPTIONS...]: vekta_build that writes
# nothing unless it fails (then the build's whole output, on standard
# error); the package installation keeps its own messages.
vekta_build_quietly() {
  "$ROOT/scripts/install-deps"
  if [ ! -f "$1/CMakeCache.txt" ]; then
    echo "Building in $1..." >&2
  fi
  local log status=0
  log="$(mktemp)"
  vekta_compile "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$log" >&2
    echo "The build in $1 failed." >&2
  fi
  rm -f "$log"
  return "$status"
}
