#!/usr/bin/env bash
# Gives the wine prefix in WINEPREFIX the font names of a Windows station, each standing for a
# Debian font: Times New Roman and Arial for their metric twins Liberation Serif and Liberation Sans,
# Microsoft Sans Serif, Tahoma (wine's system font) and Segoe UI for Liberation Sans. Without them Qt
# under wine finds none of the families the windows ask for, and draws everything in the first serif.
set -euo pipefail
reg=$(mktemp /tmp/registrator-wine-fonts.XXXXXX.reg)
trap 'rm -f "$reg"' EXIT
cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Times New Roman"="Liberation Serif"
"Arial"="Liberation Sans"
"Microsoft Sans Serif"="Liberation Sans"
"Tahoma"="Liberation Sans"
"Segoe UI"="Liberation Sans"
REG
wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
