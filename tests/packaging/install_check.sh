#!/usr/bin/env bash
# Checks what an operator gets: every installed file in place, the programs
# starting from where they were installed, and the desktop entries, the
# metadata and the Debian package passing Debian's and freedesktop's own
# checkers where those are installed.
#
#   install_check.sh tree BUILD_DIR WITH_TREND   install into a DESTDIR, then pack and check a .deb
#   install_check.sh deb  FILE.deb  WITH_TREND [HELP_FILE]   check a package built elsewhere
set -euo pipefail
mode="$1" source="$2" with_trend="$3" help_file="${4:-}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
have() { command -v "$1" >/dev/null 2>&1; }

app=org.brinewatch.Brinewatch trend=org.brinewatch.BrinewatchTrend
expected=(
  usr/bin/brinewatch usr/bin/brinewatch-adapter-sim usr/bin/brinewatchd
  usr/lib/systemd/system/brinewatchd.service usr/lib/systemd/system/brinewatchd@.service
  usr/share/man/man1/brinewatchd.1.gz
  usr/share/doc/brinewatch/examples/prometheus/prometheus.yml
  usr/share/doc/brinewatch/examples/prometheus/brinewatch-rules.yml
  usr/share/doc/brinewatch/examples/prometheus/alertmanager.yml
  etc/logrotate.d/brinewatch usr/lib/sysusers.d/brinewatch.conf
  usr/share/doc/brinewatch/examples/prometheus/site-prometheus.yml
  usr/share/applications/$app.desktop
  usr/share/icons/hicolor/scalable/apps/$app.svg
  usr/share/metainfo/$app.metainfo.xml
  usr/share/man/man1/brinewatch.1.gz usr/share/man/man1/brinewatch-adapter-sim.1.gz
  usr/share/doc/brinewatch/manual.html usr/share/doc/brinewatch/manual.css
  usr/share/doc/brinewatch/screenshots/main-window.png
  usr/share/doc/brinewatch/copyright usr/share/doc/brinewatch/changelog.gz
  usr/share/doc-base/brinewatch-manual
  usr/share/doc/brinewatch/examples/site.toml
)
sizes=(16 32 48 64 128 256)
for size in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$app.png"); done
if [ "$with_trend" = ON ]; then
  expected+=(usr/bin/brinewatch-trend usr/share/applications/$trend.desktop
             usr/share/man/man1/brinewatch-trend.1.gz)
fi

# Width and height from a PNG's header, to show each size was rendered as itself.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{printf "%dx%d", $3*256+$4, $7*256+$8}'; }

