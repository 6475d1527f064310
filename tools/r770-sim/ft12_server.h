// The simulator's FT1.2 front-end: a TCP server that takes the module's FT1.2 request frames,
// routes each by its address byte to a SimModule of the bus and frames the answer. It can
// misbehave on purpose (silence, dropped connections, delays, bad checksums, split answers,
// wrong packet numbers or addresses) so that the link's failure paths can be exercised.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sim_module.h"

namespace r770::sim {

struct Ft12Faults {
  bool silent = false;        // never answer
  int closeAfter = -1;        // end a connection after answering this many frames (-1: never):
                              // the server closes its side and ignores what still comes
  int delayMs = 0;            // pause before every answer
  int badChecksumEvery = 0;   // every Nth framed answer carries a wrong checksum (0: never)
  bool splitAnswers = false;  // send every answer in two parts, splitGapMs apart
  int splitGapMs = 100;
  bool wrongPacket = false;   // answer with the next packet number
  bool wrongAddress = false;  // answer with the next network number
};

struct Ft12ServerOptions {
  std::string listen = "127.0.0.1";
  int port = 51960;  // 0: any free port (see Port())
  Ft12Faults faults;
};

// One FT1.2 request taken from a byte stream.
struct Ft12Request {
  std::uint8_t control = 0;
  std::uint8_t address = 0;
  std::vector<std::uint8_t> data;  // user data: four bytes for a short frame
};

// Takes the first complete, valid request frame from the front of `stream` and removes it
// (and any garbage before it). Returns nothing while no complete frame is there.
std::optional<Ft12Request> TakeFt12Request(std::vector<std::uint8_t>& stream);

// Frames an answer: a short frame for up to four data bytes, a long one beyond; receipts as
// their single byte; nothing for None.
std::vector<std::uint8_t> FrameFt12Answer(const SimReply& reply, std::uint8_t control, std::uint8_t address);

class Ft12Server {
 public:
  Ft12Server(SimBus& bus, Ft12ServerOptions options);
  ~Ft12Server();
  Ft12Server(const Ft12Server&) = delete;
  Ft12Server& operator=(const Ft12Server&) = delete;

  // Binds, listens and starts serving on a thread of its own. False with a message when
  // the address cannot be used.
  bool Start(std::string* error);
  // Stops serving and closes every connection; safe to call twice.
  void Stop();
  int Port() const { return port_; }
  const std::string& Address() const { return options_.listen; }

  // Called on the serving thread after a connection has ended.
  std::function<void()> onConnectionClosed;
  // Called on the serving thread with every piece of bytes taken from a client (incoming)
  // and every answer sent to one, as it goes over the wire. Set before Start.
  std::function<void(bool incoming, std::span<const std::uint8_t> bytes)> onTraffic;

  // Replaces the faults from the next request on (injected or lifted while serving).
  void SetFaults(const Ft12Faults& faults);

  int FramesReceived() const { return framesReceived_.load(); }
  int Connections() const { return connections_.load(); }

 private:
  struct Client {
    int fd = -1;
    std::vector<std::uint8_t> stream;
    int answered = 0;
    bool ended = false;  // our side is closed; input is read and dropped until the peer closes
  };
  void Serve();
  // Handles what a client sent; false when the connection is to be closed.
  bool ServeClient(Client& client);
  void SendAnswer(int fd, const std::vector<std::uint8_t>& bytes, const Ft12Faults& faults);
  void Sent(std::span<const std::uint8_t> bytes);
  Ft12Faults Faults() const;
  void EndClient(Client& client);
  void CloseClient(Client& client);

  SimBus& bus_;
  Ft12ServerOptions options_;
  mutable std::mutex faultsMutex_;  // guards options_.faults
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  int port_ = 0;
  std::thread thread_;
  std::vector<Client> clients_;
  int framedAnswers_ = 0;
  std::atomic<int> framesReceived_{0};
  std::atomic<int> connections_{0};
};

}  // namespace r770::sim
