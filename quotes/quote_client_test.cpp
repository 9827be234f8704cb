#include "quotes/quote_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/environment.h"
#include "platform/linux/posix_sockets.h"
#include "platform/socket.h"
#include "platform/testing/test_support.h"
#include "quotes/csv_quotes.h"
#include "quotes/testing/client_kit.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::QuoteSimProcess;

constexpr char kAcceptLine[] =
    "Accept: image/gif, image/x-bitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
    "application/vnd.ms-excel, application/msword, application/x-comet, */*\r\n";

// A client that sends every connection to the simulator, with its surroundings.
struct SimClient {
  explicit SimClient(const QuoteSimProcess& sim, ClientVariant variant = ClientVariant::kDevice)
      : client(variant, kit.Services()) {
    client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim.port()});
    client.SetTimeout(5);
  }
  CQuoteClient* operator->() { return &client; }
  CQuoteClient& operator*() { return client; }
  std::uint32_t cancelFlag() const { return kit.cancel.g_cancelUpdate.load(); }

  testing::ClientKit kit;
  CQuoteClient client;
};

int Fetch(CQuoteClient& client, int source, std::string_view symbols) {
  client.FreeResults();
  client.BeginRequest(source);
  client.AppendRequest(symbols);
  client.EndRequest();
  return client.Execute();
}

// Collects every line a parser would see, after the headers, in a list the parser shares.
std::shared_ptr<std::vector<std::string>> CollectBodyLines(CQuoteClient& client, int source) {
  auto lines = std::make_shared<std::vector<std::string>>();
  client.SetParser(source, [lines](CQuoteClient& c) {
    if (!c.ReadHeaders()) return false;
    while (c.ReadLine()) lines->emplace_back(c.LineText());
    return true;
  });
  return lines;
}

class Progress final : public QuoteProgress {
 public:
  void ShowStatus(UINT id) override { shown.push_back(id); }
  void PumpMessages() override { ++pumps; }
  std::vector<UINT> shown;
  int pumps = 0;
};

TEST(QuoteClientWire, DirectRequestBytes) {
  QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  ASSERT_EQ(Fetch(*client, 0, "IBM+MSFT"), QR_OK);
  auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 1u);
  std::string expected =
      "GET /d/quotes.csv?s=IBM+MSFT&f=sl1d1t1c1ghpvbaw&e=.csv HTTP/1.0\r\n"
      "Host: us.csvquotes.example\r\n" +
      std::string(kAcceptLine) +
      "Cache-Control: no-cache\r\n"
      "Connection: Keep-Alive\r\n"
      "User-Agent: Mozilla/4.76 [en] (PocketPC; U)\r\n"
      "\r\n";
  EXPECT_EQ(requests[0], expected);
  ASSERT_EQ(client->results().size(), 2u);
  EXPECT_STREQ(client->results()[0]->szSymbol, "IBM");
  EXPECT_STREQ(client->results()[1]->szSymbol, "MSFT");
  EXPECT_EQ(client->errorText()[0], '\0');
}

TEST(QuoteClientWire, ProxyRequestUsesAbsoluteTargetAndSourceHost) {
  QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services());  // to the proxy, no server set
  client.SetProxy(true, "127.0.0.1", sim.port(), false, "", "");
  client.SetTimeout(5);
  ASSERT_EQ(Fetch(client, 0, "IBM"), QR_OK);
  auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n") + 2),
            "GET http://us.csvquotes.example:80/d/quotes.csv?s=IBM&f=sl1d1t1c1ghpvbaw&e=.csv "
            "HTTP/1.0\r\n");
  EXPECT_NE(requests[0].find("\r\nHost: us.csvquotes.example\r\n"), std::string::npos);
  EXPECT_EQ(client.results().size(), 1u);
}

