#include "arg_parser.h"

#include <utility>

namespace r770::cli {

bool LooksLikeOption(const std::string& arg) { return !arg.empty() && arg[0] == '-'; }

ArgParser& ArgParser::Flag(const std::string& name, std::function<void()> set) {
  entries_.push_back({name, ArgValue::None, [set = std::move(set)](const Value&) {
                        set();
                        return std::string();
                      }});
  return *this;
}

ArgParser& ArgParser::Option(const std::string& name, Apply apply) {
  entries_.push_back({name, ArgValue::Next, std::move(apply)});
  return *this;
}

ArgParser& ArgParser::OptionElseUnknown(const std::string& name,
                                        std::function<void(const std::string&)> set) {
  entries_.push_back({name, ArgValue::NextElseUnknown, [set = std::move(set)](const Value& v) {
                        set(*v);
                        return std::string();
                      }});
  return *this;
}

ArgParser& ArgParser::Positional(std::function<std::string(const std::string&)> take) {
  positional_ = std::move(take);
  return *this;
}

ArgParser& ArgParser::Unknown(ArgValue how,
                              std::function<std::string(const std::string&, const Value&)> handle) {
  unknownHow_ = how;
  unknown_ = std::move(handle);
  return *this;
}

ArgParser& ArgParser::Prefix(std::string prefix) {
  prefix_ = std::move(prefix);
  return *this;
}

std::string ArgParser::Parse(const std::vector<std::string>& args) const { return Read(args, nullptr); }

std::string ArgParser::Take(std::vector<std::string>& args) const {
  std::vector<std::string> rest;
  std::string error = Read(args, &rest);
  if (error.empty()) args = std::move(rest);
  return error;
}

const ArgParser::Entry* ArgParser::Find(const std::string& name) const {
  for (const Entry& e : entries_)
    if (e.name == name) return &e;
  return nullptr;
}

bool ArgParser::TakesNext(ArgValue how, const std::vector<std::string>& args, std::size_t i) {
  const bool more = i + 1 < args.size();
  switch (how) {
    case ArgValue::None:
      return false;
    case ArgValue::Next:
    case ArgValue::NextElseUnknown:
      return more;
    case ArgValue::NextUnlessOption:
      return more && !LooksLikeOption(args[i + 1]);
  }
  return false;
}

std::string ArgParser::Read(const std::vector<std::string>& args, std::vector<std::string>* rest) const {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!prefix_.empty() && a.rfind(prefix_, 0) != 0) {
      if (rest) rest->push_back(a);
      continue;
    }
    const Entry* e = Find(a);
    if (e && e->how == ArgValue::NextElseUnknown && i + 1 >= args.size()) e = nullptr;
    if (e) {
      Value v;
      if (TakesNext(e->how, args, i)) v = args[++i];
      if (std::string error = e->apply(v); !error.empty()) return error;
      continue;
    }
    if (LooksLikeOption(a) || !positional_) {
      // In Take, options off the table stay unless a prefix claims them for this parser.
      if (rest && (prefix_.empty() || !unknown_)) {
        rest->push_back(a);
        continue;
      }
      if (!unknown_) continue;
      Value v;
      if (TakesNext(unknownHow_, args, i)) v = args[++i];
      if (std::string error = unknown_(a, v); !error.empty()) return error;
      continue;
    }
    if (rest) {
      rest->push_back(a);
      continue;
    }
    if (std::string error = positional_(a); !error.empty()) return error;
  }
  return "";
}

}  // namespace r770::cli
