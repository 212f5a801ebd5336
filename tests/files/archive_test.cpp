// Resource archives built with the kix_pack tool: lookups (found, base name and case,
// missing, empty entry), names of released blocks, the entry size limit, temporary-file
// mode, copying out, and damaged archives that must fail (or give an empty block) without
// reading outside the file.
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "quarnel.h"
#include "support/temp_dir.h"

using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }

// Runs a command; its exit status, with standard output and error in output.
int run(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shell_quoted(const std::string& path) { return "'" + path + "'"; }

// The bytes a memory-file name stands for.
std::string memory_bytes(const RtString& name) {
  const uint8_t* block = nullptr;
  uint64_t size = 0;
  if (!qrn::parse_memory_file_name(name.data, block, size)) return "<not a memory file>";
  return std::string(reinterpret_cast<const char*>(block), static_cast<size_t>(size));
}

uint32_t get32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

void put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    fake->temp_dir = dir.file("tmp/");
    qrn::create_directory(RtString(fake->temp_dir.c_str()));
    program = dir.file("prog");
    qrn::test::write_file(program, "#!program bytes#");
    qrn::test::write_file(dir.file("popup.png"), popup);
    qrn::test::write_file(dir.file("Data.TXT"), "line one\r\nline two\r\n");
    qrn::test::write_file(dir.file("empty.txt"), "");
    pack({"popup.png", "Data.TXT", "empty.txt"});
    for (const char* name : {"popup.png", "Data.TXT", "empty.txt"}) std::remove(dir.file(name).c_str());
    qrn::set_archive_paths(RtString(program.c_str()), RtString(program.c_str()));
  }
  void TearDown() override {
    for (qrn::ResourceArchive*& archive : qrn::g_runtime.resource_archives) {
      qrn::release_resource_archive(archive);
      archive = nullptr;
    }
  }

  void pack(const std::vector<std::string>& names) {
    std::string command = shell_quoted(QRN_KIX_PACK) + " " + shell_quoted(program);
    for (const std::string& name : names) command += " " + shell_quoted(dir.file(name));
    std::string output;
    ASSERT_EQ(run(command, output), 0) << output;
  }

  // Resolves a name; "" when it is found nowhere, else the bytes it reads as.
  std::string resolved(const char* name) {
    RtString text(name);
    if (!qrn::resolve_file_name(text)) {
      EXPECT_EQ(str(text), name);  // left unchanged
      return "";
    }
    return qrn::is_memory_file_name(text.data) ? memory_bytes(text) : "disk:" + str(text);
  }

  qrn::FakePlatformScope fake;
  qrn::test::TempDir dir;
  std::string program;
  std::string popup = std::string(3000, 'P') + "popup picture";
};

}  // namespace

TEST_F(ArchiveTest, LookupsByBaseNameIgnoringCase) {
  struct Case {
    const char* name;
    std::string expect;
  } cases[] = {
      {"gfx/Popup.PNG", popup},
      {"popup.png", popup},
      {"C:\\gfx\\POPUP.png", popup},
      {"deep/path/data.txt", "line one\r\nline two\r\n"},
      {"opup.png", ""},        // shorter than an entry name
      {"popup.pngx", ""},      // longer
      {"missing.png", ""},
      {"gfx/", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(resolved(c.name), c.expect);
  }
  // A file on disk wins, under its own name.
  EXPECT_EQ(resolved(program.c_str()), "disk:" + program);
  EXPECT_EQ(resolved(""), "");
}

TEST_F(ArchiveTest, BlocksLiveUntilTheNextLookupAndEmptyEntriesOpen) {
  RtString name("empty.txt");
  ASSERT_EQ(qrn::resolve_file_name(name), 1);
  qrn::FileStream stream;
  ASSERT_EQ(qrn::stream_open_read(stream, name.data), 1);
  EXPECT_EQ(stream.size, 0u);
  qrn::stream_close(stream);

  RtString first("popup.png");
  ASSERT_EQ(qrn::resolve_file_name(first), 1);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(qrn::g_runtime.resource_archives[0]->held_memory),
            std::strtoull(first.data + 15, nullptr, 16));
  RtString missing("nothing.png");
  EXPECT_EQ(qrn::resolve_file_name(missing), 0);
  EXPECT_EQ(qrn::g_runtime.resource_archives[0]->held_memory, nullptr);  // released
}