TEST(QuoteClientWire, DesktopSendsProxyCredentialsOnlyToTheProxy) {
  QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDesktop, kit.Services());
  client.SetProxy(true, "127.0.0.1", sim.port(), true, "alice", "s3cret");
  client.SetTimeout(5);
  ASSERT_TRUE(client.proxyAuthentication());
  ASSERT_EQ(Fetch(client, 1, "BAY.F"), QR_OK);

  // Direct connection with the same settings stored: no credentials leave the machine's proxy.
  client.SetProxy(false, "127.0.0.1", sim.port(), true, "alice", "s3cret");
  client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim.port()});
  ASSERT_EQ(Fetch(client, 1, "BAY.F"), QR_OK);

  auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 2u);
  std::string expected =
      "GET http://eu.csvquotes.example:80/d/quotes.csv?f=sl1d1t1c1ghpvbaw&s=BAY.F HTTP/1.0\r\n"
      "Host: eu.csvquotes.example\r\n" +
      std::string(kAcceptLine) +
      "Cache-Control: no-cache\r\n"
      "Connection: Keep-Alive\r\n"
      "User-Agent: Mozilla/4.76 [en] (WinNT; U)\r\n"
      "Proxy-Authorization: Basic YWxpY2U6czNjcmV0\r\n"
      "\r\n";
  EXPECT_EQ(requests[0], expected);
  EXPECT_EQ(requests[1].find("Proxy-Authorization"), std::string::npos);
  EXPECT_EQ(requests[1].substr(0, 50), "GET /d/quotes.csv?f=sl1d1t1c1ghpvbaw&s=BAY.F HTTP/");
}

TEST(QuoteClientWire, CredentialsNeedUserAndPasswordAndAreCut) {
  ScriptedSockets sockets;
  sockets.answer = "HTTP/1.0 200 OK\r\n\r\n";
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDesktop, kit.Services(sockets));
  client.SetProxy(true, "proxy.local", 3128, true, "alice", "");
  EXPECT_FALSE(client.proxyAuthentication());
  client.SetProxy(true, "proxy.local", 3128, true, std::string(30, 'u'), std::string(30, 'p'));
  ASSERT_TRUE(client.proxyAuthentication());
  Fetch(client, 0, "IBM");
  EXPECT_EQ(sockets.connectedHost, "proxy.local");
  EXPECT_EQ(sockets.connectedPort, 3128);
  // 19 + ':' + 19 characters: the stored fields are cut, never overrun.
  std::string expected = "Proxy-Authorization: Basic " +
                         Base64Encode(std::string(19, 'u') + ":" + std::string(19, 'p')) + "\r\n";
  EXPECT_NE(sockets.sent.find(expected), std::string::npos);
  // The device never sends credentials, whatever it is given.
  ScriptedSockets deviceSockets;
  deviceSockets.answer = "HTTP/1.0 200 OK\r\n\r\n";
  CQuoteClient device(ClientVariant::kDevice, kit.Services(deviceSockets));
  device.SetProxy(true, "proxy.local", 3128, true, "alice", "s3cret");
  Fetch(device, 0, "IBM");
  EXPECT_EQ(deviceSockets.sent.find("Proxy-Authorization"), std::string::npos);
}

TEST(QuoteClientWire, Base64) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("\xfb\xff"), "+/8=");
}

TEST(QuoteClientRequest, BufferHoldsTheLongestBatchAndRefusesMore) {
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services());
  client.SetProxy(true, "proxy", 8080, false, "", "");
  client.BeginRequest(14);  // the longest query suffix
  // The batch rule stops adding at 974 characters; one more symbol may still follow.
  while (client.requestLength() < 973) client.AppendRequest("A");
  ASSERT_TRUE(client.AppendRequest(",ABCDEFGHIJKLMNOPQR"));
  client.EndRequest();
  std::string_view request = client.request();
  EXPECT_EQ(request.substr(request.size() - 36), "&Quote_NotFound=1&User_ID=1 HTTP/1.0");
  EXPECT_GT(request.size(), 1024u);
  EXPECT_EQ(request.substr(0, 37), "GET http://xml.chquotes.example:80/ma");

  std::string huge(CQuoteClient::kRequestCapacity, 'X');
  std::size_t before = client.requestLength();
  EXPECT_FALSE(client.AppendRequest(huge));
  EXPECT_EQ(client.requestLength(), before);
}

