# Sourced by the measuring scripts (`source "$(dirname "$0")/common.sh"`): strict mode, the
# repository's root as the working folder, the build folder, and the helpers below.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}

# Stops the script unless every program named is built.
require_built() {
  local program
  for program in "$@"; do
    [[ -x "$program" ]] || { echo "build $program first (cmake --build $BUILD_DIR)" >&2; exit 1; }
  done
}

# Runs the script again under a virtual display when none is set. Call it before
# temporary_home: the script is replaced, so its exit trap would not run.
need_display() {
  if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
  fi
}

# Makes $work, a temporary folder that is TMPDIR for every program the script runs (each makes
# its home below it); it goes when the script ends.
temporary_home() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export TMPDIR="$work"
}