TEST_F(ArchiveTest, NamesOfReleasedBlocksAreMissingFilesAndOpenReadersKeepTheirBytes) {
  RtString popup_name("popup.png");
  ASSERT_EQ(qrn::resolve_file_name(popup_name), 1);
  EXPECT_EQ(qrn::file_exists(popup_name), 1);
  ASSERT_EQ(qrn::open_channel(0, popup_name, 1), 1);  // a reader of the block

  RtString data_name("data.txt");
  ASSERT_EQ(qrn::resolve_file_name(data_name), 1);  // releases the popup block
  EXPECT_EQ(memory_bytes(data_name), "line one\r\nline two\r\n");
  // Its own name, looked up again, is handed back rather than released.
  RtString again = data_name;
  ASSERT_EQ(qrn::resolve_file_name(again), 1);
  EXPECT_EQ(str(again), str(data_name));
  EXPECT_EQ(qrn::read_file_line(data_name, 1), RtString("line two"));
  // The kept name is stale: a missing file everywhere, never the freed (or reused) memory.
  EXPECT_EQ(qrn::file_exists(popup_name), 0);
  qrn::FileStream stream;
  EXPECT_EQ(qrn::stream_open_read(stream, popup_name.data), 0);
  EXPECT_EQ(qrn::open_channel(1, popup_name, 1), 0);
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(qrn::file_size(popup_name), 0);
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  RtString stale = popup_name;
  EXPECT_EQ(qrn::resolve_file_name(stale), 0);

  // The channel opened before the release still reads the whole entry.
  RtString bytes;
  qrn::read_bytes_text(0, bytes, static_cast<int32_t>(popup.size()));
  EXPECT_EQ(str(bytes), popup);
  qrn::close_channel(0);

  // A forged name is a missing file.
  RtString forged("mem://     100.  401000");
  EXPECT_EQ(qrn::file_exists(forged), 0);
  EXPECT_EQ(qrn::resolve_file_name(forged), 0);
  EXPECT_EQ(qrn::read_file_line(forged, 0), RtString("NO_FILE"));
}

TEST_F(ArchiveTest, LineFilesFromTheArchiveAreNeverMistakenForEachOther) {
  // Two entries of the same size: their blocks may take the same address in turn, and so
  // the same memory-file name.
  qrn::test::write_file(dir.file("a.txt"), "alpha\r\n");
  qrn::test::write_file(dir.file("b.txt"), "bravo\r\n");
  pack({"a.txt", "b.txt"});
  std::remove(dir.file("a.txt").c_str());
  std::remove(dir.file("b.txt").c_str());
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(qrn::read_file_line(RtString("a.txt"), 0), RtString("alpha"));
    EXPECT_EQ(qrn::read_file_line(RtString("b.txt"), 0), RtString("bravo"));
  }
}