TEST(QuoteClientStatus, NotFoundAndOtherCodes) {
  QuoteSimProcess sim({"--status", "404"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  EXPECT_EQ(Fetch(*client, 0, "IBM"), QR_ERROR);
  EXPECT_STREQ(client->errorText(), "HTTP Error\nHTTP/1.0 404 Not Found");
  EXPECT_TRUE(client->results().empty());

  ScriptedSockets sockets;
  testing::ClientKit kit;
  CQuoteClient scripted(ClientVariant::kDevice, kit.Services(sockets));
  sockets.answer = "HTTP/1.1 200 Fine Thanks\r\n\r\n\"IBM\",1.00\r\n";
  EXPECT_EQ(Fetch(scripted, 0, "IBM"), QR_OK);
  EXPECT_EQ(scripted.results().size(), 1u);
  sockets.answer = "HTTP/1.0 2000 OK\r\n\r\n";
  EXPECT_EQ(Fetch(scripted, 0, "IBM"), QR_ERROR);
  sockets.answer = "HTTP/1.0 200\r\n\r\n";
  EXPECT_EQ(Fetch(scripted, 0, "IBM"), QR_OK);
  sockets.answer = "garbage\r\n";
  EXPECT_EQ(Fetch(scripted, 0, "IBM"), QR_ERROR);
  EXPECT_STREQ(scripted.errorText(), "HTTP Error\ngarbage");
}

TEST(QuoteClientWaits, SilentServerTimesOutAndLeavesCancelSet) {
  QuoteSimProcess sim({"--silent"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  client->SetTimeout(1);
  Progress progress;
  client->SetProgress(&progress);
  int hooks = 0;
  client->SetPumpHook([&] { ++hooks; });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fetch(*client, 0, "IBM"), QR_TIMEOUT);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(4));
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_EQ(client.cancelFlag(), 1u);
  EXPECT_GT(hooks, 0);
  EXPECT_GT(progress.pumps, 0);
  EXPECT_EQ(progress.shown,
            (std::vector<UINT>{strings::IDS_CONNECTING_SERVER, strings::IDS_RETRIEVING_STOCKS}));
  // The next request starts clean.
  client->SetTimeout(5);
  client->SetPumpHook(nullptr);
}

TEST(QuoteClientWaits, CancelFromThePumpHook) {
  QuoteSimProcess sim({"--silent"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  client->SetTimeout(30);
  client->SetPumpHook([&client] { client.kit.cancel.Cancel(); });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fetch(*client, 0, "IBM"), QR_CANCELLED);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(client.cancelFlag(), 1u);
}

TEST(QuoteClientWaits, OneClientsCancelLeavesAnotherOfTheProcessAlone) {
  // Two runs of one process (a desktop run and a test, the program and a sync provider), each
  // with its own client and Cancel. One waits on a silent server in a thread of its own; the
  // other presses the first one's Cancel while its own answer is still on the way.
  ScriptedSockets silent;
  silent.stallAfter = 0;
  testing::ClientKit waitingKit;
  CQuoteClient waiting(ClientVariant::kDevice, waitingKit.Services(silent));
  waiting.SetTimeout(30);
  std::promise<void> waitingStarted;
  bool first = true;
  waiting.SetPumpHook([&] {
    if (std::exchange(first, false)) waitingStarted.set_value();
  });
  int waitingCode = -1;
  std::thread other([&] { waitingCode = Fetch(waiting, 0, "IBM"); });
  waitingStarted.get_future().wait();

  QuoteSimProcess slow({"--delay", "300"});
  ASSERT_TRUE(slow.running());
  SimClient running(slow);
  int pressed = 0;
  running->SetPumpHook([&] {
    if (pressed++ == 0) waitingKit.cancel.Cancel();
  });
  EXPECT_EQ(Fetch(*running, 0, "IBM"), QR_OK);
  other.join();
  EXPECT_GT(pressed, 1) << "the running client waited on after the other's Cancel";
  EXPECT_EQ(running.cancelFlag(), 0u);
  EXPECT_EQ(running->results().size(), 1u);
  EXPECT_EQ(waitingCode, QR_CANCELLED);
  EXPECT_EQ(waitingKit.cancel.g_cancelUpdate.load(), 1u);
}

TEST(QuoteClientWaits, TimeoutAppliesToATricklingServerAndKeepsEarlierLines) {
  // One byte every 100 ms: no single wait is long, the request as a whole is.
  QuoteSimProcess sim({"--trickle", "100", "--chunk", "1"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  client->SetTimeout(1);
  auto lines = CollectBodyLines(*client, 0);
  EXPECT_EQ(Fetch(*client, 0, "IBM"), QR_TIMEOUT);
  EXPECT_TRUE(lines->empty());  // the headers alone take longer than the time-out
  EXPECT_EQ(client.cancelFlag(), 1u);
}

TEST(QuoteClientWaits, ProgressTextForHistory) {
  ScriptedSockets sockets;
  sockets.answer = "HTTP/1.0 200 OK\r\n\r\nDate,Close\n";
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDesktop, kit.Services(sockets));
  Progress progress;
  client.SetProgress(&progress);
  client.BeginRequestWithPath(10, "/table.csv?s=IBM");
  client.EndRequest();
  EXPECT_EQ(client.Execute(), QR_OK);
  EXPECT_EQ(progress.shown,
            (std::vector<UINT>{strings::IDS_CONNECTING_SERVER, strings::IDS_RETRIEVING_CHART}));
  EXPECT_EQ(sockets.sent.substr(0, 34), "GET /table.csv?s=IBM HTTP/1.0\r\nHos");
}

TEST(QuoteClientLines, LastLineWithoutLineFeedAndNoCarriageReturns) {
  QuoteSimProcess sim({"--no-final-newline"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  auto lines = CollectBodyLines(*client, 0);
  ASSERT_EQ(Fetch(*client, 0, "IBM+MSFT"), QR_OK);
  ASSERT_EQ(lines->size(), 2u);
  EXPECT_EQ((*lines)[0].substr(0, 6), "\"IBM\",");
  EXPECT_EQ((*lines)[1].substr(0, 7), "\"MSFT\",");
  for (const std::string& line : *lines) {
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    EXPECT_EQ(line.back(), '"');  // the range field closes every line
  }
}

TEST(QuoteClientLines, LongLineComesInPiecesOfTheBuffer) {
  QuoteSimProcess sim({"--long-line", "2000"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  auto lines = CollectBodyLines(*client, 0);
  ASSERT_EQ(Fetch(*client, 0, "IBM"), QR_OK);
  ASSERT_EQ(lines->size(), 3u);
  EXPECT_EQ((*lines)[0], std::string(1535, 'L'));
  EXPECT_EQ((*lines)[1], std::string(465, 'L'));
  EXPECT_EQ((*lines)[2].substr(0, 6), "\"IBM\",");
}

TEST(QuoteClientLines, ScriptedChunksGiveTheSameLines) {
  // The same answer delivered one byte at a time and all at once reads the same.
  std::string answer =
      "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\none\r\n\r\nthree\nfour\r\r\nfive";
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
    ScriptedSockets sockets;
    sockets.answer = answer;
    sockets.chunk = chunk;
    testing::ClientKit kit;
    CQuoteClient client(ClientVariant::kDevice, kit.Services(sockets));
    auto lines = CollectBodyLines(client, 0);
    EXPECT_EQ(Fetch(client, 0, "X"), QR_OK);
    EXPECT_EQ(*lines, (std::vector<std::string>{"one", "", "three", "four\r", "five"}))
        << "chunk " << chunk;
    EXPECT_EQ(client.bytesReceived(), answer.size());
    EXPECT_EQ(sockets.closed, 1);
  }
}

TEST(QuoteClientLines, ReadUntilFindsMarkerOrReportsTheEnd) {
  ScriptedSockets sockets;
  sockets.answer = "HTTP/1.0 200 OK\r\n\r\n<a>\r\n<b>x</b>\r\n<c>\r\n";
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services(sockets));
  std::vector<bool> found;
  std::string line;
  client.SetParser(2, [&](CQuoteClient& c) {
    c.ReadHeaders();
    found.push_back(c.ReadUntil("<b>"));
    line = c.LineText();
    found.push_back(c.ReadUntil("<zz>"));
    return true;
  });
  EXPECT_EQ(Fetch(client, 2, "X"), QR_OK);
  EXPECT_EQ(found, (std::vector<bool>{true, false}));
  EXPECT_EQ(line, "<b>x</b>");
}

TEST(QuoteClientContentLength, AnyLetterCase) {
  QuoteSimProcess sim({"--content-length-name", "CoNtEnT-LeNgTh"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  auto lines = CollectBodyLines(*client, 0);
  ASSERT_EQ(Fetch(*client, 0, "IBM"), QR_OK);
  ASSERT_EQ(lines->size(), 1u);
  EXPECT_EQ(client->contentLength(), (*lines)[0].size() + 2);
}

TEST(QuoteClientContentLength, KeptOpenConnectionsStopAtTheBody) {
  // Sources 11 and 13 answer and keep the connection open: reading must stop at the body's end
  // rather than wait for the time-out.
  QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  client->SetTimeout(20);
  for (int source : {11, 13}) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch(*client, source, "AAA+BBB+CCC"), QR_OK) << source;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_EQ(client->results().size(), 3u) << source;
    EXPECT_STREQ(client->results()[2]->szSymbol, "CCC");
    EXPECT_GT(client->contentLength(), 0u);
  }
}

TEST(QuoteClientContentLength, KeptOpenWithoutLengthGivesNoBodyLines) {
  QuoteSimProcess sim({"--no-content-length"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  client->SetTimeout(20);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fetch(*client, 13, "AAA+BBB"), QR_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(client->results().empty());
}

TEST(QuoteClientContentLength, StopsAtTheLengthEvenMidLine) {
  // A body of 120 bytes and more behind it on a connection that stays open.
  std::string body = std::string(50, 'a') + "\r\n" + std::string(60, 'b') + "\r\n" +
                     std::string(6, 'c');  // 120 bytes, the last line cut by the length
  ASSERT_EQ(body.size(), 120u);
  ScriptedSockets sockets;
  sockets.answer = "HTTP/1.0 200 OK\r\ncontent-length: 120\r\n\r\n" + body + "dddd\r\n";
  sockets.stallAfter = sockets.answer.size();
  sockets.chunk = 7;
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services(sockets));
  client.SetTimeout(20);
  auto lines = CollectBodyLines(client, 13);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fetch(client, 13, "X"), QR_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(client.contentLength(), 120u);
  EXPECT_EQ(*lines,
            (std::vector<std::string>{std::string(50, 'a'), std::string(60, 'b'), "cccccc"}));
}

TEST(QuoteClientContentLength, KeptOpenConnectionCutShortIsNoSuccess) {
  // The server promises 100 bytes, sends 10 and falls silent: the time-out ends the request,
  // and the quotes read so far do not make it a success.
  ScriptedSockets sockets;
  sockets.answer = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nAAA,1.00\r\n";
  sockets.stallAfter = sockets.answer.size();
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services(sockets));
  client.SetTimeout(1);
  EXPECT_EQ(Fetch(client, 13, "AAA"), QR_TIMEOUT);
  EXPECT_TRUE(client.results().empty()) << "a request that timed out keeps none of its quotes";
  EXPECT_EQ(kit.cancel.g_cancelUpdate.load(), 1u);
}

TEST(QuoteClientBadAnswers, NoAnswerHalfHeaderAndGarbage) {
  {
    QuoteSimProcess sim({"--truncate", "0"});
    ASSERT_TRUE(sim.running());
    SimClient client(sim);
    EXPECT_EQ(Fetch(*client, 0, "IBM"), QR_ERROR);
    EXPECT_STREQ(client->errorText(), "Can't get response from server\n");
  }
  {
    QuoteSimProcess sim({"--truncate", "40"});  // the status line and part of a header
    ASSERT_TRUE(sim.running());
    SimClient client(sim);
    EXPECT_EQ(Fetch(*client, 0, "IBM"), QR_ERROR);
    EXPECT_TRUE(client->results().empty());
  }
  {
    QuoteSimProcess sim({"--garbage", "5000"});
    ASSERT_TRUE(sim.running());
    SimClient client(sim);
    EXPECT_EQ(Fetch(*client, 0, "IBM"), QR_ERROR);
    EXPECT_EQ(std::string(client->errorText()).substr(0, 11), "HTTP Error\n");
  }
  for (int source : {0, 13}) {
    QuoteSimProcess sim({"--body-garbage", "200000"});
    ASSERT_TRUE(sim.running());
    SimClient client(sim);
    int code = Fetch(*client, source, "IBM");
    EXPECT_TRUE(code == QR_OK || code == QR_ERROR) << code;
    EXPECT_LE(client->results().size(), kMaxQuoteResults);
  }
}

TEST(QuoteClientBadAnswers, TenMegabyteLine) {
  QuoteSimProcess sim({"--long-line", "10000000"});
  ASSERT_TRUE(sim.running());
  SimClient client(sim);
  client->SetTimeout(20);
  std::size_t pieces = 0, longest = 0;
  client->SetParser(13, [&](CQuoteClient& c) {
    if (!c.ReadHeaders()) return false;
    while (c.ReadLine()) {
      ++pieces;
      longest = std::max(longest, c.LineText().size());
    }
    return true;
  });
  EXPECT_EQ(Fetch(*client, 13, "AAA"), QR_OK);
  EXPECT_EQ(pieces, 10000000 / 1535 + 2);  // the pieces, the rest, the quote line
  EXPECT_EQ(longest, 1535u);
  EXPECT_GE(client->bytesReceived(), 10000000u);

  // Through the CSV parser every piece is a quote line for source 13: far more than any request
  // asks for, so the list stops growing and the request fails, keeping none of its quotes.
  client->SetParser(13, ParseCsvQuotes);
  EXPECT_EQ(Fetch(*client, 13, "AAA"), QR_ERROR);
  EXPECT_TRUE(client->results().empty());
}

TEST(QuoteClientFailures, SocketConnectSendAndReadFailures) {
  ScriptedSockets sockets;
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services(sockets));

  sockets.createError = WSAEMFILE;
  EXPECT_EQ(Fetch(client, 0, "IBM"), QR_ERROR);
  EXPECT_STREQ(client.errorText(), kErrorCannotOpenSocket);
  sockets.createError = 0;

  sockets.connectError = WSAECONNREFUSED;
  EXPECT_EQ(Fetch(client, 0, "IBM"), QR_ERROR);
  EXPECT_STREQ(client.errorText(), kErrorCannotConnect);
  EXPECT_EQ(sockets.connectedHost, "us.csvquotes.example");
  EXPECT_EQ(sockets.connectedPort, 80);
  sockets.connectError = 0;

  sockets.sendError = WSAECONNRESET;
  EXPECT_EQ(Fetch(client, 0, "IBM"), QR_ERROR);
  EXPECT_STREQ(client.errorText(), "MFC error");
  sockets.sendError = 0;

  // The connection breaks after the first quote: the request failed, and none of its quotes
  // stay listed (the last one was cut).
  sockets.answer = "HTTP/1.0 200 OK\r\n\r\n\"IBM\",1.00\r\n\"MS";
  sockets.receiveError = WSAECONNRESET;
  EXPECT_EQ(Fetch(client, 0, "IBM+MSFT"), QR_ERROR);
  EXPECT_STREQ(client.errorText(), "MFC error");
  EXPECT_TRUE(client.results().empty());
  // Sources that keep connections open may drop them once the body is whole: what was read
  // counts.
  sockets.answer = "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nIBM,1.00\r\n";
  EXPECT_EQ(Fetch(client, 13, "IBM"), QR_OK);
  EXPECT_EQ(client.results().size(), 1u);
  // Dropped before the body is whole, the answer was cut short.
  client.FreeResults();
  sockets.answer = "HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\nIBM,1.00\r\n";
  EXPECT_EQ(Fetch(client, 13, "IBM"), QR_ERROR);
  EXPECT_STREQ(client.errorText(), "MFC error");
  EXPECT_TRUE(client.results().empty());
  EXPECT_EQ(sockets.created, sockets.closed);
}

TEST(QuoteClientFailures, AHostNameThatNeverResolvesObeysTheTimeOutAndCancel) {
  // A name server that never answers: the look-up runs aside, and the request ends by its
  // time-out, or at once when Cancel is pressed, like any other wait of the request.
  struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
  };
  auto gate = std::make_shared<Gate>();
  auto sockets = MakePosixSockets([gate](const std::string&, std::vector<std::uint32_t>*) {
    std::unique_lock<std::mutex> lock(gate->mutex);
    gate->opened.wait(lock, [&] { return gate->open; });
    return WSAHOST_NOT_FOUND;
  });
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services(*sockets));
  client.SetTimeout(1);
  EXPECT_EQ(Fetch(client, 0, "IBM"), QR_TIMEOUT);
  EXPECT_EQ(kit.cancel.g_cancelUpdate.load(), 1u);

  client.SetTimeout(30);
  int waits = 0;
  client.SetPumpHook([&] {
    if (++waits == 3) kit.cancel.Cancel();
  });
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Fetch(client, 0, "IBM"), QR_CANCELLED);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(25));
  {
    std::lock_guard<std::mutex> lock(gate->mutex);
    gate->open = true;
  }
  gate->opened.notify_all();
}

TEST(QuoteClientFailures, RefusedConnectionAndSourceOutsideTheTable) {
  // A port nobody listens on: bind a socket, note its port, close it.
  std::uint16_t port = 0;
  {
    QuoteSimProcess sim;
    ASSERT_TRUE(sim.running());
    port = sim.port();
  }
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services());
  client.SetServerOverride(QuoteEndpoint{"127.0.0.1", port});
  client.SetTimeout(5);
  EXPECT_EQ(Fetch(client, 0, "IBM"), QR_ERROR);
  EXPECT_STREQ(client.errorText(), kErrorCannotConnect);
  EXPECT_EQ(kit.cancel.g_cancelUpdate.load(), 0u);

  ScriptedSockets sockets;
  CQuoteClient scripted(ClientVariant::kDevice, kit.Services(sockets));
  EXPECT_EQ(Fetch(scripted, 102, "IBM"), QR_ERROR);
  EXPECT_STREQ(scripted.errorText(), kErrorCannotConnect);
  EXPECT_TRUE(sockets.connectedHost.empty());
  // A proxy port past 65535 must not wrap around to another port.
  scripted.SetProxy(true, "proxy.local", 65536 + 80, false, "", "");
  EXPECT_EQ(Fetch(scripted, 0, "IBM"), QR_ERROR);
  EXPECT_STREQ(scripted.errorText(), kErrorCannotConnect);
  EXPECT_TRUE(sockets.connectedHost.empty());
  scripted.SetProxy(true, "", 8080, false, "", "");
  EXPECT_EQ(Fetch(scripted, 0, "IBM"), QR_ERROR);
  EXPECT_TRUE(sockets.connectedHost.empty());
}

