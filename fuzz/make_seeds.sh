#!/usr/bin/env bash
# Writes the reader fuzzer's seed songs into fuzz/seeds/. Each song is spelled out below as
# hex bytes, event by event (delta time first), so that the seeds are small and every one
# starts the fuzzer on a different part of the reader. Run it again after changing a song.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p seeds

# Hex digits (spaces and line breaks ignored) as bytes on stdout.
bytes() {
    local hex
    hex=$(tr -d ' \n' <<<"$*")
    printf '%b' "$(sed 's/../\\x&/g' <<<"$hex")"
}
# A chunk: four-letter type, 32-bit big-endian length, data.
chunk() {
    local type=$1 hex
    hex=$(tr -d ' \n' <<<"$2")
    printf '%s' "$type"
    bytes "$(printf '%08x' $((${#hex} / 2)))$hex"
}
header() { chunk MThd "$(printf '%04x%04x%04x' "$1" "$2" "$3")"; }

# Format 0, division 96: tempo, track name, program, a GM On SysEx, a chord whose later notes
# use running status, a note off and note-ons with velocity 0, a controller, pitch bend,
# aftertouch.
{
    header 0 1 96
    chunk MTrk "
        00 FF 51 03 07 A1 20
        00 FF 03 04 73 65 65 64
        00 F0 05 7E 7F 09 01 F7
        00 C0 00
        00 B0 07 64
        00 90 3C 64  00 40 60  00 43 5C
        60 80 3C 40  00 90 40 00  00 43 00
        18 E0 00 50  18 D0 30  00 A0 3E 20
        30 90 3E 70  60 3E 00
        00 FF 2F 00"
} >seeds/format0.mid

# Format 1, division 480: a tempo track with a time signature and a marker, a MIP message and
# two tempo changes; a piano track with running status; a bass (program 33, one note at a
# time) and drums on channel 10 in one track.
{
    header 1 3 480
    chunk MTrk "
        00 FF 58 04 04 02 18 08
        00 FF 51 03 07 A1 20
        00 FF 06 05 73 74 61 72 74
        00 F0 0B 7F 7F 0B 01 00 02 01 03 09 05 F7
        83 60 FF 51 03 06 1A 80
        87 40 FF 51 03 08 7A 23
        00 FF 2F 00"
    chunk MTrk "
        00 FF 03 05 70 69 61 6E 6F
        00 C0 04
        00 90 3C 50  00 40 50  00 43 50
        83 60 3C 00  00 40 00  00 43 00
        00 3E 48  83 60 3E 00
        00 FF 2F 00"
    chunk MTrk "
        00 C1 21  00 C9 00
        00 91 24 64  00 99 24 70  00 2A 50
        81 70 99 2A 50
        81 70 81 24 40  00 89 24 40  00 2A 00
        00 91 26 64  83 60 81 26 40
        00 FF 2F 00"
} >seeds/format1.mid

# Format 0 with SMPTE timing (25 frames of 40 ticks): a SysEx sent in packets, an F7 escape,
# a meta event and a system message breaking a running-status run, a Channel Prefix.
{
    header 0 1 $((0xE728))
    chunk MTrk "
        00 FF 20 01 00
        00 F0 03 43 12 00
        0A F7 04 43 12 00 F7
        00 F7 02 F3 01
        00 90 30 40  0A 32 40  00 FF 01 03 61 62 63  00 34 40
        0A F8  00 90 30 00
        00 32 00  00 34 00
        00 FF 2F 00"
} >seeds/smpte-sysex.mid

# Format 1 with a short track, an unknown chunk between the tracks, a vibra channel's setup
# (bank 121/6, program 125) and a long delta time at division 1: the song lasts for days.
{
    header 1 2 1
    chunk MTrk "00 FF 51 03 0F 42 40  00 FF 2F 00"
    chunk XTRA "01 02 03 04"
    chunk MTrk "
        00 B0 07 01  00 B0 00 79  00 B0 20 06  00 C0 7D
        00 90 3C 7F  FF FF 7F 80 3C 00
        00 FF 2F 00"
} >seeds/long-vibra.mid
