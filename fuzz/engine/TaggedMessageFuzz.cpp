// Arbitrary bytes as a stream of recorder replies, fed through the connection's state
// machine in slices of changing sizes (as a socket delivers them): headers are checked and
// skipped, each complete message is handled by a connection that is not connected (posts go
// nowhere), and a stored picture is handed to the window slot.
#include "engine/Connection.h"
#include "engine/ConnectionMachine.h"

#include <cstddef>
#include <cstdint>

namespace {

class Forward final : public CConnectionMachine::Handler {
public:
  explicit Forward(CConnection& connection) : connection_(connection) {}
  void handleReply(const std::uint8_t* message, const CTaggedMessage&, ReplyStatus& status) override {
    connection_.handleReply(message, status);
  }

private:
  CConnection& connection_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CLanguageTable language(CLanguageTable::kEnglish);
  CConnection connection;
  connection.configure("127.0.0.1", -1, 0, &language);
  if (!connection.defineMessages()) return 0;
  CConnectionMachine& machine = connection.machine();
  Forward forward(connection);

  static constexpr std::size_t kSlices[] = {1, 7, 64, 4096};
  std::size_t offset = 0;
  for (std::size_t round = 0; offset < size; ++round) {
    const std::size_t slice = kSlices[round % 4] < size - offset ? kSlices[round % 4] : size - offset;
    const std::int32_t taken = machine.feed(data + offset, std::int32_t(slice), std::uint32_t(round));
    if (taken <= 0) break;
    offset += std::size_t(taken);
    ReplyStatus status;
    CConnectionMachine::Step step;
    while ((step = machine.step(forward, status)) == CConnectionMachine::Step::Progress) {
      if (connection.receiveSlot.valid.load() && !connection.windowSlot[0].valid.load()) {
        connection.handOver(); // the request is only queued: not connected
        connection.windowSlot[0].valid.store(false);
      }
    }
    if (step == CConnectionMachine::Step::Failed) break; // the receive loop gives the connection up
  }
  return 0;
}
