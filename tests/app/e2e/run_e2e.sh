#!/bin/bash
# Runs one end-to-end driver against the real Tessarix.exe under Wine.
#   run_e2e.sh WINE_RUN DRIVER.exe TESSARIX.exe WORK_DIR [SCREENSHOT_DIR]
# The program's sounds go to the audio file sink that the build wrote into WORK_DIR/home
# (tessarix_alsa_home), and the browser launcher is a stand-in that records each address
# it is given. With SCREENSHOT_DIR the screenshots the driver saved are converted to PNG
# there.
set -u
wine_run=$1 driver=$2 exe=$3 work=$4 shots=${5:-}
mkdir -p "$work/home" "$work/bin"
cat >"$work/bin/xdg-open" <<OPEN
#!/bin/sh
printf '%s\n' "\$1" >>"$work/opened.txt"
OPEN
chmod +x "$work/bin/xdg-open"
export HOME="$work/home" PATH="$work/bin:$PATH" TESSARIX_EXE="$exe" TESSARIX_WORK="$work"
"$wine_run" "$driver"
rc=$?
if [ -n "$shots" ]; then
  for f in "$work"/*.bmp; do
    [ -f "$f" ] && convert "$f" "$shots/$(basename "${f%.bmp}").png"
  done
fi
exit $rc