TEST(QuoteClientConfiguration, ServerFromTheProgramsSettings) {
  EXPECT_FALSE(ParseQuoteEndpoint(""));
  EXPECT_FALSE(ParseQuoteEndpoint("localhost"));
  EXPECT_FALSE(ParseQuoteEndpoint("localhost:"));
  EXPECT_FALSE(ParseQuoteEndpoint(":80"));
  EXPECT_FALSE(ParseQuoteEndpoint("localhost:0"));
  EXPECT_FALSE(ParseQuoteEndpoint("localhost:65536"));
  EXPECT_FALSE(ParseQuoteEndpoint("localhost:8x"));
  auto endpoint = ParseQuoteEndpoint("127.0.0.1:8081");
  ASSERT_TRUE(endpoint);
  EXPECT_EQ(endpoint->host, "127.0.0.1");
  EXPECT_EQ(endpoint->port, 8081);
  EXPECT_EQ(ParseQuoteEndpoint("[::1]:99")->host, "::1");

  QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  std::string value = "127.0.0.1:" + std::to_string(sim.port());
  // The setting as a program's main reads it, handed to a run through the context.
  testing::TestRoot root;
  root.ctx->settings() = ReadEnvironmentSettings([&value](const char* name) {
    return std::string_view(name) == "QUILLET_QUOTE_SERVER" ? value.c_str() : nullptr;
  });
  CancelToken cancel;
  CQuoteClient client(ClientVariant::kDevice, ClientServicesOf(*root.ctx, cancel));
  client.SetTimeout(5);
  EXPECT_EQ(Fetch(client, 1, "BAY.F"), QR_OK);
  auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("\r\nHost: eu.csvquotes.example\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quillet