TEST_F(ArchiveTest, EntriesUnpackUpToTheLimit) {
  // An archive held in memory: its entry is the limit's worth of zero bytes.
  const size_t limit = static_cast<size_t>(qrn::MAX_ARCHIVE_ENTRY_BYTES);
  std::string archive = "program";
  {
    std::vector<uint8_t> zeros(limit, 0);
    std::vector<uint8_t> packed(limit / 200 + 1024);
    std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
    ASSERT_EQ(lzo_init(), LZO_E_OK);
    lzo_uint packed_size = packed.size();
    ASSERT_EQ(lzo1x_1_compress(zeros.data(), zeros.size(), packed.data(), &packed_size, work.data()), LZO_E_OK);
    std::string entry(4, '\0');
    put32(entry, 0, static_cast<uint32_t>(limit));
    entry.append(reinterpret_cast<const char*>(packed.data()), packed_size);
    const size_t entry_at = archive.size();
    archive += entry;
    const size_t directory_at = archive.size();
    archive += std::string("\x08zero.bin", 9) + std::string(8, '\0');
    put32(archive, directory_at + 9, static_cast<uint32_t>(entry_at));
    put32(archive, directory_at + 13, static_cast<uint32_t>(entry.size()));
    archive += std::string(1, '\0') + "kiX" + std::string(4, '\0');
    put32(archive, archive.size() - 4, static_cast<uint32_t>(directory_at));
  }
  RtString archive_name = qrn::memory_file_name(archive.data(), static_cast<uint32_t>(archive.size()));
  qrn::set_archive_paths(archive_name, archive_name);
  RtString name("zero.bin");
  ASSERT_EQ(qrn::resolve_file_name(name), 1);
  EXPECT_EQ(qrn::file_size(name), static_cast<int64_t>(limit));

  // One byte more is beyond the limit: found, but an empty block, allocating nothing.
  std::string one_past = archive;
  put32(one_past, 7, static_cast<uint32_t>(limit + 1));
  RtString past_name = qrn::memory_file_name(one_past.data(), static_cast<uint32_t>(one_past.size()));
  qrn::set_archive_paths(past_name, past_name);
  name = RtString("zero.bin");
  ASSERT_EQ(qrn::resolve_file_name(name), 1);
  EXPECT_EQ(qrn::file_size(name), 0);
  qrn::set_archive_paths(RtString(program.c_str()), RtString(program.c_str()));
  qrn::release_memory_file(archive.data());
  qrn::release_memory_file(one_past.data());
}

TEST_F(ArchiveTest, TemporaryFileModeAndCopyingOut) {
  qrn::ResourceArchive* extraction = qrn::g_runtime.resource_archives[1];
  RtString out;
  ASSERT_EQ(qrn::archive_lookup(extraction, RtString("media/data.txt"), out, qrn::ARCHIVE_TEMP_FILE), 1);
  std::string path = str(out);
  EXPECT_EQ(path.rfind(fake->temp_dir + "kix", 0), 0u) << path;
  EXPECT_EQ(path.substr(path.size() - 8), "Data.TXT");  // the entry's own name
  EXPECT_EQ(qrn::test::read_file(path), "line one\r\nline two\r\n");
  ASSERT_EQ(qrn::archive_lookup(extraction, RtString("popup.png"), out, qrn::ARCHIVE_TEMP_FILE), 1);
  EXPECT_EQ(qrn::file_exists(RtString(path.c_str())), 0);  // the previous result is deleted
  std::string second = str(out);
  qrn::release_resource_archive(extraction);
  qrn::g_runtime.resource_archives[1] = nullptr;
  EXPECT_EQ(qrn::file_exists(RtString(second.c_str())), 0);

  std::string copy = dir.file("copy.png");
  qrn::copy_file(RtString("gfx/popup.png"), RtString(copy.c_str()));
  EXPECT_EQ(qrn::g_runtime.error_code, 0);
  EXPECT_EQ(qrn::test::read_file(copy), popup);
  qrn::copy_file(RtString("absent.png"), RtString(dir.file("never.png").c_str()));
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(fake->stdout_text, "error: 3\n");
}

