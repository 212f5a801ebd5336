// Meshes of the 3D engine: the vertex, frame and mesh records, the binary and text ".ddd"
// readers, the colour table and the triangle builder. The readers are plain functions on
// bytes (a disk file or a memory-file name through a FileStream) and need no window.
//
// Limits (a file beyond any of them is refused with "# read error\n" and its name):
// - a file holds at most MAX_MESH_FILE_BYTES bytes;
// - the vertex streams of a mesh (all frames together) hold at most MAX_MESH_VERTICES
//   vertices; a scene shares that budget among its meshes; a text frame lists at most
//   MAX_MESH_VERTICES vertices; a mesh has at most MAX_MESH_FRAMES frames;
// - a mesh has at most MESH_COLOUR_LIMIT distinct colours, markers included;
// - normal indexes are 0..161, colour indexes below the colour count, texture pairs at
//   least as many as any frame's vertices, corners name existing vertices and pairs;
// - a text token is at most MAX_DDD_TOKEN_BYTES bytes; counts are not negative and never
//   announce more than the rest of the file can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/text_value.h"
#include "files/file_stream.h"

namespace qrn {

// Colour values that are primitive markers: the vertices after one form triangles this way.
constexpr uint32_t PRIM_LIST = 0xFFFFFFFFu;   // independent triangles
constexpr uint32_t PRIM_STRIP = 0xFFFFFFFEu;  // a triangle strip
constexpr uint32_t PRIM_FAN = 0xFFFFFFFDu;    // a triangle fan
// Colours from this value up draw white (0xFFFFFFFC itself is an ordinary vertex).
constexpr uint32_t MESH_WHITE = 0xFFFFFFFCu;

// First four bytes of a binary mesh (17 B3 C6 00).
constexpr uint32_t DDD_MAGIC = 0x00C6B317u;
constexpr double DDD_MIN_VERSION = 1.02;
constexpr double DDD_MAX_VERSION = 2.0;
// Highest version of the text form ("DDDA"); at exactly this version vertices carry normals.
constexpr float DDDA_MAX_VERSION = 1.1f;

constexpr int32_t DDD_NORMAL_COUNT = 162;
// The 162 unit normals binary vertices refer to by index, in the MD2 format's order.
extern const float DDD_NORMALS[DDD_NORMAL_COUNT][3];

constexpr uint64_t MAX_MESH_FILE_BYTES = uint64_t{256} << 20;
constexpr uint32_t MAX_MESH_VERTICES = 1u << 20;
constexpr uint32_t MAX_MESH_FRAMES = 65536;
constexpr uint32_t MESH_COLOUR_LIMIT = 256;
constexpr uint32_t MAX_DDD_TOKEN_BYTES = 1023;
// Bytes of one "#" comment skipped at most (the "#" included); the rest of a longer line
// is read as tokens.
constexpr uint32_t DDD_COMMENT_BYTES = 512;

struct MeshVertex {
  float position[3] = {0, 0, 0};
  float normal[3] = {0, 0, 0};
  float u = 0, v = 0;
  uint32_t colour = 0;       // 0x00BBGGRR, or a primitive marker
  uint8_t colour_index = 0;  // index of colour in the mesh's colour table
  float rgba[4] = {0, 0, 0, 1};
};

struct MeshFrame {
  std::vector<MeshVertex> vertices;   // the stream as loaded, markers included
  std::vector<MeshVertex> triangles;  // three per triangle, made by build_triangles
};

class MeshObject {
 public:
  virtual ~MeshObject() = default;
  virtual void build_triangles() {}

  // Empties every list; texture numbers back to 0.
  void clear();

  std::vector<MeshFrame> frames;
  std::vector<uint32_t> colours;
  int32_t texture_a = 0;  // texture numbers into the scene's textures (0-based)
  int32_t texture_b = 0;
};

class MeshObjectX : public MeshObject {
 public:
  void build_triangles() override;
};

// rgba of a packed colour: the bytes / 255 with alpha 1; all 1.0 from MESH_WHITE up.
void set_vertex_colour(MeshVertex& vertex, uint32_t colour);

// Fills every frame's triangles from its vertex stream (markers choose list, strip or fan).
void build_triangles(MeshObject& mesh);
// Rebuilds colours and every vertex's colour_index from the packed colours; false (tables
// left partly built) when there are more than MESH_COLOUR_LIMIT distinct colours.
bool build_colour_table(MeshObject& mesh);

// How a read ended.
enum class DddRead { ok, read_error, out_of_memory };

// Reads a binary or text mesh from bytes into mesh (cleared first, and again on failure).
// vertex_budget caps the vertices of all frames together. The version message is logged here;
// the "# read error" and "# malloc error" lines are load_ddd's.
DddRead read_ddd_bytes(MeshObject& mesh, const uint8_t* data, size_t size,
                       uint32_t vertex_budget = MAX_MESH_VERTICES);

// Reads a mesh file (a disk path or a memory-file name). On failure logs "# read error\n"
// (or "# malloc error\n") and the name on its own line, clears the mesh and returns false.
bool load_ddd(MeshObject& mesh, const RtString& name, uint32_t vertex_budget = MAX_MESH_VERTICES);

// The engine's preparation of a mesh after build_triangles: triangles whose corners carry no
// normal (text meshes below version 1.1) get the normal of their face, so light falls on them.
void prepare_mesh(MeshObject& mesh);

// The vertices a mesh's streams hold, all frames together.
uint64_t mesh_vertex_count(const MeshObject& mesh);

// ---- For the engine's file readers --------------------------------------------------------
// Reads what is left of an open stream: a memory block is used in place, a disk file is read
// into owned. False when the stream is longer than limit or cannot be read in full.
bool read_rest_of_stream(FileStream& stream, uint64_t limit, std::vector<uint8_t>& owned,
                         const uint8_t*& data, size_t& size);

}  // namespace qrn
