# Sourced by the CI stages. ensure_packages PKG...: installs the Debian packages that are
# not installed yet (as root; a package named NAME:i386 adds the i386 architecture first).
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages (${missing[*]}); run as root to install them" >&2
    return 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  if [[ " ${missing[*]}" == *":i386"* ]]; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
