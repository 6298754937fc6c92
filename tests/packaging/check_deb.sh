#!/usr/bin/env bash
# Checks the Debian package scripts/package made: the files of installed-files.txt under /usr
# and no others, the project version, the dependencies from shlibdeps and the runtime packages
# next to them, and no errors from lintian (its full report is printed).
# Usage: check_deb.sh PACKAGE.deb PROJECT_VERSION
set -uo pipefail
deb=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)

status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

diff -u <(sed 's|^|./usr/|' "$here/installed-files.txt") \
    <(dpkg-deb --contents "$deb" | grep -v '/$' | awk '{print $6}' | LC_ALL=C sort) ||
    fail "the package's files differ from installed-files.txt"

[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] ||
    fail "package version $(dpkg-deb --field "$deb" Version), expected $version"
depends=$(dpkg-deb --field "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for package in libqt6widgets6 libudev1 libstdc++6 \
    adwaita-icon-theme libqt6svg6 qt6-translations-l10n fonts-freefont-ttf; do
    grep -qxF "$package" <<<"$names" || fail "Depends lacks $package: $depends"
done

report=$(lintian "$deb" 2>&1)
echo "$report"
! grep -q '^E: ' <<<"$report" || fail "lintian reports errors"

exit $status