TEST_F(ArchiveTest, DamagedArchivesNeverReadOutsideTheFile) {
  std::string good = qrn::test::read_file(program);
  size_t size = good.size();
  int32_t d = static_cast<int32_t>(get32(good, size - 4));
  size_t directory = size + static_cast<size_t>(static_cast<int64_t>(d));
  // The first directory entry is popup.png: length byte, 9 name bytes, position, stored.
  ASSERT_EQ(good.substr(directory, 10), std::string("\x09popup.png"));
  size_t position_field = directory + 10, stored_field = directory + 14;
  size_t entry = size + static_cast<size_t>(static_cast<int64_t>(static_cast<int32_t>(get32(good, position_field))));
  uint32_t stored = get32(good, stored_field);

  struct Damage {
    const char* what;
    std::string bytes;
    int32_t found;    // expected result of the lookup of popup.png
    bool disabled;    // the record is disabled afterwards
  };
  auto with = [&](auto change) {
    std::string bytes = good;
    change(bytes);
    return bytes;
  };
  std::vector<Damage> damages = {
      {"no trailer", with([](std::string& b) { b[b.size() - 5] = 'Y'; }), 0, true},
      {"shorter than a trailer", "kiX", 0, true},
      {"directory past the end", with([&](std::string& b) { put32(b, size - 4, 0x7FFFFFF0); }), 0, false},
      {"directory before the start", with([&](std::string& b) { put32(b, size - 4, static_cast<uint32_t>(-100000)); }), 0, false},
      {"directory running into the trailer", with([&](std::string& b) { put32(b, size - 4, static_cast<uint32_t>(-9)); b[size - 9] = 100; }), 0, false},
      {"entry longer than the file", with([&](std::string& b) { put32(b, stored_field, 0x7FFFFFFF); }), 0, false},
      {"entry before the start", with([&](std::string& b) { put32(b, position_field, static_cast<uint32_t>(-static_cast<int64_t>(size) - 8)); }), 0, false},
      {"entry that does not unpack", with([&](std::string& b) { for (size_t i = 4; i < stored; ++i) b[entry + i] = '\xFF'; }), 1, false},
      {"entry cut short", with([&](std::string& b) { put32(b, stored_field, stored - 3); }), 1, false},
      {"absurd unpacked length", with([&](std::string& b) { put32(b, entry, 0x7FFFFFFF); }), 1, false},
      {"negative unpacked length", with([&](std::string& b) { put32(b, entry, 0x80000000u); }), 1, false},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    qrn::test::write_file(program, damage.bytes);
    qrn::set_archive_paths(RtString(program.c_str()), RtString(program.c_str()));
    RtString name("popup.png");
    EXPECT_EQ(qrn::resolve_file_name(name), damage.found);
    if (damage.found) {
      EXPECT_EQ(memory_bytes(name), "");  // an empty block
    }
    EXPECT_EQ(qrn::g_runtime.resource_archives[0]->enabled, damage.disabled ? 0 : 1);
  }

  // A disabled record stays disabled even when the file is mended.
  qrn::test::write_file(program, "no archive here");
  qrn::set_archive_paths(RtString(program.c_str()), RtString(program.c_str()));
  RtString name("popup.png");
  EXPECT_EQ(qrn::resolve_file_name(name), 0);
  qrn::test::write_file(program, good);
  EXPECT_EQ(qrn::resolve_file_name(name), 0);
  qrn::set_archive_paths(RtString(program.c_str()), RtString(program.c_str()));  // enabled again
  EXPECT_EQ(qrn::resolve_file_name(name), 1);
}

TEST(KixPackToolTest, UsageListingAndRepacking) {
  std::string output;
  EXPECT_EQ(run(shell_quoted(QRN_KIX_PACK), output), 2);
  EXPECT_NE(output.find("usage: kix_pack <file> <entry>..."), std::string::npos) << output;

  qrn::test::TempDir dir;
  std::string program = dir.file("prog");
  qrn::test::write_file(program, "program");
  qrn::test::write_file(dir.file("a.txt"), "alpha");
  qrn::test::write_file(dir.file("A.TXT"), "clash");
  EXPECT_EQ(run(shell_quoted(QRN_KIX_PACK) + " " + shell_quoted(program) + " " + shell_quoted(dir.file("a.txt")) + " " +
                    shell_quoted(dir.file("A.TXT")),
                output),
            1);  // two entries of one name
  EXPECT_EQ(qrn::test::read_file(program), "program");

  ASSERT_EQ(run(shell_quoted(QRN_KIX_PACK) + " " + shell_quoted(program) + " " + shell_quoted(dir.file("a.txt")), output), 0);
  size_t once = qrn::test::read_file(program).size();
  ASSERT_EQ(run(shell_quoted(QRN_KIX_PACK) + " " + shell_quoted(program) + " " + shell_quoted(dir.file("a.txt")), output), 0);
  EXPECT_EQ(qrn::test::read_file(program).size(), once);  // replaced, not stacked
  ASSERT_EQ(run(shell_quoted(QRN_KIX_PACK) + " -l " + shell_quoted(program), output), 0);
  EXPECT_EQ(output, "         5         13  a.txt\n");
  EXPECT_EQ(qrn::test::read_file(program).substr(0, 7), "program");
}
