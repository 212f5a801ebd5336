// MIDI file length (see midi_length.h).
#include "sound/midi_length.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qrn {

namespace {

constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note (120 bpm)

uint32_t be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

struct TempoChange {
  uint64_t tick;
  uint32_t tempo;
};

struct Track {
  uint64_t end_tick = 0;
  std::vector<TempoChange> tempos;
};

// A variable-length quantity of at most four bytes; false past the end or on a longer one.
bool read_vlq(const uint8_t* p, size_t size, size_t& at, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= size) return false;
    uint8_t b = p[at++];
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

Track read_track(const uint8_t* p, size_t size) {
  Track track;
  size_t at = 0;
  uint64_t tick = 0;
  uint8_t running = 0;
  while (at < size) {
    uint32_t delta;
    if (!read_vlq(p, size, at, delta) || at >= size) break;
    uint64_t event_tick = tick + delta;
    uint8_t status = p[at];
    if (status & 0x80) {
      ++at;
    } else if (running) {
      status = running;
    } else {
      break;  // data without a status
    }
    if (status < 0xF0) {
      size_t data = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, channel pressure: 1
      if (size - at < data) break;
      at += data;
      running = status;
    } else if (status == 0xF0 || status == 0xF7) {
      uint32_t length;
      if (!read_vlq(p, size, at, length) || length > size - at) break;
      at += length;
      running = 0;
    } else if (status == 0xFF) {
      if (at >= size) break;
      uint8_t type = p[at++];
      uint32_t length;
      if (!read_vlq(p, size, at, length) || length > size - at) break;
      if (type == 0x51 && length >= 3) {
        uint32_t tempo = (uint32_t{p[at]} << 16) | (uint32_t{p[at + 1]} << 8) | p[at + 2];
        if (tempo > 0) track.tempos.push_back({event_tick, tempo});
      }
      at += length;
      running = 0;
      tick = event_tick;
      track.end_tick = tick;
      if (type == 0x2F) break;  // end of track
      continue;
    } else {
      break;  // system messages do not belong in a file
    }
    tick = event_tick;
    track.end_tick = tick;
  }
  return track;
}

// Milliseconds at `end` ticks under a tempo map sorted by tick.
double ticks_to_ms(uint64_t end, const std::vector<TempoChange>& tempos, double ticks_per_quarter) {
  double us = 0.0;
  uint64_t tick = 0;
  uint32_t tempo = kDefaultTempo;
  for (const TempoChange& change : tempos) {
    if (change.tick >= end) break;
    us += static_cast<double>(change.tick - tick) * tempo / ticks_per_quarter;
    tick = change.tick;
    tempo = change.tempo;
  }
  us += static_cast<double>(end - tick) * tempo / ticks_per_quarter;
  return us / 1000.0;
}

// The bytes of the MIDI file inside a RIFF "RMID" wrapper, or the bytes themselves.
bool unwrap(const uint8_t*& bytes, size_t& size) {
  if (size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "RMID", 4) == 0) {
    size_t at = 12;
    while (size - at >= 8) {
      uint64_t length = uint32_t{bytes[at + 4]} | (uint32_t{bytes[at + 5]} << 8) |
                        (uint32_t{bytes[at + 6]} << 16) | (uint32_t{bytes[at + 7]} << 24);
      at += 8;
      if (std::memcmp(bytes + at - 8, "data", 4) == 0) {
        bytes += at;
        size = static_cast<size_t>(std::min<uint64_t>(length, size - at));
        return true;
      }
      uint64_t skip = length + (length & 1);
      if (skip > size - at) return false;
      at += static_cast<size_t>(skip);
    }
    return false;
  }
  return true;
}

}  // namespace

bool looks_like_midi(const uint8_t* bytes, size_t size) {
  if (!bytes) return false;
  if (size >= 4 && std::memcmp(bytes, "MThd", 4) == 0) return true;
  return size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "RMID", 4) == 0;
}

double midi_length_ms(const uint8_t* bytes, size_t size) {
  if (!bytes || !unwrap(bytes, size)) return -1.0;
  if (size < 14 || std::memcmp(bytes, "MThd", 4) != 0) return -1.0;
  uint32_t header = be32(bytes + 4);
  if (header < 6 || header > size - 8) return -1.0;
  uint16_t format = be16(bytes + 8);
  uint16_t track_count = be16(bytes + 10);
  uint16_t division = be16(bytes + 12);
  // Ticks per quarter note, or for SMPTE time frames per second x ticks per frame, which is
  // the same as ticks per quarter at a tempo of one second per quarter.
  double ticks_per_quarter = 0.0;
  bool smpte = (division & 0x8000) != 0;
  if (smpte) {
    int frames = -static_cast<int8_t>(division >> 8);
    int per_frame = division & 0xFF;
    double fps = frames == 29 ? 30000.0 / 1001.0 : frames;
    ticks_per_quarter = fps * per_frame;
  } else {
    ticks_per_quarter = division;
  }
  if (ticks_per_quarter <= 0.0 || format > 2) return -1.0;

  std::vector<Track> tracks;
  size_t at = 8 + static_cast<size_t>(header);
  while (size - at >= 8 && tracks.size() < track_count) {
    uint64_t length = be32(bytes + at + 4);
    bool is_track = std::memcmp(bytes + at, "MTrk", 4) == 0;
    at += 8;
    size_t available = static_cast<size_t>(std::min<uint64_t>(length, size - at));
    if (is_track) tracks.push_back(read_track(bytes + at, available));
    at += available;
  }

  if (smpte) {
    // Tempo changes do not apply to SMPTE time.
    for (Track& track : tracks) track.tempos.clear();
    for (Track& track : tracks) track.tempos.push_back({0, 1000000});
  }
  if (format == 2) {
    double total = 0.0;
    for (Track& track : tracks) {
      std::stable_sort(track.tempos.begin(), track.tempos.end(),
                       [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
      total += ticks_to_ms(track.end_tick, track.tempos, ticks_per_quarter);
    }
    return total;
  }
  std::vector<TempoChange> tempos;
  uint64_t end = 0;
  for (const Track& track : tracks) {
    tempos.insert(tempos.end(), track.tempos.begin(), track.tempos.end());
    end = std::max(end, track.end_tick);
  }
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  return ticks_to_ms(end, tempos, ticks_per_quarter);
}

}  // namespace qrn
