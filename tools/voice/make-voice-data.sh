#!/bin/sh
# Lays out the voice data in the program folder: the pronunciation dictionary,
# one recording per syllable, the digit, word and chime files.
#   make-voice-data.sh TOOL READINGS PROGRAM_DIR WORK_DIR STAMP
# TOOL is kestrelo-voice; READINGS is Unihan_Readings.txt (or .bz2). The
# recordings come from espeak-ng's Mandarin voice that reads numbered pinyin,
# two at a time. STAMP is written last, so an interrupted run starts again.
set -eu
tool=$1 readings=$2 out=$3 work=$4 stamp=$5
voice=cmn-latn-pinyin
jobs=2

rm -f "$stamp"
rm -rf "$work"
mkdir -p "$work" "$out/wav" "$out/DZ.dll"

case $readings in
  *.bz2) bzcat "$readings" > "$work/readings.txt" ;;
  *) cp "$readings" "$work/readings.txt" ;;
esac
"$tool" dictionary "$work/readings.txt" "$out/DZ.dll/47432789826.dlt" "$work/syllables.txt"
"$tool" ding "$out/wav/ding.wav"

# What to say, tab, where the trimmed recording goes.
tab=$(printf '\t')
{
  n=0
  for s in ling2 yi1 er4 san1 si4 wu3 liu4 qi1 ba1 jiu3; do
    echo "$s$tab$out/wav/$n.wav"
    n=$((n + 1))
  done
  echo "dian3$tab$out/wav/dot.wav"
  echo "hao4$tab$out/wav/号.wav"
  echo "fen1$tab$out/wav/分.wav"
  echo "cuo4$tab$out/wav/错.wav"
  while read -r s; do
    echo "$s$tab$out/DZ.dll/$s.dlt"
  done < "$work/syllables.txt"
} > "$work/speech.txt"

split -n r/$jobs "$work/speech.txt" "$work/part."

speak_part() {
  part=$1
  i=0
  : > "$part.trim"
  while IFS="$tab" read -r text dest; do
    raw="$part.$i.wav"
    espeak-ng -v "$voice" -w "$raw" "$text"
    echo "$raw$tab$dest" >> "$part.trim"
    i=$((i + 1))
  done < "$part"
  "$tool" trim "$part.trim"
}

pids=""
for part in "$work"/part.*; do
  case $part in *.trim|*.wav) continue ;; esac
  speak_part "$part" &
  pids="$pids $!"
done
status=0
for pid in $pids; do
  wait "$pid" || status=1
done
[ "$status" -eq 0 ] || { echo "make-voice-data: a recording failed" >&2; exit 1; }

rm -rf "$work"
touch "$stamp"