check_tree() {
  local root="$1" what="$2" path
  for path in "${expected[@]}"; do
    [ -e "$root/$path" ] || fail "$what lacks /$path"
  done
  for path in "$root"/usr/bin/*; do [ -x "$path" ] || fail "$what: $path is not executable"; done
  for size in "${sizes[@]}"; do
    path="$root/usr/share/icons/hicolor/${size}x${size}/apps/$app.png"
    [ -f "$path" ] && [ "$(png_size "$path")" != "${size}x${size}" ] &&
      fail "$what: the ${size}px icon is $(png_size "$path")"
  done
  # The manual shows only pictures that are installed beside it.
  for path in $(grep -o 'src="[^"]*"' "$root/usr/share/doc/brinewatch/manual.html" | cut -d'"' -f2); do
    [ "$with_trend" = OFF ] && [ "$path" = screenshots/trend-day.png ] && continue
    [ -f "$root/usr/share/doc/brinewatch/$path" ] ||
      fail "$what: the manual shows a missing $path (tools/take-screenshots takes the pictures)"
  done

  "$root/usr/bin/brinewatch-adapter-sim" --help | grep -q -- '--conversion-ms' ||
    fail "$what: brinewatch-adapter-sim --help"
  "$root/usr/bin/brinewatchd" --help | grep -q -- '--site' || fail "$what: brinewatchd --help"
  if have systemd-analyze; then
    # The units as systemd reads them, and hardened to an exposure that rates OK:
    # the one logger's, and an instance of the template, which systemd reads
    # from a file of the instance's name. Verified on this system's units, with
    # the program they start where it is installed here.
    local unit units=("$root/usr/lib/systemd/system/brinewatchd.service")
    mkdir -p "$work/unit"
    cp "$root/usr/lib/systemd/system/brinewatchd@.service" "$work/unit/brinewatchd@tank1.service"
    units+=("$work/unit/brinewatchd@tank1.service")
    for unit in "${units[@]}"; do
      sed "s|^ExecStart=/|ExecStart=$root/|" "$unit" >"$work/unit/verified-$(basename "$unit")"
      mv "$work/unit/verified-$(basename "$unit")" "$work/unit/$(basename "$unit")"
      systemd-analyze verify --man=no "$work/unit/$(basename "$unit")" >"$work/verify" 2>&1 ||
        { cat "$work/verify"; fail "$what: systemd-analyze verify $(basename "$unit")"; }
      [ -s "$work/verify" ] &&
        { cat "$work/verify"; fail "$what: systemd-analyze verify $(basename "$unit") says something"; }
      systemd-analyze security --offline=true --threshold=49 "$unit" >"$work/security" 2>&1 ||
        { tail -3 "$work/security"; fail "$what: $(basename "$unit")'s exposure is above OK"; }
    done
    # The template is the one logger's unit but for its name, site file and
    # state folder: the same restarts, watchdog and hardening.
    same() { grep -v -E '^(#|$|Description=|ExecStart=|SyslogIdentifier=|StateDirectory=)' "$1"; }
    [ "$(same "$root/usr/lib/systemd/system/brinewatchd.service")" = \
      "$(same "$root/usr/lib/systemd/system/brinewatchd@.service")" ] ||
      fail "$what: brinewatchd@.service and brinewatchd.service differ in more than the instance"
  else
    echo "systemd-analyze not installed: the unit not checked"
  fi
  # The example site file is the table built in, and the program reads it.
  [ "$("$root/usr/bin/brinewatch" --check-site "$root/usr/share/doc/brinewatch/examples/site.toml" |
      grep -c '/1Wire/ReadDS18B20.html')" = 16 ] ||
    fail "$what: brinewatch --check-site does not take the example site file"
  if [ "$with_trend" = ON ]; then
    QT_QPA_PLATFORM=offscreen "$root/usr/bin/brinewatch-trend" --help | grep -q -- '--csv' ||
      fail "$what: brinewatch-trend --help"
  fi

  if have desktop-file-validate; then
    for path in "$root"/usr/share/applications/*.desktop; do
      desktop-file-validate "$path" || fail "$what: desktop-file-validate $(basename "$path")"
      icon=$(sed -n 's/^Icon=//p' "$path")
      [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
        fail "$what: $(basename "$path") names the icon $icon, which is not installed"
    done
  else
    echo "desktop-file-validate not installed: desktop entries not validated"
  fi
  if have appstreamcli; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >"$work/appstream" 2>&1 ||
      { cat "$work/appstream"; fail "$what: appstreamcli validate"; }
  else
    echo "appstreamcli not installed: metadata not validated"
  fi
  if have man; then
    for path in "$root"/usr/share/man/man1/*.1.gz; do
      out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$path" 2>&1 >/dev/null || true)
      [ -z "$out" ] || fail "$what: $(basename "$path"): $out"
    done
  fi
}

check_deb() {
  local deb="$1" field
  [ "$(basename "$deb")" = brinewatch_1.0.0_amd64.deb ] || fail "package is named $(basename "$deb")"
  for field in Package Version Architecture Maintainer Description Depends Section; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "package has no $field field"
  done
  dpkg-deb -f "$deb" Depends | grep -q 'libqt6core6' || fail "Depends does not name the Qt libraries"
  dpkg-deb -x "$deb" "$work/deb"
  check_tree "$work/deb" "the package"
  if [ -n "$help_file" ]; then
    grep -qaF "$help_file" "$work/deb/usr/bin/brinewatch" ||
      fail "the packaged brinewatch does not open $help_file"
    [ -f "$work/deb/$help_file" ] || fail "the help file $help_file is not in the package"
  fi
  if have lintian; then
    # Errors fail; the warnings left are explained in the README.
    lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
  else
    echo "lintian not installed: package not checked"
  fi
}

case "$mode" in
  tree)
    DESTDIR="$work/root" cmake --install "$source" --prefix /usr >/dev/null
    check_tree "$work/root" "cmake --install"
    # The build's own package, laid out as the packaged one is.
    cpack -G DEB --config "$source/CPackConfig.cmake" -B "$work/pkg" \
          -D CPACK_PACKAGING_INSTALL_PREFIX=/usr >"$work/cpack.out" 2>&1 ||
      { cat "$work/cpack.out"; fail "cpack"; }
    deb=$(ls "$work"/pkg/*.deb 2>/dev/null | head -1)
    if [ -n "$deb" ]; then check_deb "$deb"; else fail "cpack wrote no package"; fi
    ;;
  deb) check_deb "$source" ;;
  *) echo "usage: $0 tree BUILD_DIR WITH_TREND | deb FILE.deb WITH_TREND [HELP_FILE]"; exit 2 ;;
esac

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "installed files, programs, validators and package all pass"
