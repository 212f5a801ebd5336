// The binary and text ".ddd" readers, the colour table and the triangle builder (see mesh.h).
// Every count is checked against the bytes that are left before anything is allocated for
// it, so a hostile header costs no more memory than the file's own size.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "3d/mesh.h"
#include "core/errors.h"

namespace qrn {

namespace {

// ---- Binary form ------------------------------------------------------------------------------

// Little-endian values from a byte range; every read fails cleanly at the end.
class ByteCursor {
 public:
  ByteCursor(const uint8_t* data, size_t size) : at_(data), end_(data + size) {}
  size_t left() const { return static_cast<size_t>(end_ - at_); }
  bool bytes(void* out, size_t n) {
    if (n > left()) return false;
    std::memcpy(out, at_, n);
    at_ += n;
    return true;
  }
  bool u32(uint32_t& value) {
    uint8_t b[4];
    if (!bytes(b, 4)) return false;
    value = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
  }
  bool i32(int32_t& value) {
    uint32_t raw;
    if (!u32(raw)) return false;
    value = static_cast<int32_t>(raw);
    return true;
  }
  bool f32(float& value) {
    uint32_t raw;
    if (!u32(raw)) return false;
    std::memcpy(&value, &raw, 4);
    return true;
  }
  bool f64(double& value) {
    uint8_t b[8];
    if (!bytes(b, 8)) return false;
    uint64_t raw = 0;
    for (int i = 7; i >= 0; --i) raw = raw << 8 | b[i];
    std::memcpy(&value, &raw, 8);
    return true;
  }
  uint8_t byte() { return *at_++; }  // only after a check of left()

