#!/bin/sh
# Makes the small Ogg Theora movies that the movie stream tests, the movie
# fuzz seeds and the movie benchmark read. The files are committed; this
# script only records how they were made. It needs ffmpeg built with libtheora
# and libvorbis (Debian package ffmpeg), which the player itself does not use.
#
#   sh tests/data/movies/make-movies.sh
#
# Pictures are generated directly in YCbCr (4:4:4, then subsampled, which
# keeps odd sizes) with known values, so the tests can check converted pixels
# against the conversion of those values:
#   ramp   grey (Cb = Cr = 128) whose upper half has the luma 16 + 2 x the
#          frame index, so a picture tells which frame it is, and whose lower
#          half stays at luma 128 (the unchanged half keeps the encoder to
#          inter frames between the keyframes);
#   split  left part (x < 16) Y 81 Cb 90 Cr 240 (a red), the rest
#          Y 145 Cb 54 Cr 34 (a green);
#   flat   one colour per picture, Cb 100, Cr 160 and Y 100 + 3 x (half the
#          frame index, rounded down, modulo 40): every second picture
#          changes.
# The encoder writes no packet for a picture that repeats the one before (the
# granule positions of the pages skip it), so every movie is cut to end on a
# coded picture: a keyframe or a change. Bit-exact flags keep the output
# (serial numbers, encoder strings) the same on every run.
set -eu
cd "$(dirname "$0")"

exact="-fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1"
split_geq="geq=lum='if(lt(X/SW,16),81,145)':cb='if(lt(X/SW,16),90,54)':cr='if(lt(X/SW,16),240,34)'"

# movie NAME VIDEO-FILTER FRAMES FORMAT GOP [AUDIO-ARGS...]
movie() {
    name=$1 video=$2 frames=$3 format=$4 gop=$5
    shift 5
    # shellcheck disable=SC2086
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "$video,format=$format" "$@" \
        -frames:v "$frames" -c:v libtheora -q:v 10 -g "$gop" -pix_fmt "$format" $exact "$name"
}

# 101 frames at 25 fps (4 s), 32 x 24, 4:2:0, a keyframe every 16 frames, no
# audio.
movie ramp-420-25fps.ogv "color=black:s=32x24:r=25,format=yuv444p,geq=lum='if(lt(Y,12),16+2*N,128)':cb=128:cr=128" \
    101 yuv420p 16

# 25 frames at 30000/1001 fps, odd size 33 x 17, 4:4:4, a keyframe every 8
# frames, stereo Vorbis at 44100 Hz (one second of a 440 Hz tone).
movie split-444-2997fps-stereo.ogv "color=black:s=33x17:r=30000/1001,format=yuv444p,$split_geq" \
    25 yuv444p 8 \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=1" -ac 2 -c:a libvorbis -q:a 0

# 9 frames at 15 fps, odd size 35 x 21, 4:2:2, a keyframe every 8 frames,
# mono Vorbis at 22050 Hz (one second of a 440 Hz tone).
movie split-422-15fps-mono.ogv "color=black:s=35x21:r=15,format=yuv444p,$split_geq" \
    9 yuv422p 8 \
    -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=1" -ac 1 -c:a libvorbis -q:a 0

# 9 frames at 25/2 fps, odd size 37 x 19, 4:2:0, a keyframe every 4 frames,
# no audio.
movie split-420-12.5fps.ogv "color=black:s=37x19:r=25/2,format=yuv444p,$split_geq" 9 yuv420p 4

# The benchmark's movie: 301 frames of 640 x 480 at 30 fps (10 s), a keyframe
# every 64 frames.
movie flat-640x480.ogv "color=black:s=640x480:r=30,format=yuv444p,geq=lum='100+3*mod(floor(N/2),40)':cb=100:cr=160" 301 yuv420p 64

# The small movies seed the movie fuzz target.
seeds=../../../fuzz/seeds/fuzz_movie
mkdir -p "$seeds"
cp ramp-420-25fps.ogv split-444-2997fps-stereo.ogv split-422-15fps-mono.ogv split-420-12.5fps.ogv "$seeds/"
