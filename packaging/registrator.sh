#!/bin/sh
# Starts Registrator from this folder, whatever the current one: the settings file is kept beside
# the program and the archive goes to Data/ here. Arguments go to the program (--simulate,
# --port /dev/parport1). "registrator.sh --menu-entry" adds the program to this user's menu,
# "registrator.sh --autostart" starts it whenever this user's desktop session starts.
here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P) || exit 1
cd "$here" || exit 1

if [ "${1:-}" = "--menu-entry" ] || [ "${1:-}" = "--autostart" ]; then
    # The menu, or the session's autostart folder: a station that logs its operator in on its own
    # then starts recording with the desktop.
    if [ "$1" = "--autostart" ]; then
        apps=${XDG_CONFIG_HOME:-$HOME/.config}/autostart
    else
        apps=${XDG_DATA_HOME:-$HOME/.local/share}/applications
    fi
    mkdir -p "$apps" || exit 1
    # A desktop entry needs absolute paths; quotes keep a folder with blanks in one piece.
    escaped=$(printf '%s' "$here" | sed -e 's/[\\|&]/\\&/g' -e 's/["`$]/\\\\&/g')
    sed -e "s|^Exec=.*|Exec=\"$escaped/registrator.sh\"|" -e "s|^Icon=.*|Icon=$escaped/registrator.svg|" \
        registrator.desktop >"$apps/registrator.desktop" || exit 1
    echo "Added $apps/registrator.desktop"
    exit 0
fi

# The Qt, QCustomPlot, libmosquitto and libxlsxwriter libraries come from the system; name the Debian packages that are missing.
missing=$(ldd ./Registrator 2>/dev/null | awk '/not found/ { print $1 }')
if [ -n "$missing" ]; then
    packages=
    for lib in $missing; do
        case $lib in
        libQt6Core.so*) package=libqt6core6 ;;
        libQt6Gui.so*) package=libqt6gui6 ;;
        libQt6Widgets.so*) package=libqt6widgets6 ;;
        libQt6PrintSupport.so*) package=libqt6printsupport6 ;;
        libQt6DBus.so*) package=libqt6dbus6 ;;
        libQt6Network.so*) package=libqt6network6 ;;
        libQt6WebSockets.so*) package=libqt6websockets6 ;;
        libQCustomPlotQt6.so*) package=libqcustomplot2.1-qt6 ;;
        libmosquitto.so*) package=libmosquitto1 ;;
        libxlsxwriter.so*) package=libxlsxwriter4 ;;
        libQt6Multimedia.so*) package=libqt6multimedia6 ;;
        *) package="(the package holding $lib)" ;;
        esac
        case " $packages " in
        *" $package "*) ;;
        *) packages="$packages $package" ;;
        esac
    done
    echo "Registrator cannot start: these system libraries are missing:" >&2
    for lib in $missing; do
        echo "  $lib" >&2
    done
    echo "Install them with: sudo apt-get install$packages" >&2
    exit 127
fi

if [ ! -d Data ]; then
    echo "Warning: there is no Data folder in $here, so nothing will be archived." >&2
fi
exec ./Registrator "$@"
