// A stand-in for the sync manager, its registration tool and its application manager in the
// installer's tests; which one it is comes from the name it was started under (the tests link
// it into the desktop root as "WCESMGR.EXE", "regsvr32.exe" and "CEAPPMGR.EXE"). Every start
// appends "<name> <arguments>" to "<root>/calls.log". Files in the root steer it:
//   regsvr-exit    the registration tool's exit code (0 when missing)
//   regsvr-hold    while it exists, the registration tool does not end (at most 30 s)
//   no-dialog      /syncmgr opens no options dialog
//   hold           while it exists, /syncnow keeps the "Microsoft ActiveSync" window (30 s)
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/ascii.h"
#include "platform/linux/window_station.h"

using namespace quillet;

namespace {

std::string root;

bool Has(const char* name) { return ::access((root + "/" + name).c_str(), F_OK) == 0; }

void Note(const std::string& line) {
  std::ofstream(root + "/calls.log", std::ios::app) << line << "\n";
}

// Waits while the file exists, at most 30 s, so a test that fails never leaves it behind.
void HoldWhile(const char* name) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Has(name) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* env = std::getenv("QUILLET_DESKTOP_ROOT");
  if (env == nullptr) return 9;
  root = env;
  std::string name = argv[0];
  name = name.substr(name.rfind('/') + 1);
  std::string args;
  for (int i = 1; i < argc; ++i) args += std::string(" ") + argv[i];
  Note(name + args);

  if (EqualNoCase(name, "regsvr32.exe")) {
    HoldWhile("regsvr-hold");
    std::ifstream code(root + "/regsvr-exit");
    int exitCode = 0;
    code >> exitCode;
    return exitCode;
  }
  if (!EqualNoCase(name, "WCESMGR.EXE")) return 0;
  WindowStation station(root);
  if (args == " /syncmgr" && !Has("no-dialog")) {
    bool confirmed = false;
    HWND top = station.CreateWindow("Options", "#32770", "C:\\WCESMGR.EXE",
                                    [&](const WindowMessage& m) -> LRESULT {
                                      if (m.msg == WM_COMMAND && (m.wParam & 0xFFFF) == 1)
                                        confirmed = true;
                                      return 0;
                                    });
    HWND page = station.CreateChildWindow(top, "Sync Options", "#32770", nullptr);
    station.CreateChildWindow(page, "Quillet", "SysListView32", nullptr);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!confirmed && std::chrono::steady_clock::now() < end) station.PumpFor(50);
    if (confirmed) Note("options confirmed");
  } else if (args == " /syncnow /quit") {
    HWND window = station.CreateWindow("Microsoft ActiveSync", "SyncMgr", "C:\\WCESMGR.EXE",
                                       [](const WindowMessage&) -> LRESULT { return 0; });
    HoldWhile("hold");
    station.DestroyWindow(window);
  }
  return 0;
}
