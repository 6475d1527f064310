#include "modbus_test/command_test_link.h"

#include "link/link_types.h"
#include "link/module_commands.h"

namespace r770 {

CommandTestLink::CommandTestLink() = default;

CommandTestLink::~CommandTestLink() {
  if (record_) Close();
}

bool CommandTestLink::Open(const TestLinkParams& params, std::string& text, TestLogFn log, void* context) {
  // The engine keeps a reference to the record: close it before the record goes.
  if (record_) Close();
  record_ = std::make_unique<TTCPLink>();
  record_->TimeoutSec = params.TimeoutSec;
  record_->Retries = params.Retries;
  record_->Host = params.Host;
  record_->Port = params.Port;
  return OpenLink(*record_, &text, log, context);
}

int CommandTestLink::RawExchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> answer,
                                 int& length, std::string& text) {
  length = 0;
  return r770::RawExchange(request, answer, length, &text);
}

void CommandTestLink::Close() {
  CloseLink();
  record_.reset();
}

}  // namespace r770
