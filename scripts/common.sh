# Shared by the scripts: the repository root and a configure-and-build step.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 4)"

# vekta_build DIR [CMAKE OPTIONS...]: configures (once) and builds DIR.
vekta_build() {
  local dir="$1"
  shift
  "$ROOT/scripts/install-deps"
  local generator=()
  if command -v ninja >/dev/null 2>&1 && [ ! -f "$dir/Makefile" ]; then
    generator=(-G Ninja)
  fi
  cmake -S "$ROOT" -B "$dir" "${generator[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}
