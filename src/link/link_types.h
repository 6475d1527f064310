// Link parameter records: what the caller fills in before opening a link to the module.
// The caller owns the record; an engine keeps a reference to it and only reads it.
#pragma once
#include <cstdint>
#include <string>

namespace r770 {

// Link kind codes.
inline constexpr std::uint8_t kLinkCanBus = 3;  // CAN-BUS adapter on a serial port
inline constexpr std::uint8_t kLinkTcp = 4;     // TCP connection to the module

// Base of every link record.
struct TCustomLink {
  virtual ~TCustomLink() = default;
  std::uint8_t Kind = 0;
  std::int32_t OwnNode = 0;     // the computer's node number on the CAN bus (kind 3 only)
  std::int32_t Retries = 1;     // attempts per request
  std::int32_t TimeoutSec = 1;  // time allowed for an answer, whole seconds
};

// Serial port link: "COM" + PortNumber at Speed.
struct TRSLink : TCustomLink {
  std::int32_t PortNumber = 0;
  std::int32_t Speed = 0;
  // Serial device behind "COM" + PortNumber (the settings' "ComPorts" section resolves it);
  // empty: /dev/ttyS(PortNumber - 1).
  std::string DevicePath;
};

// CAN-BUS adapter on a serial port; after construction Speed holds the CAN bus speed in kbaud
// (300, 150, 100, 50 or 20) once the caller has stored it.
struct TCANbusLink : TRSLink {
  TCANbusLink() {
    Kind = kLinkCanBus;
    Speed = 115200;
  }
};

// IP link: Host is a dotted IPv4 address or a host name.
struct TIPLink : TCustomLink {
  std::int32_t Port = 0;
  std::string Host;
};

// TCP connection to the module's Ethernet interface.
struct TTCPLink : TIPLink {
  TTCPLink() { Kind = kLinkTcp; }
};

}  // namespace r770