 private:
  const uint8_t* at_;
  const uint8_t* end_;
};

size_t distinct_colours(const std::vector<uint32_t>& colours) {
  std::unordered_map<uint32_t, bool> seen;
  for (uint32_t c : colours) {
    seen.emplace(c, true);
    if (seen.size() > MESH_COLOUR_LIMIT) break;
  }
  return seen.size();
}

void log_wrong_version(double version) {
  char line[512];
  std::snprintf(line, sizeof line, "Wrong .ddd version: %.2f. Can use 1.02-%.2f\n", version,
                DDD_MAX_VERSION);
  log_write(line);
}

DddRead read_binary(MeshObject& mesh, ByteCursor& in, uint32_t budget) {
  double version = 0;
  if (!in.f64(version)) return DddRead::read_error;
  if (!(version >= DDD_MIN_VERSION && version <= DDD_MAX_VERSION)) {
    log_wrong_version(version);
    return DddRead::read_error;
  }
  const bool quantised = version < DDD_MAX_VERSION;
  int32_t frame_count = 0, colour_count = 0, pair_count = 0;
  if (!in.i32(frame_count) || !in.i32(colour_count) || !in.i32(pair_count)) return DddRead::read_error;
  if (frame_count < 0 || colour_count < 0 || pair_count < 0) return DddRead::read_error;
  if (static_cast<uint32_t>(frame_count) > MAX_MESH_FRAMES) return DddRead::read_error;
  const uint64_t table_bytes = uint64_t(colour_count) * 4 + uint64_t(pair_count) * 8;
  const uint64_t frame_bytes = quantised ? 28 : 4;  // the smallest frame record
  if (table_bytes + uint64_t(frame_count) * frame_bytes > in.left()) return DddRead::read_error;

  mesh.colours.resize(static_cast<size_t>(colour_count));
  for (uint32_t& colour : mesh.colours) in.u32(colour);
  if (distinct_colours(mesh.colours) > MESH_COLOUR_LIMIT) return DddRead::read_error;
  std::vector<float> pairs(static_cast<size_t>(pair_count) * 2);
  for (float& value : pairs) in.f32(value);

  uint64_t total = 0;
  mesh.frames.reserve(static_cast<size_t>(frame_count));
  for (int32_t f = 0; f < frame_count; ++f) {
    int32_t count = 0;
    if (!in.i32(count) || count < 0 || count > pair_count) return DddRead::read_error;
    total += static_cast<uint32_t>(count);
    if (total > budget) return DddRead::read_error;
    float offset[3] = {0, 0, 0}, scale[3] = {1, 1, 1};
    if (quantised) {
      for (float& o : offset) in.f32(o);
      for (float& s : scale) {
        if (!in.f32(s)) return DddRead::read_error;
      }
    }
    const uint64_t vertex_bytes = quantised ? 5 : 14;
    if (uint64_t(count) * vertex_bytes > in.left()) return DddRead::read_error;

    mesh.frames.emplace_back();
    std::vector<MeshVertex>& vertices = mesh.frames.back().vertices;
    vertices.resize(static_cast<size_t>(count));
    for (int32_t n = 0; n < count; ++n) {
      MeshVertex& vertex = vertices[static_cast<size_t>(n)];
      if (quantised) {
        for (int axis = 0; axis < 3; ++axis) {
          vertex.position[axis] = (static_cast<float>(in.byte()) - offset[axis]) * scale[axis];
        }
      } else {
        for (float& p : vertex.position) in.f32(p);
      }
      const uint8_t normal = in.byte();
      const uint8_t colour = in.byte();
      if (normal >= DDD_NORMAL_COUNT || colour >= colour_count) return DddRead::read_error;
      std::memcpy(vertex.normal, DDD_NORMALS[normal], sizeof vertex.normal);
      vertex.u = pairs[static_cast<size_t>(n) * 2];
      const float v = pairs[static_cast<size_t>(n) * 2 + 1];
      vertex.v = quantised ? -v : v;
      vertex.colour_index = colour;
      set_vertex_colour(vertex, mesh.colours[colour]);
    }
  }
  return DddRead::ok;
}

// ---- Text form --------------------------------------------------------------------------------

bool is_separator(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The tokens of a text mesh. A token longer than MAX_DDD_TOKEN_BYTES makes the reader fail;
// tokens past the end read as empty (numbers as 0).
class TokenReader {
 public:
  TokenReader(const uint8_t* data, size_t size) : at_(data), end_(data + size) {}

  bool failed() const { return failed_; }
  // An upper bound of the tokens that can still follow: each needs a byte and a separator.
  uint64_t tokens_left() const { return (static_cast<uint64_t>(end_ - at_) + 1) / 2; }

  // The next token into text (NUL-terminated); false at the end or after a failure.
  bool next(char (&text)[MAX_DDD_TOKEN_BYTES + 1]) {
    text[0] = 0;
    if (failed_) return false;
    for (;;) {
      while (at_ < end_ && is_separator(*at_)) ++at_;
      if (at_ < end_ && *at_ == '#') {
        skip_comment();
        continue;
      }
      break;
    }
    if (at_ == end_) return false;
    size_t length = 0;
    while (at_ < end_ && !is_separator(*at_) && *at_ != '#') {
      if (length == MAX_DDD_TOKEN_BYTES) {
        failed_ = true;
        return false;
      }
      text[length++] = static_cast<char>(*at_++);
    }
    text[length] = 0;
    return true;
  }

  // The next token as the C library reads a double, rounded to a float; 0 when missing.
  float number() {
    char text[MAX_DDD_TOKEN_BYTES + 1];
    if (!next(text)) return 0.0f;
    return static_cast<float>(std::strtod(text, nullptr));
  }

 private:
  // A comment runs to the end of its line, but at most DDD_COMMENT_BYTES bytes are skipped.
  void skip_comment() {
    uint32_t skipped = 0;
    while (at_ < end_ && *at_ != '\n' && skipped < DDD_COMMENT_BYTES) {
      ++at_;
      ++skipped;
    }
  }

  const uint8_t* at_;
  const uint8_t* end_;
  bool failed_ = false;
};

// A count or index: the float truncated toward zero; false when it is negative, not a number
// or beyond 32 bits.
bool whole_number(float value, int64_t& out) {
  if (!(value > -1.0f) || value >= 2147483648.0f) return false;
  out = static_cast<int64_t>(value);
  return true;
}

// A count whose items (each at least `tokens_per_item` tokens) must at least begin within
// the rest of the file.
bool read_count(TokenReader& in, uint64_t tokens_per_item, int64_t& count) {
  if (!whole_number(in.number(), count) || in.failed()) return false;
  return count == 0 || uint64_t(count - 1) * tokens_per_item < in.tokens_left();
}

// The low byte of a colour component.
uint32_t colour_byte(float value) {
  if (!(value == value)) return 0;
  double clamped = std::fmax(-2147483648.0, std::fmin(2147483647.0, static_cast<double>(value)));
  return static_cast<uint32_t>(static_cast<int64_t>(clamped)) & 0xFFu;
}

struct TextCorner {
  int64_t vertex;
  int64_t pair;
};

struct TextPolygon {
  uint32_t colour;
  size_t first_corner;
  size_t corner_count;
};

DddRead read_text(MeshObject& mesh, TokenReader& in, uint32_t budget) {
  char word[MAX_DDD_TOKEN_BYTES + 1];
  if (!in.next(word) || std::strcmp(word, "DDDA") != 0) return DddRead::read_error;
  const float version = in.number();
  if (!(version <= DDDA_MAX_VERSION)) return DddRead::read_error;
  const bool has_normals = version == DDDA_MAX_VERSION;

  int64_t pair_count = 0;
  if (!read_count(in, 2, pair_count)) return DddRead::read_error;
  std::vector<float> pairs(static_cast<size_t>(pair_count) * 2);
  for (float& value : pairs) value = in.number();

  int64_t polygon_count = 0;
  if (!read_count(in, 4, polygon_count)) return DddRead::read_error;
  std::vector<TextPolygon> polygons(static_cast<size_t>(polygon_count));
  std::vector<TextCorner> corners;
  for (TextPolygon& polygon : polygons) {
    const uint32_t red = colour_byte(in.number());
    const uint32_t green = colour_byte(in.number());
    const uint32_t blue = colour_byte(in.number());
    polygon.colour = red | green << 8 | blue << 16;
    int64_t corner_count = 0;
    if (!read_count(in, 2, corner_count)) return DddRead::read_error;
    polygon.first_corner = corners.size();
    polygon.corner_count = static_cast<size_t>(corner_count);
    for (int64_t k = 0; k < corner_count; ++k) {
      TextCorner corner{};
      if (!whole_number(in.number(), corner.vertex) || !whole_number(in.number(), corner.pair))
        return DddRead::read_error;
      if (pair_count > 0 && corner.pair >= pair_count) return DddRead::read_error;
      corners.push_back(corner);
    }
  }
  if (in.failed()) return DddRead::read_error;

  int64_t frame_count = 0;
  if (!read_count(in, 1, frame_count) || frame_count > MAX_MESH_FRAMES) return DddRead::read_error;
  // Every frame's stream is a marker per polygon and a vertex per corner.
  const uint64_t stream_length = polygons.size() + corners.size();
  if (stream_length * static_cast<uint64_t>(frame_count) > budget) return DddRead::read_error;

  const int numbers_per_vertex = has_normals ? 6 : 3;
  std::vector<float> frame_vertices;
  mesh.frames.reserve(static_cast<size_t>(frame_count));
  for (int64_t f = 0; f < frame_count; ++f) {
    int64_t vertex_count = 0;
    if (!read_count(in, static_cast<uint64_t>(numbers_per_vertex), vertex_count) ||
        vertex_count > MAX_MESH_VERTICES)
      return DddRead::read_error;
    frame_vertices.assign(static_cast<size_t>(vertex_count) * 6, 0.0f);
    for (int64_t n = 0; n < vertex_count; ++n) {
      for (int i = 0; i < numbers_per_vertex; ++i) frame_vertices[static_cast<size_t>(n * 6 + i)] = in.number();
    }
    if (in.failed()) return DddRead::read_error;

    mesh.frames.emplace_back();
    std::vector<MeshVertex>& stream = mesh.frames.back().vertices;
    stream.reserve(static_cast<size_t>(stream_length));
    for (const TextPolygon& polygon : polygons) {
      MeshVertex marker;
      set_vertex_colour(marker, PRIM_FAN);
      stream.push_back(marker);
      for (size_t k = 0; k < polygon.corner_count; ++k) {
        const TextCorner& corner = corners[polygon.first_corner + k];
        if (corner.vertex >= vertex_count) return DddRead::read_error;
        const float* source = &frame_vertices[static_cast<size_t>(corner.vertex) * 6];
        MeshVertex vertex;
        std::memcpy(vertex.position, source, sizeof vertex.position);
        std::memcpy(vertex.normal, source + 3, sizeof vertex.normal);
        if (pair_count > 0) {
          vertex.u = pairs[static_cast<size_t>(corner.pair) * 2];
          vertex.v = -pairs[static_cast<size_t>(corner.pair) * 2 + 1];
        }
        set_vertex_colour(vertex, polygon.colour);
        stream.push_back(vertex);
      }
    }
  }
  return build_colour_table(mesh) ? DddRead::ok : DddRead::read_error;
}

}  // namespace

// ---- Records ------------------------------------------------------------------------------------

void MeshObject::clear() {
  frames.clear();
  frames.shrink_to_fit();
  colours.clear();
  colours.shrink_to_fit();
  texture_a = 0;
  texture_b = 0;
}

void MeshObjectX::build_triangles() { qrn::build_triangles(*this); }

void set_vertex_colour(MeshVertex& vertex, uint32_t colour) {
  vertex.colour = colour;
  if (colour >= MESH_WHITE) {
    for (float& channel : vertex.rgba) channel = 1.0f;
    return;
  }
  for (int i = 0; i < 3; ++i) vertex.rgba[i] = static_cast<float>((colour >> (8 * i)) & 0xFF) / 255.0f;
  vertex.rgba[3] = 1.0f;
}

uint64_t mesh_vertex_count(const MeshObject& mesh) {
  uint64_t total = 0;
  for (const MeshFrame& frame : mesh.frames) total += frame.vertices.size();
  return total;
}

// ---- Colour table and triangles -----------------------------------------------------------------

bool build_colour_table(MeshObject& mesh) {
  mesh.colours.clear();
  std::unordered_map<uint32_t, uint8_t> positions;
  for (MeshFrame& frame : mesh.frames) {
    for (MeshVertex& vertex : frame.vertices) {
      auto found = positions.find(vertex.colour);
      if (found == positions.end()) {
        if (mesh.colours.size() == MESH_COLOUR_LIMIT) return false;
        found = positions.emplace(vertex.colour, static_cast<uint8_t>(mesh.colours.size())).first;
        mesh.colours.push_back(vertex.colour);
      }
      vertex.colour_index = found->second;
    }
  }
  return true;
}

namespace {

// Walks a frame's stream and calls emit(a, b, c) for every triangle it forms.
template <typename Emit>
void walk_triangles(const MeshObject& mesh, const MeshFrame& frame, Emit emit) {
  uint32_t mode = PRIM_LIST;
  const MeshVertex* kept[3] = {nullptr, nullptr, nullptr};
  int collected = 0;
  bool strip_first = true;
  for (const MeshVertex& vertex : frame.vertices) {
    // The table decides; a vertex whose index lies outside it keeps its own colour.
    const uint32_t colour =
        vertex.colour_index < mesh.colours.size() ? mesh.colours[vertex.colour_index] : vertex.colour;
    if (colour == PRIM_LIST || colour == PRIM_STRIP || colour == PRIM_FAN) {
      mode = colour;
      collected = 0;
      strip_first = true;
      continue;
    }
    kept[collected++] = &vertex;
    if (collected < 3) continue;
    emit(*kept[0], *kept[1], *kept[2]);
    if (mode == PRIM_LIST) {
      collected = 0;
    } else if (mode == PRIM_FAN) {
      kept[1] = kept[2];
      collected = 2;
    } else {
      // The strip alternates which of the kept pair the next vertex replaces.
      if (strip_first) {
        kept[0] = kept[2];  // (c, b)
      } else {
        kept[1] = kept[2];  // (a, c)
      }
      strip_first = !strip_first;
      collected = 2;
    }
  }
}

}  // namespace

void build_triangles(MeshObject& mesh) {
  for (MeshFrame& frame : mesh.frames) {
    size_t count = 0;
    walk_triangles(mesh, frame, [&](const MeshVertex&, const MeshVertex&, const MeshVertex&) { ++count; });
    frame.triangles.clear();
    frame.triangles.reserve(count * 3);
    walk_triangles(mesh, frame, [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
      frame.triangles.push_back(a);
      frame.triangles.push_back(b);
      frame.triangles.push_back(c);
    });
  }
}

void prepare_mesh(MeshObject& mesh) {
  auto is_zero = [](const float* n) { return n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f; };
  for (MeshFrame& frame : mesh.frames) {
    for (size_t t = 0; t + 2 < frame.triangles.size(); t += 3) {
      MeshVertex* corner = &frame.triangles[t];
      if (!is_zero(corner[0].normal) || !is_zero(corner[1].normal) || !is_zero(corner[2].normal)) continue;
      float e1[3], e2[3];
      for (int i = 0; i < 3; ++i) {
        e1[i] = corner[1].position[i] - corner[0].position[i];
        e2[i] = corner[2].position[i] - corner[0].position[i];
      }
      float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
      const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      if (!(length > 0.0f) || !std::isfinite(length)) continue;
      for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 3; ++i) corner[c].normal[i] = n[i] / length;
      }
    }
  }
}

