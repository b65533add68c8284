# Sourced by scripts/run and scripts/test: installs the Debian packages the build needs when missing.
# Usage: ensure_packages pkg...
ensure_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libsqlcipher-dev libzip-dev libfontconfig-dev fonts-dejavu-core fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea fonts-urw-base35 fonts-droid-fallback fonts-opensymbol fonts-dejavu-extra)
# What scripts/check-package needs besides the build: Debian's checkers, and dpkg-shlibdeps (dpkg-dev,
# which runs file) for the version bounds of the package's library dependencies.
PACKAGE_CHECK_PACKAGES=(lintian appstream dpkg-dev file)
