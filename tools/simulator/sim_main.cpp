// quillet-quote-sim: the quote service simulator. Prints "listening <address> <port>" on its
// first line of output once it accepts connections, then serves until killed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/simulator/sim_server.h"

namespace {

constexpr char kUsage[] =
    "usage: quillet-quote-sim [options]\n"
    "  --bind ADDRESS          IPv4 address to listen on (127.0.0.1)\n"
    "  --port N                port, 0 for any free one (0)\n"
    "  --port-file FILE        write the port chosen to FILE\n"
    "  --log FILE              append every request head to FILE\n"
    "  --seed N                seed of the generated prices (1)\n"
    "  --now SECONDS           the simulator's today (QUILLET_NOW, else the clock)\n"
    "  --fixture FILE          quotes from FILE; then only its symbols are known\n"
    "  --unknown SYM[,SYM...]  symbols answered with N/A\n"
    "  --history-layout full|short\n"
    "  --tls-cert FILE --tls-key FILE   speak HTTPS with this certificate and key (PEM)\n"
    "faults:\n"
    "  --delay MS  --trickle MS  --chunk N  --silent  --status CODE  --truncate N\n"
    "  --long-line N  --garbage N  --body-garbage N  --keep-open  --no-content-length\n"
    "  --content-length-name TEXT  --no-final-newline  --lf\n"
    "  --cut-close N|after:TEXT   send the answer up to byte N (or just after TEXT), then close\n"
    "  --cut-reset N|after:TEXT   the same, then reset the connection\n"
    "  --cut-stall N|after:TEXT   the same, then fall silent with the connection open\n"
    "  --fault-count N  (faults for the first N requests only)\n"
    "  --fault-path TEXT (faults only for targets containing TEXT)\n";

bool ReadNumber(const char* text, long long low, long long high, long long* value) {
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillet::sim;
  ServerOptions server;
  HandlerOptions handlerOptions;
  std::string portFile, fixturePath, unknownList;
  long long seed = 1;
  long long now = -1;
  if (const char* fixed = std::getenv("QUILLET_NOW"); fixed != nullptr && *fixed != '\0') {
    ReadNumber(fixed, 0, 0xFFFFFFFFll, &now);
  }

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::cerr << "quillet-quote-sim: " << arg << " needs a value\n" << kUsage;
        std::exit(2);
      }
      return argv[++i];
    };
    auto number = [&](long long low, long long high) {
      const char* text = value();
      long long v = 0;
      if (!ReadNumber(text, low, high, &v)) {
        std::cerr << "quillet-quote-sim: bad number for " << arg << ": " << text << "\n";
        std::exit(2);
      }
      return v;
    };
    FaultOptions& f = server.faults;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--bind") {
      server.bind = value();
    } else if (arg == "--port") {
      server.port = static_cast<std::uint16_t>(number(0, 65535));
    } else if (arg == "--port-file") {
      portFile = value();
    } else if (arg == "--tls-cert") {
      server.tlsCert = value();
    } else if (arg == "--tls-key") {
      server.tlsKey = value();
    } else if (arg == "--log") {
      server.logPath = value();
    } else if (arg == "--seed") {
      seed = number(0, 0x7FFFFFFFFFFFFFFFll);
    } else if (arg == "--now") {
      now = number(0, 0xFFFFFFFFll);
    } else if (arg == "--fixture") {
      fixturePath = value();
    } else if (arg == "--unknown") {
      unknownList = value();
    } else if (arg == "--history-layout") {
      std::string layout = value();
      if (layout != "full" && layout != "short") {
        std::cerr << "quillet-quote-sim: --history-layout is full or short\n";
        return 2;
      }
      handlerOptions.shortHistory = layout == "short";
    } else if (arg == "--delay") {
      f.delayMs = static_cast<int>(number(0, 600000));
    } else if (arg == "--trickle") {
      f.trickleMs = static_cast<int>(number(0, 60000));
    } else if (arg == "--chunk") {
      f.chunk = static_cast<std::size_t>(number(1, 1 << 20));
    } else if (arg == "--silent") {
      f.silent = true;
    } else if (arg == "--status") {
      f.status = static_cast<int>(number(100, 999));
    } else if (arg == "--truncate") {
      f.truncate = number(0, 1ll << 40);
    } else if (arg == "--cut-close" || arg == "--cut-reset" || arg == "--cut-stall") {
      f.cut = arg == "--cut-close"   ? FaultOptions::Cut::kClose
              : arg == "--cut-reset" ? FaultOptions::Cut::kReset
                                     : FaultOptions::Cut::kStall;
      std::string where = value();
      if (where.rfind("after:", 0) == 0 && where.size() > 6) {
        f.cutAfter = where.substr(6);
      } else if (!ReadNumber(where.c_str(), 0, 1ll << 40, &f.cutAt)) {
        std::cerr << "quillet-quote-sim: bad place for " << arg << ": " << where << "\n";
        return 2;
      }
    } else if (arg == "--long-line") {
      f.longLine = static_cast<std::size_t>(number(0, 256ll << 20));
    } else if (arg == "--garbage") {
      f.garbage = static_cast<std::size_t>(number(0, 256ll << 20));
    } else if (arg == "--body-garbage") {
      f.bodyGarbage = static_cast<std::size_t>(number(0, 256ll << 20));
    } else if (arg == "--keep-open") {
      f.keepOpen = true;
    } else if (arg == "--no-content-length") {
      f.noContentLength = true;
    } else if (arg == "--content-length-name") {
      f.contentLengthName = value();
    } else if (arg == "--no-final-newline") {
      f.noFinalNewline = true;
    } else if (arg == "--lf") {
      f.lfOnly = true;
    } else if (arg == "--fault-count") {
      f.count = number(0, 1ll << 40);
    } else if (arg == "--fault-path") {
      f.pathFilter = value();
    } else {
      std::cerr << "quillet-quote-sim: unknown option " << arg << "\n" << kUsage;
      return 2;
    }
  }
  if (now < 0) now = static_cast<long long>(std::time(nullptr));
  server.seed = static_cast<std::uint64_t>(seed);

  PriceBook prices(static_cast<std::uint64_t>(seed), now);
  if (!fixturePath.empty()) {
    std::ifstream in(fixturePath, std::ios::binary);
    if (!in) {
      std::cerr << "quillet-quote-sim: cannot read fixture " << fixturePath << "\n";
      return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!prices.LoadFixture(text.str(), &error)) {
      std::cerr << "quillet-quote-sim: " << fixturePath << ": " << error << "\n";
      return 1;
    }
  }
  std::stringstream unknown(unknownList);
  for (std::string symbol; std::getline(unknown, symbol, ',');) {
    if (!symbol.empty()) prices.AddUnknown(symbol);
  }

  SimServer sim(server, DefaultHandlers(handlerOptions), std::move(prices));
  std::string error;
  if (!sim.Listen(&error)) {
    std::cerr << "quillet-quote-sim: " << error << "\n";
    return 1;
  }
  if (!portFile.empty()) {
    std::ofstream out(portFile);
    out << sim.port() << "\n";
  }
  std::cout << "listening " << server.bind << " " << sim.port() << std::endl;
  sim.Serve();
  return 0;
}
