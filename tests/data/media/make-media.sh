#!/bin/sh
# Makes the small Ogg Vorbis files that the sample tests, the sample fuzz
# seeds and the documents' tests read. The files are committed; this script
# only records how they were made. It needs sox and oggenc (Debian packages
# sox and vorbis-tools), which the player itself does not use.
#
#   sh tests/data/media/make-media.sh
#
# Every file gets a fixed serial number so that the output is the same on
# every run and so that files can be chained (a chain needs one serial per
# link). Tones are sines of known frequency and amplitude; the tests check
# their rate, channels, exact frame count, RMS and zero crossings.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# tone NAME RATE SECONDS-OR-SAMPLES SERIAL SYNTH...
tone() {
    name=$1 rate=$2 length=$3 serial=$4
    shift 4
    sox -q -r "$rate" -n -b 16 -D "$tmp/$name.wav" synth "$length" "$@"
    oggenc -Q -q 1 -s "$serial" -o "$name.ogg" "$tmp/$name.wav"
}

# 440 Hz at half scale, mono, 0.25 s (11025 frames).
tone sine-44100-mono 44100 0.25 1001 sine 440 vol 0.5
# Left 440 Hz at half scale, right 1000 Hz at quarter scale, 0.2 s (8820 frames).
tone sine-44100-stereo 44100 0.2 1002 sine 440 sine 1000 remix 1v0.5 2v0.25
# 440 Hz at half scale, mono, 0.3 s (6615 frames).
tone sine-22050-mono 22050 0.3 1003 sine 440 vol 0.5
# Left 440 Hz at half scale, right 1000 Hz at quarter scale, exactly 1000 frames.
tone sine-22050-stereo 22050 1000s 1004 sine 440 sine 1000 remix 1v0.5 2v0.25
# The 44100 Hz mono tone again under another serial, to chain it to itself.
tone sine-44100-mono-b 44100 0.25 1005 sine 440 vol 0.5

# A valid stream without audio: headers only, 0 frames.
sox -q -r 44100 -c 1 -n -b 16 -D "$tmp/empty.wav" trim 0 0
oggenc -Q -q 1 -s 1006 -o empty-44100-mono.ogg "$tmp/empty.wav"

# Chains: links concatenated. The first changes rate and channels at its
# second link; the second keeps the format.
cat sine-22050-stereo.ogg sine-44100-mono.ogg >chained-22050-stereo-44100-mono.ogg
cat sine-44100-mono.ogg sine-44100-mono-b.ogg >chained-44100-mono-twice.ogg
rm sine-44100-mono-b.ogg

# The same small files seed the sample fuzz target.
seeds=../../../fuzz/seeds/fuzz_sample
mkdir -p "$seeds"
cp sine-44100-mono.ogg sine-44100-stereo.ogg sine-22050-mono.ogg sine-22050-stereo.ogg \
   empty-44100-mono.ogg chained-22050-stereo-44100-mono.ogg "$seeds/"
