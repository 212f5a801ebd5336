// Platform information (see platform_info.h): the answers of platform_info on Linux, each the
// honest equivalent of the question (XDG folders, sysfs batteries, the machine id, the
// locale of the user's messages mapped to a language identifier).
#include "files/platform_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/build_info.h"
#include "core/errors.h"
#include "core/math_random.h"
#include "core/text_commands.h"
#include "files/clocks.h"
#include "files/file_names.h"
#include "files/file_system.h"
#include "platform/platform.h"

namespace qrn {

namespace {

// Language identifiers and their codes (141 identifiers).
struct LanguageCode {
  uint16_t langid;
  const char* code;
};
const LanguageCode kLanguageCodes[] = {
    {0x436, "AF"}, {0x401, "AR"}, {0x801, "AR"}, {0xC01, "AR"}, {0x1001, "AR"}, {0x1401, "AR"},
    {0x1801, "AR"}, {0x1C01, "AR"}, {0x2001, "AR"}, {0x2401, "AR"}, {0x2801, "AR"}, {0x2C01, "AR"},
    {0x3001, "AR"}, {0x3401, "AR"}, {0x3801, "AR"}, {0x3C01, "AR"}, {0x4001, "AR"}, {0x44D, "AS"},
    {0x42C, "AZ"}, {0x82C, "AZ"}, {0x423, "BE"}, {0x445, "BE"}, {0x402, "BG"}, {0x403, "CA"},
    {0x404, "CH"}, {0x804, "CH"}, {0x405, "CS"}, {0x406, "DA"}, {0x407, "DE"}, {0x807, "DE"},
    {0xC07, "DE"}, {0x1007, "DE"}, {0x1407, "DE"}, {0x465, "DI"}, {0x408, "EL"}, {0x809, "EN"},
    {0xC09, "EN"}, {0x1009, "EN"}, {0x1409, "EN"}, {0x1809, "EN"}, {0x1C09, "EN"}, {0x2009, "EN"},
    {0x2409, "EN"}, {0x2809, "EN"}, {0x2C09, "EN"}, {0x3009, "EN"}, {0x3409, "EN"}, {0x40A, "ES"},
    {0x80A, "ES"}, {0xC0A, "ES"}, {0x100A, "ES"}, {0x140A, "ES"}, {0x180A, "ES"}, {0x1C0A, "ES"},
    {0x200A, "ES"}, {0x240A, "ES"}, {0x280A, "ES"}, {0x2C0A, "ES"}, {0x300A, "ES"}, {0x340A, "ES"},
    {0x380A, "ES"}, {0x3C0A, "ES"}, {0x400A, "ES"}, {0x440A, "ES"}, {0x480A, "ES"}, {0x4C0A, "ES"},
    {0x500A, "ES"}, {0x425, "ET"}, {0x42D, "EU"}, {0x429, "FA"}, {0x40B, "FI"}, {0x438, "FO"},
    {0x40C, "FR"}, {0x80C, "FR"}, {0xC0C, "FR"}, {0x100C, "FR"}, {0x140C, "FR"}, {0x180C, "FR"},
    {0x456, "GL"}, {0x447, "GU"}, {0x40D, "HE"}, {0x439, "HI"}, {0x41A, "HR"}, {0x40E, "HU"},
    {0x42B, "HY"}, {0x421, "IN"}, {0x40F, "IS"}, {0x410, "IT"}, {0x810, "IT"}, {0x411, "JP"},
    {0x437, "KA"}, {0x44B, "KA"}, {0x43F, "KK"}, {0x457, "KN"}, {0x412, "KO"}, {0x440, "KY"},
    {0x427, "LT"}, {0x827, "LT"}, {0x426, "LV"}, {0x44C, "MA"}, {0x44E, "MA"}, {0x42F, "MK"},
    {0x450, "MO"}, {0x43E, "MS"}, {0x83E, "MS"}, {0x413, "NL"}, {0x813, "NL"}, {0x414, "NO"},
    {0x814, "NO"}, {0x448, "OR"}, {0x446, "PA"}, {0x415, "PL"}, {0x416, "PT"}, {0x816, "PT"},
    {0x418, "RO"}, {0x419, "RU"}, {0x44F, "SA"}, {0x41B, "SK"}, {0x424, "SL"}, {0x41C, "SQ"},
    {0x81A, "SR"}, {0xC1A, "SR"}, {0x41D, "SV"}, {0x81D, "SV"}, {0x441, "SW"}, {0x45A, "SY"},
    {0x449, "TA"}, {0x44A, "TE"}, {0x41E, "TH"}, {0x41F, "TR"}, {0x444, "TT"}, {0x409, "UK"},
    {0x422, "UK"}, {0x420, "UR"}, {0x820, "UR"}, {0x443, "UZ"}, {0x843, "UZ"}, {0x42A, "VI"},
    {0xC04, "ZH"}, {0x1004, "ZH"}, {0x1404, "ZH"},
};

// Locale names (language, territory, modifier; "" matches any) and their identifiers.
// The first row of a language is its default.
struct LocaleLanguage {
  const char* language;
  const char* territory;
  const char* modifier;
  uint16_t langid;
};
const LocaleLanguage kLocaleLanguages[] = {
    {"af", "", "", 0x436},   {"ar", "SA", "", 0x401}, {"ar", "IQ", "", 0x801}, {"ar", "EG", "", 0xC01},
    {"ar", "LY", "", 0x1001}, {"ar", "DZ", "", 0x1401}, {"ar", "MA", "", 0x1801}, {"ar", "TN", "", 0x1C01},
    {"ar", "OM", "", 0x2001}, {"ar", "YE", "", 0x2401}, {"ar", "SY", "", 0x2801}, {"ar", "JO", "", 0x2C01},
    {"ar", "LB", "", 0x3001}, {"ar", "KW", "", 0x3401}, {"ar", "AE", "", 0x3801}, {"ar", "BH", "", 0x3C01},
    {"ar", "QA", "", 0x4001}, {"ar", "", "", 0x401},   {"as", "", "", 0x44D},   {"az", "", "cyrillic", 0x82C},
    {"az", "", "", 0x42C},   {"be", "", "", 0x423},   {"bn", "", "", 0x445},   {"bg", "", "", 0x402},
    {"ca", "", "", 0x403},   {"zh", "TW", "", 0x404}, {"zh", "CN", "", 0x804}, {"zh", "HK", "", 0xC04},
    {"zh", "SG", "", 0x1004}, {"zh", "MO", "", 0x1404}, {"zh", "", "", 0x804},  {"cs", "", "", 0x405},
    {"da", "", "", 0x406},   {"de", "CH", "", 0x807}, {"de", "AT", "", 0xC07}, {"de", "LU", "", 0x1007},
    {"de", "LI", "", 0x1407}, {"de", "", "", 0x407},  {"dv", "", "", 0x465},   {"el", "", "", 0x408},
    {"en", "US", "", 0x409}, {"en", "GB", "", 0x809}, {"en", "AU", "", 0xC09}, {"en", "CA", "", 0x1009},
    {"en", "NZ", "", 0x1409}, {"en", "IE", "", 0x1809}, {"en", "ZA", "", 0x1C09}, {"en", "JM", "", 0x2009},
    {"en", "BZ", "", 0x2809}, {"en", "TT", "", 0x2C09}, {"en", "ZW", "", 0x3009}, {"en", "PH", "", 0x3409},
    {"en", "", "", 0x409},   {"es", "MX", "", 0x80A}, {"es", "GT", "", 0x100A}, {"es", "CR", "", 0x140A},
    {"es", "PA", "", 0x180A}, {"es", "DO", "", 0x1C0A}, {"es", "VE", "", 0x200A}, {"es", "CO", "", 0x240A},
    {"es", "PE", "", 0x280A}, {"es", "AR", "", 0x2C0A}, {"es", "EC", "", 0x300A}, {"es", "CL", "", 0x340A},
    {"es", "UY", "", 0x380A}, {"es", "PY", "", 0x3C0A}, {"es", "BO", "", 0x400A}, {"es", "SV", "", 0x440A},
    {"es", "HN", "", 0x480A}, {"es", "NI", "", 0x4C0A}, {"es", "PR", "", 0x500A}, {"es", "", "", 0xC0A},
    {"et", "", "", 0x425},   {"eu", "", "", 0x42D},   {"fa", "", "", 0x429},   {"fi", "", "", 0x40B},
    {"fo", "", "", 0x438},   {"fr", "BE", "", 0x80C}, {"fr", "CA", "", 0xC0C}, {"fr", "CH", "", 0x100C},
    {"fr", "LU", "", 0x140C}, {"fr", "MC", "", 0x180C}, {"fr", "", "", 0x40C},  {"gl", "", "", 0x456},
    {"gu", "", "", 0x447},   {"he", "", "", 0x40D},   {"iw", "", "", 0x40D},   {"hi", "", "", 0x439},
    {"hr", "", "", 0x41A},   {"hu", "", "", 0x40E},   {"hy", "", "", 0x42B},   {"id", "", "", 0x421},
    {"in", "", "", 0x421},   {"is", "", "", 0x40F},   {"it", "CH", "", 0x810}, {"it", "", "", 0x410},
    {"ja", "", "", 0x411},   {"ka", "", "", 0x437},   {"kk", "", "", 0x43F},   {"kn", "", "", 0x44B},
    {"kok", "", "", 0x457},  {"ko", "", "", 0x412},   {"ky", "", "", 0x440},   {"lt", "", "", 0x427},
    {"lv", "", "", 0x426},   {"ml", "", "", 0x44C},   {"mr", "", "", 0x44E},   {"mk", "", "", 0x42F},
    {"mn", "", "", 0x450},   {"ms", "BN", "", 0x83E}, {"ms", "", "", 0x43E},   {"nl", "BE", "", 0x813},
    {"nl", "", "", 0x413},   {"nb", "", "", 0x414},   {"no", "", "", 0x414},   {"nn", "", "", 0x814},
    {"or", "", "", 0x448},   {"pa", "", "", 0x446},   {"pl", "", "", 0x415},   {"pt", "BR", "", 0x416},
    {"pt", "", "", 0x816},   {"ro", "", "", 0x418},   {"ru", "", "", 0x419},   {"sa", "", "", 0x44F},
    {"sk", "", "", 0x41B},   {"sl", "", "", 0x424},   {"sq", "", "", 0x41C},   {"sr", "", "latin", 0x81A},
    {"sr", "", "", 0xC1A},   {"sv", "FI", "", 0x81D}, {"sv", "", "", 0x41D},   {"sw", "", "", 0x441},
    {"syr", "", "", 0x45A},  {"ta", "", "", 0x449},   {"te", "", "", 0x44A},   {"th", "", "", 0x41E},
    {"tr", "", "", 0x41F},   {"tt", "", "", 0x444},   {"uk", "", "", 0x422},   {"ur", "IN", "", 0x820},
    {"ur", "", "", 0x420},   {"uz", "", "cyrillic", 0x843}, {"uz", "", "", 0x443}, {"vi", "", "", 0x42A},
};

const char* const kNoData = "NO_DATA";
const char* const kFailedIdentifier = "FA17ED";

bool matches(const char* wanted, const std::string& have) { return !*wanted || have == wanted; }

void forward_slashes(std::string& path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
}

RtString little_endian_hex(uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return bytes_to_hex(bytes, 4, 1);
}

RtString documents_answer() {
  std::string folder = os_process().documents_folder();
  forward_slashes(folder);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder.empty() ? RtString(kNoData) : RtString(folder.c_str());
}

RtString appdata_answer() {
  std::string folder = os_process().data_folder();
  if (folder.empty()) return RtString(kNoData);
  forward_slashes(folder);
  if (folder.back() != '/') folder += '/';
  RtString path = RtString(folder.c_str()) + "Quarnel";
  if (!is_directory(path)) create_directory(path);
  return path;
}

RtString temp_answer() {
  std::string folder = os_process().temp_folder();
  forward_slashes(folder);
  return folder.empty() ? RtString("/tmp/") : RtString(folder.c_str());
}

RtString battery_answer() {
  int32_t percent = os_process().battery_percent();
  if (percent == 255 || percent > 100) percent = 100;
  if (percent < 0) percent = 0;
  return int_to_text(percent);
}

RtString dpi_answer() {
  int32_t dpi = os_video().display_dpi();
  return int_to_text(dpi < 96 ? 96 : dpi);
}

RtString gl_extension_answer(const char* name) {
  if (os_video().gl_proc_address(name)) return RtString("1");
  int size = std::snprintf(nullptr, 0, "ext: %-35s   [FAILED]", name);
  std::string line(static_cast<size_t>(size) + 1, '\0');
  std::snprintf(&line[0], line.size(), "ext: %-35s   [FAILED]", name);
  log_write(line.c_str());
  return RtString("0");
}

// The whole identifier file without surrounding white space; empty when it has none.
RtString read_identifier(const RtString& path) {
  FileStream in;
  if (!stream_open_read(in, path.data)) return RtString();
  std::string text(static_cast<size_t>(in.size), '\0');
  bool read = text.empty() || stream_read(in, &text[0], text.size());
  stream_close(in);
  if (!read) return RtString();
  const char* blanks = " \t\r\n\f\v";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return RtString();
  size_t last = text.find_last_not_of(blanks);
  return text_from_bytes(text.data() + first, static_cast<uint32_t>(last - first + 1));
}

// A new identifier of 32 hexadecimal digits from random values, the calendar time and the
// program timer.
RtString new_identifier() {
  uint32_t c_random_a = static_cast<uint32_t>(std::rand());
  uint32_t first = c_random_a << 16 | (random_next() & 0x7FFF);
  uint32_t second = static_cast<uint32_t>(os_process().calendar_time());
  uint32_t third = (random_next() & 0x7FFF) << 16 | static_cast<uint32_t>(std::rand());
  uint32_t fourth = (random_next() & 0x7FFF) * 65536u + static_cast<uint32_t>(static_cast<int32_t>(program_timer_ms()));
  return little_endian_hex(first) + little_endian_hex(second) + little_endian_hex(third) + little_endian_hex(fourth);
}

// The machine's value when there is one; else the identifier file in the data folder, made
// on first use. Without a data folder nothing can be kept, so no identifier is made.
RtString identifier_answer() {
  uint32_t serial = os_process().machine_serial();
  if (serial) return little_endian_hex(serial ^ 0x6B2E91C4u);
  RtString folder = appdata_answer();
  if (folder == kNoData) return RtString(kFailedIdentifier);
  RtString path = folder + "/quarnel.deviceid";
  if (file_exists(path)) {
    RtString stored = read_identifier(path);
    if (!stored.empty()) return stored;
  }
  RtString made = new_identifier();
  FileStream out;
  bool written = stream_open_write(out, path.data) && stream_write(out, made.data, made.length);
  stream_close(out);
  return written ? made : RtString(kFailedIdentifier);
}

}  // namespace

uint16_t langid_from_locale(const char* locale) {
  if (!locale) return 0;
  std::string text = locale;
  size_t at = text.find('@');
  std::string modifier = at == std::string::npos ? "" : text.substr(at + 1);
  text = text.substr(0, at);
  text = text.substr(0, text.find('.'));
  size_t underscore = text.find('_');
  std::string language = text.substr(0, underscore);
  std::string territory = underscore == std::string::npos ? "" : text.substr(underscore + 1);
  for (char& c : language) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const LocaleLanguage& row : kLocaleLanguages) {
    if (language == row.language && matches(row.territory, territory) && matches(row.modifier, modifier)) {
      return row.langid;
    }
  }
  return 0;
}

