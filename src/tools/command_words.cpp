#include "tools/command_words.h"

namespace zel::tools {

CommandWords CommandWords::parse(const std::vector<std::string>& args, size_t first,
                                 const std::set<std::string>& valued, const std::set<std::string>& flagNames) {
  CommandWords words;
  for (size_t i = first; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (!word.starts_with("--")) {
      words.files.push_back(word);
    } else if (flagNames.contains(word)) {
      words.flags.insert(word);
    } else if (valued.contains(word)) {
      if (i + 1 >= args.size()) {
        words.problem = word + " needs a value";
        return words;
      }
      words.options[word] = args[++i];
    } else {
      words.problem = "unknown option " + word;
      return words;
    }
  }
  return words;
}

const std::string* CommandWords::option(const std::string& name) const {
  auto it = options.find(name);
  return it == options.end() ? nullptr : &it->second;
}

}  // namespace zel::tools
