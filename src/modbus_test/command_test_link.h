// The test link of the program: a TTCPLink opened through the module command layer
// (OpenLink, RawExchange, CloseLink). It owns the link record from one opening to the next.
#pragma once
#include <memory>

#include "modbus_test/test_link.h"

namespace r770 {

struct TTCPLink;

class CommandTestLink final : public ModbusTestLink {
 public:
  CommandTestLink();
  ~CommandTestLink() override;

  // OpenTestLink: frees the previous record, builds a TTCPLink (Host, Port, TimeoutSec,
  // Retries) and calls OpenLink with the handler.
  bool Open(const TestLinkParams& params, std::string& text, TestLogFn log, void* context) override;
  int RawExchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> answer, int& length,
                  std::string& text) override;
  // CloseLink, then the record is freed.
  void Close() override;

 private:
  std::unique_ptr<TTCPLink> record_;
};

}  // namespace r770
