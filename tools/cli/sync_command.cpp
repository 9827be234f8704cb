// `sync [--yes|--no]`: one whole desktop update run (begin, the five steps, end) of the desktop
// root against the device root connected to it, as the sync manager's provider drives it. The
// progress texts go to standard error, the run's log to standard output as it is written;
// Ctrl-C is the progress window's Cancel. Exit 0 only when the run wrote the stocks back.
#include <poll.h>
#include <unistd.h>

#include <ostream>
#include <string>

#include "core/quote_tables.h"
#include "desktop/desk_steps.h"
#include "desktop/desk_texts.h"
#include "desktop/quillet_updater.h"
#include "tools/cli/cli.h"
#include "tools/cli/desktop_commands.h"
#include "tools/cli/interrupt.h"

namespace quillet::cli {
namespace {

enum class Answer { kAsk, kYes, kNo };

class TerminalProgress final : public DeskProgress {
 public:
  TerminalProgress(std::ostream& err, const Interrupt& interrupt, CancelToken& cancel)
      : err_(err), interrupt_(interrupt), cancel_(cancel) {}
  void ShowStatus(UINT id) override {
    err_ << strings::LoadString(id) << "\n" << std::flush;
    PumpMessages();
  }
  void ShowSource(int source) override {
    const PartnerEntry& partner = PartnerOfSource(source);
    err_ << "Source " << source << " (" << partner.szAddress << ")\n" << std::flush;
  }
  // Ctrl-C is seen wherever a window would dispatch its messages.
  void PumpMessages() override {
    if (interrupt_.raised->load() != 0) cancel_.Cancel();
  }

 private:
  std::ostream& err_;
  const Interrupt& interrupt_;
  CancelToken& cancel_;
};

class TerminalHost final : public DeskRunHost {
 public:
  TerminalHost(std::ostream& err, const Interrupt& interrupt, Answer answer)
      : err_(err), interrupt_(interrupt), answer_(answer) {}
  std::unique_ptr<DeskProgress> OpenProgress(CancelToken& cancel) override {
    return std::make_unique<TerminalProgress>(err_, interrupt_, cancel);
  }
  // The question as the dialog asks it: ten seconds for an answer, No when none comes.
  bool AskToUpdate() override {
    err_ << desk_text::kUpdateQuestion;
    if (answer_ != Answer::kAsk) {
      err_ << (answer_ == Answer::kYes ? " yes\n" : " no\n") << std::flush;
      return answer_ == Answer::kYes;
    }
    err_ << " [y/N, 10 seconds] " << std::flush;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    char reply = 'n';
    if (::poll(&p, 1, 10000) == 1 && ::read(STDIN_FILENO, &reply, 1) != 1) reply = 'n';
    err_ << "\n";
    return reply == 'y' || reply == 'Y';
  }
  void PumpMessages() override {}

 private:
  std::ostream& err_;
  const Interrupt& interrupt_;
  Answer answer_;
};

}  // namespace

int RunSync(CliEnv& env, const std::vector<std::string>& args) {
  Answer answer = Answer::kAsk;
  for (const std::string& a : args) {
    if (a == "--yes" && answer == Answer::kAsk) {
      answer = Answer::kYes;
    } else if (a == "--no" && answer == Answer::kAsk) {
      answer = Answer::kNo;
    } else {
      *env.err << "usage: quillet-cli [--desktop-root DIR] sync [--yes|--no]\n";
      return 2;
    }
  }
  PlatformContext* desktop = env.Desktop();
  if (!desktop) return 1;
  const Interrupt& interrupt = env.host.interrupt;
  TerminalHost host(*env.err, interrupt, answer);
  CDeskSteps steps;
  DeskRunServices services{*desktop, host};
  services.steps = &steps;
  CQuilletUpdater run(services);
  run.SetLogListener([&env](std::string_view line) { *env.out << line << "\n" << std::flush; });
  {
    ListenForInterrupt listen(interrupt);
    run.BeginRun();
    for (int step = 0; step < 5; ++step) run.RunStep();
    run.EndRun();
  }
  return run.wroteBack() ? 0 : 1;
}

}  // namespace quillet::cli
