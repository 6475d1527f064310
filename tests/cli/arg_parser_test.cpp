// The shared command-line reader: how options take values, what is positional, what Take
// leaves behind, and where the reading stops.
#include "arg_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace r770::cli {
namespace {

using Args = std::vector<std::string>;

// A table in the shape of the programs' ones; every handler writes what it saw to a log.
struct Recorder {
  std::vector<std::string> log;

  ArgParser Table() {
    ArgParser p;
    p.Flag("--json", [this] { log.push_back("json"); })
        .Option("--host",
                [this](const ArgParser::Value& v) {
                  if (!v) return std::string("--host: no value");
                  if (*v == "bad") return std::string("--host: bad");
                  log.push_back("host=" + *v);
                  return std::string();
                })
        .OptionElseUnknown("--map", [this](const std::string& v) { log.push_back("map=" + v); })
        .Positional([this](const std::string& a) {
          log.push_back("file=" + a);
          return std::string();
        })
        .Unknown(ArgValue::None,
                 [](const std::string& a, const ArgParser::Value&) { return "unknown " + a; });
    return p;
  }
};

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& s : items) out += (out.empty() ? "" : " ") + s;
  return out;
}

TEST(ArgParserTest, ParseTable) {
  struct Case {
    Args args;
    std::string error;
    std::string log;
  } cases[] = {
      {{}, "", ""},
      {{"a.bmt", "--json", "b.bmt"}, "", "file=a.bmt json file=b.bmt"},
      // A value is the next argument whatever it looks like.
      {{"--host", "--json"}, "", "host=--json"},
      {{"--host", ""}, "", "host="},
      {{"--host"}, "--host: no value", ""},
      {{"--host", "bad", "a.bmt"}, "--host: bad", ""},
      {{"--map", "hr", "x"}, "", "map=hr file=x"},
      // Given last, an option whose value is missing is unknown.
      {{"x", "--map"}, "unknown --map", "file=x"},
      // The reading stops at the first message.
      {{"--nope", "--host"}, "unknown --nope", ""},
      {{"-"}, "unknown -", ""},
      {{""}, "", "file="},
      // Names match whole: no abbreviations, no --name=value.
      {{"--js"}, "unknown --js", ""},
      {{"--host=h"}, "unknown --host=h", ""},
  };
  for (const Case& c : cases) {
    Recorder r;
    EXPECT_EQ(r.Table().Parse(c.args), c.error) << Joined(c.args);
    EXPECT_EQ(Joined(r.log), c.log) << Joined(c.args);
  }
}

TEST(ArgParserTest, UnknownOptionsAndPositionals) {
  struct Case {
    ArgValue how;
    bool positional;
    Args args;
    std::string log;
  } cases[] = {
      // An unknown option may take the next argument unless that one is an option itself.
      {ArgValue::NextUnlessOption, true, {"--tcp", "h", "f"}, "?--tcp=h +f"},
      {ArgValue::NextUnlessOption, true, {"--tcp", "--json", "f"}, "?--tcp json +f"},
      {ArgValue::NextUnlessOption, true, {"--tcp", "", "f"}, "?--tcp= +f"},
      {ArgValue::NextUnlessOption, true, {"--tcp"}, "?--tcp"},
      {ArgValue::Next, true, {"--x", "--json"}, "?--x=--json"},
      {ArgValue::None, true, {"--x", "v"}, "?--x +v"},
      // Without a positional handler every other argument is unknown.
      {ArgValue::None, false, {"v", "--json"}, "?v json"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> log;
    ArgParser p;
    p.Flag("--json", [&] {
       log.push_back("json");
     }).Unknown(c.how, [&](const std::string& a, const ArgParser::Value& v) {
      log.push_back("?" + a + (v ? "=" + *v : ""));
      return std::string();
    });
    if (c.positional)
      p.Positional([&](const std::string& a) {
        log.push_back("+" + a);
        return std::string();
      });
    EXPECT_EQ(p.Parse(c.args), "") << Joined(c.args);
    EXPECT_EQ(Joined(log), c.log) << Joined(c.args);
  }
}

TEST(ArgParserTest, TakeLeavesTheRestInOrder) {
  struct Case {
    std::string prefix;
    Args args;
    std::string error;
    std::string rest;  // args after Take (unchanged on an error)
    std::string log;
  } cases[] = {
      {"", {"--tcp", "h", "--from", "05", "f", "--can"}, "", "--tcp h f", "from=05 can"},
      // A value is taken even when it is an option of another table.
      {"", {"--from", "--tcp", "h"}, "", "h", "from=--tcp"},
      // An option given last without its value stays for the next reader.
      {"", {"x", "--from"}, "", "x --from", ""},
      {"", {"--nope", "v"}, "", "--nope v", ""},
      // Under a prefix the parser owns every option: unknown ones are refused.
      {"--m-", {"--can", "--m-port", "1", "x"}, "", "--can x", "port=1"},
      {"--m-", {"--m-what", "1", "x"}, "unknown --m-what (1)", "--m-what 1 x", ""},
      {"--m-", {"--m-port"}, "--m-port: no value", "--m-port", ""},
      {"--m-", {"--from", "1"}, "", "--from 1", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> log;
    ArgParser p;
    if (c.prefix.empty()) {
      p.OptionElseUnknown("--from", [&](const std::string& v) {
         log.push_back("from=" + v);
       }).Flag("--can", [&] { log.push_back("can"); });
    } else {
      p.Prefix(c.prefix)
          .Option("--m-port",
                  [&](const ArgParser::Value& v) {
                    if (!v) return std::string("--m-port: no value");
                    log.push_back("port=" + *v);
                    return std::string();
                  })
          .Unknown(ArgValue::Next, [](const std::string& a, const ArgParser::Value& v) {
            return "unknown " + a + " (" + v.value_or("") + ")";
          });
    }
    Args args = c.args;
    EXPECT_EQ(p.Take(args), c.error) << Joined(c.args);
    EXPECT_EQ(Joined(args), c.rest) << Joined(c.args);
    EXPECT_EQ(Joined(log), c.log) << Joined(c.args);
  }
}

TEST(ArgParserTest, LooksLikeOption) {
  EXPECT_TRUE(LooksLikeOption("-o"));
  EXPECT_TRUE(LooksLikeOption("-"));
  EXPECT_TRUE(LooksLikeOption("--json"));
  EXPECT_FALSE(LooksLikeOption(""));
  EXPECT_FALSE(LooksLikeOption("a-b"));
}

}  // namespace
}  // namespace r770::cli