// ---- Reading ------------------------------------------------------------------------------------

DddRead read_ddd_bytes(MeshObject& mesh, const uint8_t* data, size_t size, uint32_t vertex_budget) {
  mesh.clear();
  DddRead result = DddRead::read_error;
  try {
    ByteCursor head(data, size);
    uint32_t magic = 0;
    if (head.u32(magic) && magic == DDD_MAGIC) {
      result = read_binary(mesh, head, vertex_budget);
    } else {
      TokenReader tokens(data, size);
      result = read_text(mesh, tokens, vertex_budget);
    }
  } catch (const std::bad_alloc&) {
    result = DddRead::out_of_memory;
  } catch (const std::length_error&) {
    result = DddRead::out_of_memory;
  }
  if (result != DddRead::ok) mesh.clear();
  return result;
}

bool read_rest_of_stream(FileStream& stream, uint64_t limit, std::vector<uint8_t>& owned,
                         const uint8_t*& data, size_t& size) {
  if (!stream_is_open(stream) || stream.position > stream.size) return false;
  const uint64_t left = stream.size - stream.position;
  if (left > limit) return false;
  if (stream.memory) {
    data = stream.memory + stream.position;
    size = static_cast<size_t>(left);
    stream.position = stream.size;
    return true;
  }
  owned.resize(static_cast<size_t>(left));
  if (left && !stream_read(stream, owned.data(), left)) return false;
  data = owned.data();
  size = owned.size();
  return true;
}

bool load_ddd(MeshObject& mesh, const RtString& name, uint32_t vertex_budget) {
  mesh.clear();
  DddRead result = DddRead::read_error;
  FileStream in;
  if (stream_open_read(in, name.data)) {
    std::vector<uint8_t> owned;
    const uint8_t* data = nullptr;
    size_t size = 0;
    try {
      if (read_rest_of_stream(in, MAX_MESH_FILE_BYTES, owned, data, size))
        result = read_ddd_bytes(mesh, data, size, vertex_budget);
    } catch (const std::bad_alloc&) {
      result = DddRead::out_of_memory;
    }
    stream_close(in);
  }
  if (result == DddRead::ok) return true;
  log_write(result == DddRead::out_of_memory ? "# malloc error\n" : "# read error\n");
  std::string line(name.data, name.length);
  line += "\n";
  log_write(line.c_str());
  mesh.clear();
  return false;
}

}  // namespace qrn
