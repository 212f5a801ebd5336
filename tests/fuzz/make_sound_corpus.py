#!/usr/bin/env python3
"""Writes the seed corpus of the sound fuzz targets (WAV reader, MIDI and MP3 lengths) into
tests/fuzz/corpus/{wav,midi,mp3}/. Run it again after changing the seeds; the files are
committed, so the fuzz runs need no tools."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(cid, body):
    out = cid + struct.pack("<I", len(body)) + body
    return out + (b"\0" if len(body) % 2 else b"")


def fmt(channels, rate, bits, tag=1, extra=b""):
    block = channels * (bits // 8)
    return struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits) + extra


def riff(kind, chunks):
    return b"RIFF" + struct.pack("<I", 4 + len(chunks)) + kind + chunks


def wav_seeds():
    tone = b"".join(struct.pack("<h", int(8000 * math.sin(i / 4))) for i in range(64))
    ext = struct.pack("<HHI", 22, 16, 3) + struct.pack("<H", 1) + bytes(14)
    return {
        "pcm16_mono.wav": riff(b"WAVE", chunk(b"fmt ", fmt(1, 22050, 16)) + chunk(b"data", tone)),
        "u8_odd_chunks.wav": riff(b"WAVE", chunk(b"LIST", b"abc") + chunk(b"fmt ", fmt(1, 8000, 8, 1, b"\0\0"))
                                  + chunk(b"fact", b"x") + chunk(b"data", bytes(range(0x70, 0x91)))),
        "float_stereo.wav": riff(b"WAVE", chunk(b"fmt ", fmt(2, 48000, 32, 3)) + chunk(b"data", bytes(32))),
        "extensible_24.wav": riff(b"WAVE", chunk(b"fmt ", fmt(2, 44100, 24, 0xFFFE, ext)) + chunk(b"data", bytes(24))),
        "eight_channels.wav": riff(b"WAVE", chunk(b"fmt ", fmt(8, 22050, 16)) + chunk(b"data", bytes(48))),
    }


def vlq(v):
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.insert(0, 0x80 | (v & 0x7F))
        v >>= 7
    return bytes(out)


def smf(fmt_, division, tracks):
    out = b"MThd" + struct.pack(">IHHH", 6, fmt_, len(tracks), division)
    for t in tracks:
        out += b"MTrk" + struct.pack(">I", len(t)) + t
    return out


def midi_seeds():
    eot = b"\0\xFF\x2F\0"
    tempo = vlq(240) + b"\xFF\x51\x03\x0F\x42\x40"
    notes = b"\0\xC0\x05\0\x90\x3C\x40" + vlq(240) + b"\x3C\x00" + b"\0\xF0\x03\x7E\x7F\xF7" + vlq(480) + b"\x80\x3C\0" + eot
    song = smf(0, 480, [tempo + notes])
    return {
        "format0.mid": song,
        "format1.mid": smf(1, 96, [tempo + eot, notes]),
        "format2.mid": smf(2, 480, [vlq(960) + eot[1:], notes]),
        "smpte.mid": smf(0, 0xE728, [vlq(2500) + eot[1:]]),
        "rmid.rmi": riff(b"RMID", chunk(b"data", song)),
    }


def mp3_frame(body=b""):
    frame = b"\xFF\xFB\x90\x00" + body
    return frame + b"\x55" * (417 - len(frame))


def mp3_seeds():
    frames = mp3_frame() * 4
    lame = b"LAME3.100" + bytes(12) + b"\x24\x03\xE8"
    xing = mp3_frame(bytes(32) + b"Xing" + struct.pack(">II", 3, 4) + struct.pack(">I", 0) + lame)
    id3 = b"ID3\x03\0\0\0\0\0\x05abcde"
    mpeg2 = (b"\xFF\xF3\x40\xC0" + b"\0" * 140)[:144] * 3  # MPEG-2 layer III, 32 kbit/s, 16 kHz, mono
    return {"cbr.mp3": frames, "lame_gapless.mp3": xing + frames, "id3_tags.mp3": id3 + frames + b"TAG" + bytes(125),
            "mpeg2.mp3": mpeg2}


def main():
    for name, seeds in (("wav", wav_seeds()), ("midi", midi_seeds()), ("mp3", mp3_seeds())):
        folder = os.path.join(HERE, "corpus", name)
        os.makedirs(folder, exist_ok=True)
        for file_name, data in seeds.items():
            with open(os.path.join(folder, file_name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
