#!/bin/bash
# Runs one end-to-end driver against the real Tessarix.exe under Wine.
#   run_e2e.sh WINE_RUN DRIVER.exe TESSARIX.exe WORK_DIR [SCREENSHOT_DIR]
# The program's sounds go to an audio file sink (ALSA's file plugin, behind a converter to
# 16-bit stereo at 44100 Hz, so the driver reads one fixed format), and the browser
# launcher is a stand-in that records each address it is given. With SCREENSHOT_DIR the
# screenshots the driver saved are converted to PNG there.
set -u
wine_run=$1 driver=$2 exe=$3 work=$4 shots=${5:-}
mkdir -p "$work/home" "$work/bin"
cat >"$work/home/.asoundrc" <<ASOUND
pcm.!default {
  type plug
  slave {
    pcm { type file; slave.pcm "null"; file "$work/audio.raw"; format "raw" }
    format S16_LE
    rate 44100
    channels 2
  }
}
ASOUND
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
