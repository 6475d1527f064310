// The command line of r770ctl's commands and of r770-sim, read by one table of options.
// Each option names what it does with its value; the parser walks the arguments in order and
// stops at the first message a handler returns. The messages are the programs' own: the
// parser has none.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace r770::cli {

// An argument that is an option: not empty and starting with '-' ("-" alone included).
bool LooksLikeOption(const std::string& arg);

// How an option takes its value.
enum class ArgValue {
  None,             // a switch
  Next,             // the next argument, whatever it is; none when the option is the last one
  NextElseUnknown,  // the next argument; an option given last is unknown
  NextUnlessOption  // the next argument when there is one and it is not an option
};

class ArgParser {
 public:
  // What a handler returns: empty, or the message that stops the reading.
  using Value = std::optional<std::string>;
  using Apply = std::function<std::string(const Value& value)>;

  // A switch: set() when it is given.
  ArgParser& Flag(const std::string& name, std::function<void()> set);
  // An option with the next argument as its value (nullopt when it is the last one).
  ArgParser& Option(const std::string& name, Apply apply);
  // An option with the next argument as its value; given last, it is an unknown option.
  ArgParser& OptionElseUnknown(const std::string& name, std::function<void(const std::string&)> set);
  // Arguments that are not options. Without this handler they count as unknown options.
  ArgParser& Positional(std::function<std::string(const std::string&)> take);
  // Options that are not in the table (value: nullopt unless `how` gave one). Without this
  // handler they are skipped.
  ArgParser& Unknown(ArgValue how,
                     std::function<std::string(const std::string& option, const Value& value)> handle);
  // Only arguments starting with prefix are this parser's; Take leaves the others in place.
  ArgParser& Prefix(std::string prefix);

  // Reads every argument; the first message a handler returned, or empty.
  std::string Parse(const std::vector<std::string>& args) const;
  // Takes the options of the table (and, with a prefix, the unknown ones under it) out of
  // args; the other arguments stay, in their order. The first message, or empty.
  std::string Take(std::vector<std::string>& args) const;

 private:
  struct Entry {
    std::string name;
    ArgValue how;
    Apply apply;
  };
  const Entry* Find(const std::string& name) const;
  std::string Read(const std::vector<std::string>& args, std::vector<std::string>* rest) const;
  static bool TakesNext(ArgValue how, const std::vector<std::string>& args, std::size_t i);

  std::vector<Entry> entries_;
  std::function<std::string(const std::string&)> positional_;
  ArgValue unknownHow_ = ArgValue::None;
  std::function<std::string(const std::string&, const Value&)> unknown_;
  std::string prefix_;
};

}  // namespace r770::cli
