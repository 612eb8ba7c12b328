#!/usr/bin/env bash
# Makes GearGate's four sounds in package/sounds/, synthesised from scratch:
#   Shifter_Sequential.wav  shifter type now Sequential: two short equal beeps
#   Shifter_HPattern.wav    shifter type now H-Pattern: three rising notes
#   Shifter_AutoDetect.wav  shifter type now Auto detected: an upward glide
#   Shifter_Error.wav       missed gear: a harsh grind of filtered noise over a
#                           low rasping square, fading out quickly
# All are mono, 16-bit PCM, 22050 Hz. The generated files are committed, so the
# build needs no sox; sox (Debian package "sox") is needed only to regenerate
# them. The output is repeatable: -R fixes the seed of sox's noise generator and
# of its dither, so two runs give byte-identical files.
set -euo pipefail

OUT="${1:-$(cd "$(dirname "$0")/.." && pwd)/package/sounds}"
command -v sox >/dev/null || { echo "sox is not installed (apt-get install -y sox)" >&2; exit 1; }
mkdir -p "$OUT"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

RATE=22050
FORMAT=(-r "$RATE" -c 1 -b 16 -e signed-integer)
# -R: repeatable noise and dither. -V1: errors only.
sox_() { sox -R -V1 "$@"; }

# One sine beep of $2 seconds at $3 Hz with soft edges, into $1.
beep() { sox_ -n "${FORMAT[@]}" "$1" synth "$2" sine "$3" fade h 0.008 "$2" 0.03 gain -6; }
# Silence of $2 seconds into $1.
gap() { sox_ -n "${FORMAT[@]}" "$1" trim 0 "$2"; }

# Sequential: two equal short beeps, 1175 Hz.
beep "$WORK/s1.wav" 0.07 1175
gap "$WORK/s2.wav" 0.06
sox_ "$WORK/s1.wav" "$WORK/s2.wav" "$WORK/s1.wav" "${FORMAT[@]}" "$OUT/Shifter_Sequential.wav" gain -n -3

# H-Pattern: three rising notes, a major triad from 523 Hz.
beep "$WORK/h1.wav" 0.09 523.25
beep "$WORK/h2.wav" 0.09 659.25
beep "$WORK/h3.wav" 0.14 783.99
gap "$WORK/h0.wav" 0.02
sox_ "$WORK/h1.wav" "$WORK/h0.wav" "$WORK/h2.wav" "$WORK/h0.wav" "$WORK/h3.wav" "${FORMAT[@]}" \
  "$OUT/Shifter_HPattern.wav" gain -n -3

# Auto detected: one glide from 440 Hz up to 1320 Hz with a light warble.
sox_ -n "${FORMAT[@]}" "$OUT/Shifter_AutoDetect.wav" \
  synth 0.32 sine 440-1320 tremolo 18 30 fade h 0.01 0.32 0.08 gain -n -3

# Error: the grind. Brown noise band-passed around 1.8 kHz for the metal,
# a 70 Hz square with a fast tremolo for the rasp, mixed and faded out.
sox_ -n "${FORMAT[@]}" "$WORK/e_noise.wav" synth 0.6 brownnoise bandpass 1800 900h overdrive 12 gain -n -4
sox_ -n "${FORMAT[@]}" "$WORK/e_rasp.wav" synth 0.6 square 70 gain -6 tremolo 31 80 lowpass 2500 gain -n -6
sox_ -m "$WORK/e_noise.wav" "$WORK/e_rasp.wav" "${FORMAT[@]}" "$OUT/Shifter_Error.wav" \
  fade h 0.005 0.6 0.2 gain -n -2

for f in Shifter_Sequential Shifter_HPattern Shifter_AutoDetect Shifter_Error; do
  printf '%s.wav %s s\n' "$f" "$(soxi -D "$OUT/$f.wav")"
done