RtString language_code(uint16_t langid) {
  std::string code = "us";
  for (const LanguageCode& row : kLanguageCodes) {
    if (row.langid == langid) {
      code = row.code;
      break;
    }
  }
  for (char& c : code) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (code == "eng" || code == "english-uk") code = "uk";
  if (code.size() > 2) code.resize(2);
  static const char* const kRenames[][2] = {{"c", "us"},  {"el", "gr"}, {"du", "nl"}, {"am", "us"},
                                            {"en", "us"}, {"ja", "jp"}, {"po", "pl"}};
  for (const auto& rename : kRenames) {
    if (code == rename[0]) code = rename[1];
  }
  return RtString(code.size() == 2 ? code.c_str() : "us");
}

RtString calendar_time_text(int64_t seconds, bool utc) {
  std::time_t moment = static_cast<std::time_t>(seconds);
  std::tm* parts = utc ? std::gmtime(&moment) : std::localtime(&moment);
  if (!parts) return RtString(kNoData);
  char text[64];
  std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", parts->tm_year + 1900, parts->tm_mon + 1,
                parts->tm_mday, parts->tm_hour, parts->tm_min, parts->tm_sec);
  return RtString(text);
}

RtString platform_info(const RtString& key) {
  RtString upper = upper_text(key);
  if (std::strncmp(upper.data, "GLEXT:", 6) == 0) return gl_extension_answer(key.data + 6);
  if (upper.empty()) return RtString("LINUX");
  if (upper == "DEVICE") return RtString("DESKTOP");
  if (upper == "ID") return identifier_answer();
  if (upper == "TIME") return calendar_time_text(os_process().calendar_time(), false);
  if (upper == "UTCTIME") return calendar_time_text(os_process().calendar_time(), true);
  if (upper == "BATTERY") return battery_answer();
  if (upper == "COMPILED") return RtString(build_date_text);
  if (upper == "HOSTID") return RtString(build_host_id);
  if (upper == "VERSION") return RtString(runtime_version_text);
  if (upper == "LOCALE") return language_code(langid_from_locale(os_process().user_language().c_str()));
  if (upper == "DOCUMENTS") return documents_answer();
  if (upper == "APPDATA") return appdata_answer();
  if (upper == "TEMP") return temp_answer();
  if (upper == "DPI") return dpi_answer();
  return RtString(kNoData);
}

}  // namespace qrn
