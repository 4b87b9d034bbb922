#pragma once
// The words of one zel-capture command: options, before or after the files,
// and the files.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zel::tools {

struct CommandWords {
  std::map<std::string, std::string> options;  // "--name" to its value
  std::set<std::string> flags;                 // options without a value
  std::vector<std::string> files;              // everything else, "-" included
  std::string problem;                         // set when the words do not parse

  // Splits `args` from `first` on: `valued` options take the next word,
  // `flagNames` stand alone, any other word starting with "--" is a problem.
  static CommandWords parse(const std::vector<std::string>& args, size_t first, const std::set<std::string>& valued,
                            const std::set<std::string>& flagNames = {});

  const std::string* option(const std::string& name) const;
};

}  // namespace zel::tools
