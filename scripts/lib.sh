# Shared by scripts/run and scripts/test: installs what a fresh Debian 12 machine lacks.
# Sourced, not run.

BILDWART_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev       # QtCore, QtWidgets, QtTest
    qt6-base-private-dev   # Qt's timer list for bildwartctl's epoll event loop
    libudev-dev        # port discovery and USB hot-plug
    libgensio-dev      # network serial ports: raw TCP and RFC 2217 (ser2net, RS-232 gateways)
    ser2net            # the network peer of the network-line tests
    prometheus-cpp-dev # bildwartctl serve --metrics: Prometheus' registry, text format and exposer
    prometheus         # promtool and a real server for the metrics tests
    libmosquitto-dev   # bildwartctl serve --mqtt: the MQTT client library (Eclipse Mosquitto)
    mosquitto mosquitto-clients   # a real broker and Home Assistant's side in the MQTT tests
    umockdev libumockdev-dev   # fake device tree for the port discovery and hot-plug tests
    libqt6svg6 adwaita-icon-theme   # the symbolic icons of the user interface (SVG)
    qt6-translations-l10n   # Qt's own dialog and button texts in German
    fonts-freefont-ttf   # a monospaced font with the CR/LF control pictures of the terminal
    fonts-noto-mono fonts-dejavu-core   # the two common monospace defaults, so the terminal's tests meet both
    desktop-file-utils appstream   # the install test validates the desktop entry and AppStream data
    bash-completion    # the install test runs the completion on bash-completion's helpers
    dpkg-dev file      # scripts/package: CPack finds the binaries (file) and their dependencies
    lintian            # scripts/test checks the Debian package
    systemd            # systemd-analyze checks the service unit of "bildwartctl serve"
)

bildwart_install_missing() {
    local missing=()
    local pkg
    for pkg in "${BILDWART_PACKAGES[@]}" "$@"; do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installiere fehlende Pakete: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}"
}

bildwart_build() {
    local preset=$1
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
}
