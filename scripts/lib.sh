# Shared by scripts/test and scripts/demo.
KELMO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KELMO_JOBS=$(nproc 2>/dev/null || echo 2)

kelmo_install_packages() {
  local missing=()
  for p in $(cat "$KELMO_ROOT/scripts/packages"); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# kelmo_build DIR [cmake options...] [-- targets...]: configures DIR and builds the targets (all by default).
kelmo_build() {
  local dir=$1; shift
  local options=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  targets=("$@")
  cmake -S "$KELMO_ROOT" -B "$dir" -G Ninja "${options[@]}" >/dev/null
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" -j "$KELMO_JOBS" --target "${targets[@]}"
  else
    cmake --build "$dir" -j "$KELMO_JOBS"
  fi
}
