# Shared set-up of the project's scripts: installs what is missing, then configures and builds.
# Sourced by scripts/run and scripts/test.

QN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Debian packages the build and the tests need.
QN_PACKAGES=(g++ cmake make pkg-config libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
             libflac-dev
             qt6-base-dev lame flac id3v2 python3 python3-mutagen
             xdg-utils libfile-mimeinfo-perl shared-mime-info libglib2.0-bin desktop-file-utils
             xvfb xauth imagemagick xdotool openbox
             clang libclang-rt-14-dev
             man-db groff-base dpkg-dev file lintian zsh)

qn_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]}"
}

# Installs the given packages (default: QN_PACKAGES) when some are missing.
qn_install_missing() {
  local wanted=("$@")
  [ ${#wanted[@]} -eq 0 ] && wanted=("${QN_PACKAGES[@]}")
  local missing
  missing=$(qn_missing_packages "${wanted[@]}")
  [ -z "$missing" ] && return 0
  echo "Installing missing packages: $missing"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq || return 1
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# qn_build DIR [cmake options...]: configures and builds with -j2.
qn_build() {
  local dir="$1"; shift
  cmake -S "$QN_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j2
}
