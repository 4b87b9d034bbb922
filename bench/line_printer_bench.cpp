// Encoding and writing a chat line of 200 turns of 2 KB each, against a plain
// write of the same number of bytes to the same file, in bytes per second.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "agent/line_printer.h"
#include "ratio_report.h"

namespace {

const std::vector<zel::chat::Conversation>& chats() {
  static const std::vector<zel::chat::Conversation> c = [] {
    // Mostly ASCII prose with some typographic quotes, accents and line breaks.
    const std::string piece = "An answer explains the \u201cbuild\u201d step, caf\u00e9 style.\nThen more. ";
    std::string text;
    while (text.size() + piece.size() <= 2048) text += piece;
    text.append(2048 - text.size(), '.');
    zel::chat::Conversation conversation;
    conversation.source = zel::chat::Source::chatGPTWeb;
    conversation.title = "Benchmark";
    conversation.locator = "https://chatgpt.com/c/abc";
    conversation.timeZone = "Europe/Berlin";
    for (int i = 0; i < 200; ++i)
      conversation.turns.push_back(
          zel::chat::makeTurn(i % 2 ? zel::chat::Turn::Role::assistant : zel::chat::Turn::Role::user, text));
    return std::vector<zel::chat::Conversation>{conversation};
  }();
  return c;
}

struct Output {
  int fd;
  Output() : fd(::open("/tmp/zel-line-printer-bench.out", O_WRONLY | O_CREAT | O_TRUNC, 0600)) {}
  ~Output() {
    ::close(fd);
    std::remove("/tmp/zel-line-printer-bench.out");
  }
  void rewind() const { ::lseek(fd, 0, SEEK_SET); }
};

size_t lineBytes() {
  static const size_t bytes =
      zel::agent::LinePrinter::chatLine("com.google.Chrome", zel::Date{8e8}, zel::agent::ReadStatus::ok, chats())->size();
  return bytes;
}

void plainWrite(benchmark::State& state) {
  Output out;
  const std::string bytes(lineBytes(), 'x');
  for (auto _ : state) {
    out.rewind();
    zel::agent::writeAll(out.fd, bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * lineBytes()));
}
BENCHMARK(plainWrite)->Name("chatLine/plainWrite");

void encodeAndWrite(benchmark::State& state) {
  Output out;
  zel::agent::LinePrinter printer(out.fd);
  for (auto _ : state) {
    out.rewind();
    printer.emit("com.google.Chrome", zel::Date{8e8}, zel::agent::ReadStatus::ok, chats());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * lineBytes()));
}
BENCHMARK(encodeAndWrite)->Name("chatLine/encodeAndWrite");

}  // namespace

int main(int argc, char** argv) { return zel::bench::runWithRatios(argc, argv, "plainWrite"); }
