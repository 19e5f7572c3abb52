#!/usr/bin/env bash
# The application installed the way desktops expect it, checked from outside: `cmake --install`
# into a temporary prefix, then the installed tree alone, with a fresh home and a private
# session bus (and a virtual display when none is set).
#
#   install_test.sh files_and_start <build dir> <libdir> <settings_tool>
#     every installed file is there, the desktop entry and the metainfo pass their validators,
#     and the installed program installs its web root and shows its index page;
#   install_test.sh open_by_url <build dir> <libdir> <settings_tool>
#     the desktop names the installed entry for the URL scheme, and `gio open` starts the
#     installed program on the URL's page and hands a second URL to the running instance.
set -euo pipefail

ID=org.webcontainer.app
# A bound on waits, not a measure: a loaded machine has taken more than 20 s for a first page.
DEADLINE_S=120

fail() {
  echo "install_test: $*" >&2
  exit 1
}

# Polls the command until it succeeds, at most DEADLINE_S seconds.
wait_for() {
  local tick
  for ((tick = 0; tick < DEADLINE_S * 5; tick++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

if [[ ${1:-} != --on-private-bus ]]; then
  if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
  fi
  [[ $# -eq 4 ]] || fail "usage: install_test.sh files_and_start|open_by_url <build dir> <libdir> <settings_tool>"
  work=$(mktemp -d)
  # The page's and the network's processes of a stopped program end a moment after it.
  trap 'wait_for rm -rf "$work" 2>/dev/null' EXIT
  cmake --install "$2" --prefix "$work/prefix" >/dev/null
  mkdir -p "$work"/{home,data,config,cache,tmp}
  # The installed tree is the first place the desktop looks for programs, applications, D-Bus
  # services (the bus reads its folders when it starts) and icons; the system's folders follow
  # for the rest (GSettings schemas, the MIME database). GLib ignores a desktop entry whose
  # program is not on the PATH.
  export PATH=$work/prefix/bin:$PATH
  export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
  export XDG_DATA_DIRS=$work/prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share} TMPDIR=$work/tmp
  unset LANGUAGE LC_ALL LC_MESSAGES LANG XDG_CURRENT_DESKTOP WEBCONTAINER_LOG
  export WORK=$work
  dbus-run-session -- "$0" --on-private-bus "$@"
  exit 0
fi

shift
check=$1 libdir=$3 settings_tool=$4
prefix=$WORK/prefix
bundle=$prefix/share/webcontainer
webroot=$XDG_DATA_HOME/$ID/www
log=$WORK/log
started=""

# The installed program on the bus, when one runs.
running_pid() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$ID" 2>/dev/null | grep -o '[0-9]\+' | tail -1
}

stop_program() {
  local pid=${started:-$(running_pid || true)}
  if [[ -n "$pid" ]]; then
    kill "$pid" 2>/dev/null || true
    while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
  fi
}
trap stop_program EXIT

# Every entry of the bundled app.zip is in the web root.
web_root_installed() {
  local entry
  [[ -f "$webroot/index.html" ]] || return 1
  while IFS= read -r entry; do
    [[ -e "$webroot/$entry" ]] || return 1
  done < <(unzip -Z1 "$bundle/app.zip")
}

# The page value the landing page's query stored, read as the application reads its settings.
setting() {
  "$settings_tool" "$bundle" get "$1" 2>/dev/null
}

setting_is() {
  [[ "$(setting "$1")" == "$2" ]]
}

case $check in
files_and_start)
  while read -r file; do
    [[ -f "$prefix/$file" ]] || fail "not installed: $file"
  done <<EOF
bin/webcontainer
share/webcontainer/Info.plist
share/webcontainer/DefaultPreferences.plist
share/webcontainer/Products.json
share/webcontainer/app.zip
share/webcontainer/handytyp.png
share/webcontainer/reedlight_blume.png
share/webcontainer/en.lproj/Localizable.strings
share/webcontainer/de.lproj/Localizable.strings
$libdir/webcontainer/web-extensions/libwebcontainer_read_access.so
share/applications/$ID.desktop
share/metainfo/$ID.metainfo.xml
share/dbus-1/services/$ID.service
share/icons/hicolor/128x128/apps/$ID.png
share/icons/hicolor/256x256/apps/$ID.png
share/icons/hicolor/scalable/apps/$ID.svg
EOF
  [[ -x "$prefix/bin/webcontainer" ]] || fail "bin/webcontainer is not executable"
  # An icon whose size is not its folder's is skipped by the icon theme.
  for size in 128 256; do
    file "$prefix/share/icons/hicolor/${size}x$size/apps/$ID.png" | grep -q "PNG image data, $size x $size" \
      || fail "the ${size}x$size icon is not a $size px PNG"
  done
  desktop-file-validate "$prefix/share/applications/$ID.desktop" || fail "desktop-file-validate refused the entry"
  appstreamcli validate --no-net "$prefix/share/metainfo/$ID.metainfo.xml" || fail "appstreamcli refused the metainfo"

  # The installed program alone: its bundle and web extension are found from its own folder.
  WEBCONTAINER_LOG=debug "$prefix/bin/webcontainer" >"$log" 2>&1 &
  started=$!
  # The log line is the behaviour here: a program started on its own shows a finished page load
  # nowhere else.
  page_shown() {
    kill -0 "$started" 2>/dev/null || fail "the installed program ended early: $(tail -5 "$log")"
    grep -q "WEBVIEW: finished loading page" "$log"
  }
  wait_for page_shown || fail "the installed program showed no page within ${DEADLINE_S} s"
  web_root_installed || fail "the web root misses files of app.zip"
  # The engine keeps the page's data in the application's folder, none under the program's name.
  [[ -d "$XDG_DATA_HOME/$ID/website-data" ]] || fail "no website data in $XDG_DATA_HOME/$ID"
  for folder in "$XDG_DATA_HOME/webcontainer" "$XDG_CACHE_HOME/webcontainer"; do
    [[ ! -e "$folder" ]] || fail "website data in $folder"
  done
  # The page's process loaded the installed extension that confines its file reads.
  extension=$prefix/$libdir/webcontainer/web-extensions/libwebcontainer_read_access.so
  grep -qsF "$extension" /proc/[0-9]*/maps || fail "no page process loaded $extension"
  ;;
open_by_url)
  update-desktop-database "$prefix/share/applications"
  handler=$(xdg-mime query default x-scheme-handler/$ID)
  [[ "$handler" == "$ID.desktop" ]] || fail "the desktop's handler for the URL scheme is '$handler'"

  gio open "$ID://open/info.html?x=1"
  wait_for setting_is cli_x 1 || fail "the URL's page did not open within ${DEADLINE_S} s"
  first=$(running_pid) || fail "no instance of the application on the bus"
  [[ "$(readlink -f "/proc/$first/exe")" == "$(readlink -f "$prefix/bin/webcontainer")" ]] \
    || fail "the instance on the bus is not the installed program"
  web_root_installed || fail "the web root misses files of app.zip"

  # A second URL reaches the instance that runs.
  gio open "$ID://open/info.html?y=2"
  wait_for setting_is cli_y 2 || fail "the second URL did not reach the running instance within ${DEADLINE_S} s"
  [[ "$(running_pid)" == "$first" ]] || fail "the second URL started another instance"
  ;;
*)
  fail "unknown check $check"
  ;;
esac
