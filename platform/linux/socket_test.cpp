// The real sockets' waits: a host name look-up that never ends is cut short by the waiting call's
// owner (Cancel, a time-out) like any other wait, and a look-up that fails says so.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/linux/posix_sockets.h"

namespace quillet {
namespace {

// A resolver that hangs until released, as a name server that never answers would.
struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  int calls = 0;
  void Open() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    opened.notify_all();
  }
};

HostResolver HangingResolver(std::shared_ptr<Gate> gate) {
  return [gate](const std::string&, std::vector<std::uint32_t>*) -> LONG {
    std::unique_lock<std::mutex> lock(gate->mutex);
    ++gate->calls;
    gate->opened.wait(lock, [&] { return gate->open; });
    return WSAHOST_NOT_FOUND;
  };
}

// Gives up after a number of slices, as the quote client's time-out or Cancel does.
class GiveUpAfter final : public SocketWaitHandler {
 public:
  explicit GiveUpAfter(int slices) : left_(slices) {}
  bool OnMessagePending() override {
    ++asked;
    return --left_ > 0;
  }
  int asked = 0;

 private:
  int left_;
};

TEST(Sockets, AHangingNameLookUpEndsWhenTheWaitGivesUp) {
  auto gate = std::make_shared<Gate>();
  auto sockets = MakePosixSockets(HangingResolver(gate));
  GiveUpAfter waiter(4);
  LONG error = 0;
  auto socket = sockets->Create(&waiter, &error);
  ASSERT_NE(socket, nullptr);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(socket->Connect("quotes.example", 80), WSAEINTR);
  auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(waiter.asked, 4) << "the look-up was waited for in slices";
  // Four slices of 50 ms, not the look-up's (endless) time; generous for a loaded machine.
  EXPECT_LT(waited, std::chrono::seconds(20));
  socket.reset();
  gate->Open();  // the helper thread ends on its own; nothing waits for it
}

TEST(Sockets, ALookUpThatFindsNothingIsHostNotFound) {
  auto sockets = MakePosixSockets([](const std::string& host, std::vector<std::uint32_t>*) {
    return host == "empty.example" ? LONG{0} : WSAHOST_NOT_FOUND;
  });
  GiveUpAfter waiter(1000);
  LONG error = 0;
  auto a = sockets->Create(&waiter, &error);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Connect("nowhere.example", 80), WSAHOST_NOT_FOUND);
  auto b = sockets->Create(&waiter, &error);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Connect("empty.example", 80), WSAHOST_NOT_FOUND);
}

}  // namespace
}  // namespace quillet
