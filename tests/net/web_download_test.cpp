// Web download against loopback servers written on plain POSIX sockets: the request bytes,
// header cutting, the buffer and file rules, and the limits that stop a server from
// holding a download for ever.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <memory>
#include <string>
#include <thread>

#include "loopback_server.h"
#include "net/socket_slots.h"
#include "net/socket_slots_internal.h"
#include "net/web_download.h"
#include "net/web_download_internal.h"
#include "platform/fake_sockets.h"
#include "support/temp_dir.h"

namespace qrn {
namespace {

using test::now_ms;

// A server that reads the request, answers with `response` and closes; it keeps the request.
struct AnsweringServer {
  std::string request;
  std::unique_ptr<test::LoopbackServer> server;
  explicit AnsweringServer(const std::string& response, int hold_open_ms = 0) {
    server = std::make_unique<test::LoopbackServer>([this, response, hold_open_ms](int fd) {
      request = test::read_request(fd);
      test::write_all(fd, response);
      if (hold_open_ms > 0) test::wait_peer_closed(fd, hold_open_ms);
    });
  }
  int port() const { return server->port(); }
  // Waits for the server to finish; the request it read.
  const std::string& finished_request() {
    server.reset();
    return request;
  }
};

// Restores the limits a test shortened.
struct LimitsScope {
  WebLimits saved = web_limits();
  ~LimitsScope() { web_limits() = saved; }
};

std::string body_of(const std::string& response, size_t chunk) {
  HttpHeaderSkipper skipper(WEB_HEADER_LIMIT_BYTES);
  std::string body;
  for (size_t at = 0; at < response.size(); at += chunk) {
    size_t n = std::min(chunk, response.size() - at);
    size_t offset;
    EXPECT_TRUE(skipper.feed(response.data() + at, n, offset));
    body.append(response, at + offset, n - offset);
  }
  return body;
}

TEST(HttpHeaders, BareAndCarriageReturnLineEndsCutAtTheSamePlaceInAnyChunking) {
  const std::string crlf = "HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody\r\n\r\nrest";
  const std::string lf = "HTTP/1.1 200 OK\nA: b\n\nbody\r\n\r\nrest";
  const std::string mixed = "HTTP/1.1 200 OK\r\nA: b\n\r\nbody\r\n\r\nrest";
  for (size_t chunk = 1; chunk <= crlf.size(); ++chunk) {
    EXPECT_EQ(body_of(crlf, chunk), "body\r\n\r\nrest") << chunk;
    EXPECT_EQ(body_of(lf, chunk), "body\r\n\r\nrest") << chunk;
    EXPECT_EQ(body_of(mixed, chunk), "body\r\n\r\nrest") << chunk;
  }
  // A line feed after a carriage return-only line still ends the headers; a lone CR does not
  // reset the count, any other byte does.
  EXPECT_EQ(body_of("X\n\r\r\nB", 3), "B");
  EXPECT_EQ(body_of("X\n \nY\n\nB", 2), "B");
}

TEST(HttpHeaders, HeadersMayFillTheLimitButNotOnePast) {
  std::string at_limit(WEB_HEADER_LIMIT_BYTES - 2, 'h');
  at_limit += "\n\nbody";
  HttpHeaderSkipper fits(WEB_HEADER_LIMIT_BYTES);
  size_t offset;
  EXPECT_TRUE(fits.feed(at_limit.data(), at_limit.size(), offset));
  EXPECT_EQ(at_limit.substr(offset), "body");

  std::string past = "h" + at_limit;
  HttpHeaderSkipper too_long(WEB_HEADER_LIMIT_BYTES);
  EXPECT_FALSE(too_long.feed(past.data(), past.size(), offset));
}

TEST(WebDownload, SendsExactlyTheRequestAndReturnsTheBody) {
  AnsweringServer server("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
  RtString text = web_get_text("127.0.0.1", "/index.html", server.port(), 100, 2000);
  EXPECT_EQ(text, "hello");
  EXPECT_EQ(server.finished_request(),
            "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nConnection: Close\r\n"
            "User-Agent: Quarnel\r\n\r\n");
  EXPECT_EQ(web_request_text("H", "/index.html"),
            "GET /index.html HTTP/1.1\r\nHost: H\r\nAccept: */*\r\nConnection: Close\r\nUser-Agent: Quarnel\r\n\r\n");
}

TEST(WebDownload, AFullTextEndsTheDownloadWithoutWaitingForTheServer) {
  // The server sends 1000 body bytes and then keeps the connection open for 10 s.
  AnsweringServer server("HTTP/1.1 200 OK\n\n" + std::string(1000, 'b'), 10000);
  double start = now_ms();
  RtString text = web_get_text("127.0.0.1", "/", server.port(), 10, 2000);
  EXPECT_LT(now_ms() - start, 3000);
  EXPECT_EQ(text, "bbbbbbbbbb");
}

TEST(WebDownload, ABodyHoldingAZeroByteCutsTheTextButNotTheFile) {
  const std::string body("abc\0def", 7);
  test::TempDir dir;
  {
    AnsweringServer server("HTTP/1.1 200 OK\r\n\r\n" + body);
    EXPECT_EQ(web_get_text("127.0.0.1", "/", server.port(), 100, 2000), "abc");
  }
  {
    AnsweringServer server("HTTP/1.1 200 OK\r\n\r\n" + body);
    test::write_file(dir.file("page.bin"), std::string(100, 'o'));  // replaced, not overwritten
    EXPECT_EQ(web_get_file("127.0.0.1", "/", server.port(), dir.file("page.bin").c_str(), 2000), 1);
    EXPECT_EQ(test::read_file(dir.file("page.bin")), body);
  }
}

TEST(WebDownload, FileTargetsThatCannotBeWrittenFailBeforeAnyTraffic) {
  FakeSockets fake;
  ServiceScope<Sockets> scope(&fake);
  test::TempDir dir;
  EXPECT_EQ(web_get_file("127.0.0.1", "/", 80, "mem://00000010.12345678", 1000), 0);
  EXPECT_EQ(web_get_file("127.0.0.1", "/", 80, dir.file("missing/dir/file").c_str(), 1000), 0);
  EXPECT_EQ(web_get_file("127.0.0.1", "/", 80, "", 1000), 0);
  // A host or path with a line break would add request lines of the caller's own.
  EXPECT_EQ(web_get_text("127.0.0.1", "/\r\nX-Evil: 1", 80, 10, 1000), "");
  EXPECT_EQ(web_get_file("evil\nhost", "/", 80, dir.file("f").c_str(), 1000), 0);
  EXPECT_TRUE(fake.connects.empty());
  EXPECT_EQ(fake.starts, 0);
}

TEST(WebDownload, PortZeroMeansEightyAndFailuresReturnNothing) {
  FakeSockets fake;
  fake.script_connect = true;
  fake.connect_error = NET_REFUSED;
  ServiceScope<Sockets> scope(&fake);
  EXPECT_EQ(web_get_text("127.0.0.1", "/", 0, 10, 1000), "");
  ASSERT_EQ(fake.connects.size(), 1u);
  EXPECT_EQ(fake.connects[0].port, 80 << 8);  // network order
  EXPECT_EQ(net_last_error(), NET_REFUSED);
  EXPECT_EQ(fake.ends, fake.starts);  // the download's start was ended

  EXPECT_EQ(web_get_text("no-such-host.invalid", "/", 80, 10, 1000), "");
  EXPECT_EQ(fake.connects.size(), 1u);  // nothing to connect to
}

TEST(WebDownload, ASilentServerFailsAfterTheIdleLimitKeepingWhatArrived) {
  LimitsScope limits;
  web_limits().idle_ms = 300;
  test::TempDir dir;
  AnsweringServer server("HTTP/1.1 200 OK\r\n\r\npartial", 5000);
  double start = now_ms();
  EXPECT_EQ(web_get_file("127.0.0.1", "/", server.port(), dir.file("part").c_str(), 2000), 0);
  double took = now_ms() - start;
  EXPECT_GE(took, 250);
  EXPECT_LT(took, 3000);
  EXPECT_EQ(net_last_error(), NET_TIMED_OUT);
  EXPECT_EQ(test::read_file(dir.file("part")), "partial");
}

TEST(WebDownload, HeadersPastTheLimitFailTheDownload) {
  LimitsScope limits;
  web_limits().header_bytes = 1000;
  AnsweringServer fits("HTTP/1.1 200 OK\r\n" + std::string(998 - 19, 'h') + "\r\n\r\nok");
  EXPECT_EQ(web_get_text("127.0.0.1", "/", fits.port(), 10, 2000), "ok");
  AnsweringServer past("HTTP/1.1 200 OK\r\n" + std::string(999 - 19, 'h') + "\r\n\r\nok", 5000);
  EXPECT_EQ(web_get_text("127.0.0.1", "/", past.port(), 10, 2000), "");
  EXPECT_EQ(net_last_error(), NET_MESSAGE_TOO_LONG);
}

}  // namespace
}  // namespace qrn
