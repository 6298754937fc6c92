#!/usr/bin/env bash
# Installs the build into a temporary prefix and looks at it the way the desktop, man and bash
# will: every file in its place and no other, the desktop entry and the AppStream metadata
# through their own validators, the version the installed programs print, every option of the
# programs' help in their man pages, and what the bash completion offers.
# Usage: check_install.sh BUILD_DIR PROJECT_VERSION
set -uo pipefail
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

cmake --install "$build" --prefix "$prefix" >/dev/null || {
    echo "FAIL: cmake --install" >&2
    exit 1
}

# Files: exactly the list, nothing missing, nothing stray.
diff -u "$here/installed-files.txt" \
    <(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) ||
    fail "installed files differ from installed-files.txt"

# Validators: no errors, and no warnings or hints either.
entry=$prefix/share/applications/de.halvorn.Bildwart.desktop
output=$(desktop-file-validate "$entry" 2>&1) && [ -z "$output" ] ||
    fail "desktop-file-validate: $output"
output=$(appstreamcli validate --no-net "$prefix/share/metainfo/de.halvorn.Bildwart.metainfo.xml" 2>&1) &&
    ! grep -qE '^(E|W):' <<<"$output" || fail "appstreamcli validate: $output"

# The service unit, as systemd reads it (pointing at this prefix's programs).
unit=$prefix/lib/systemd/system/bildwart-serve@.service
bindir=$(sed -n 's|.*exec \(/[^ ]*\)/bildwartctl serve --targets.*|\1|p' "$unit")
checked=$(mktemp -d)/bildwart-serve@.service
sed "s|$bindir/|$prefix/bin/|g" "$unit" >"$checked"
output=$(systemd-analyze verify --man=no "${checked%@.service}@schule.service" 2>&1) && [ -z "$output" ] ||
    fail "systemd-analyze verify: $output"
grep -q '^Restart=on-failure$' "$unit" && grep -q '^SupplementaryGroups=dialout$' "$unit" ||
    fail "the unit restarts on failure as a member of dialout"

# The Prometheus examples, as Prometheus reads them.
examples=$prefix/share/doc/bildwart/prometheus
output=$(cd "$examples" && promtool check config prometheus.yml 2>&1) ||
    fail "promtool check config: $output"
output=$(promtool check rules "$examples/bildwart-alerts.yml" 2>&1) ||
    fail "promtool check rules: $output"

# One version everywhere.
[ "$("$prefix/bin/bildwartctl" --version)" = "bildwartctl $version" ] ||
    fail "bildwartctl --version: $("$prefix/bin/bildwartctl" --version 2>&1)"
[ "$("$prefix/bin/bildwart" --version)" = "Bildwart $version" ] ||
    fail "bildwart --version: $("$prefix/bin/bildwart" --version 2>&1)"
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/de.halvorn.Bildwart.metainfo.xml" ||
    fail "the newest AppStream release is not $version"
zcat "$prefix/share/doc/bildwart/changelog.gz" | head -n1 | grep -qF "bildwart ($version)" ||
    fail "the changelog does not start with $version"

# Man pages: every long option the program's help lists (for bildwartctl: its option table).
for program in bildwart bildwartctl; do
    page=$(zcat "$prefix/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
    grep -q '^\.TH' <<<"$page" || fail "$program.1 is no man page"
    options=$("$prefix/bin/$program" --help | grep -oE -- '--[a-zA-Z][a-zA-Z-]*' | sort -u)
    [ -n "$options" ] || fail "$program --help lists no options"
    for option in $options; do
        grep -qF -- "$option" <<<"$page" || fail "$program.1 does not mention $option"
    done
done

# Bash completion: the line as typed, split the way readline splits it (":" and "=" are words
# of their own), and the offers expected at its end, sorted.
completion=$prefix/share/bash-completion/completions/bildwartctl
offers() {
    bash --norc -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        COMP_LINE=$2
        COMP_POINT=${#COMP_LINE}
        COMP_WORDS=()
        read -ra spaced <<<"$COMP_LINE"
        [[ $COMP_LINE == *" " ]] && spaced+=("")
        for word in "${spaced[@]}"; do
            while [[ $word =~ ^([^:=]*)([:=])(.*)$ ]]; do
                [[ -n ${BASH_REMATCH[1]} ]] && COMP_WORDS+=("${BASH_REMATCH[1]}")
                COMP_WORDS+=("${BASH_REMATCH[2]}")
                word=${BASH_REMATCH[3]}
            done
            COMP_WORDS+=("$word")
        done
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _bildwartctl bildwartctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$1" | LC_ALL=C sort | xargs
}
expect_offers() {
    local got
    got=$(offers "$1")
    [ "$got" = "$2" ] || fail "completion of \"$1\": \"$got\", expected \"$2\""
}
expect_offers 'bildwartctl s' 'send serve set simulate status'
expect_offers 'bildwartctl --baud 9600 --parity=odd -v g' 'get'
expect_offers 'bildwartctl loopback --s' '--size --stop-bits'
expect_offers 'bildwartctl status --s' '--stop-bits'
expect_offers 'bildwartctl --parity=' 'even none odd'
expect_offers 'bildwartctl testout --pattern u' 'uPattern'
expect_offers 'bildwartctl get fw' 'fwversion'
expect_offers 'bildwartctl set m' 'micmute mute'
expect_offers 'bildwartctl set powerstate ' 'off on powersave ready standby'
expect_offers 'bildwartctl -p /dev/null set input h' 'hdmi1 hdmi2 hdmi3 hdmi4'
expect_offers 'bildwartctl -p simulator://l' '//loopback'
expect_offers 'bildwartctl --port sim' 'simulator://loopback simulator://smart'

exit $status
