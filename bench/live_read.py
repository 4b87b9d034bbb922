"""Reading speed of the Linux backend on a real browser, and what the agent
costs while a browser is open. Starts its own desktop (Xvfb, buses, HTTPS for
the chat hosts), a Chromium (or, with ZEL_BENCH_BROWSER=firefox, a Firefox)
with a long Claude chat in one window and a news page in another, then runs
atspi_read_bench (the backend's walk next to a naive synchronous libatspi
walk, and the cost of refusing the news page) and zel-ax serve for a while,
reporting its CPU time next to the browser's with no agent running, and the
bus calls each of its reads makes (in a run of its own through the bus,
where a monitor sees them).

    /usr/bin/python3 bench/live_read.py [TURNS] [SERVE_SECONDS] [NEWS_STORIES]

Defaults: 300 turns (several thousand elements), 60 seconds, 10,000 stories
on the news page (about 60,000 elements: what refusing a large page costs)."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "live"))
from live_desktop import PAGES, Agent, Desktop, Lines, wait_for  # noqa: E402

BIN = os.path.join(ROOT, "build", "release")
CHAT = "4f3e2d1c-0b9a-4876-a5b4-c3d2e1f0a9b8"
FIREFOX = os.environ.get("ZEL_BENCH_BROWSER") == "firefox"
BUNDLE = "org.mozilla.firefox" if FIREFOX else "com.google.Chrome"
PROCESS = "firefox" if FIREFOX else "chromium"  # how the desktop names the browser's processes


def long_chat(turns):
    out = ['<!doctype html><html lang="en"><head><meta charset="utf-8"><title>{{id}} - Claude</title></head>'
           '<body><main class="main"><div role="group" class="flex-1 flex flex-col">']
    for i in range(1, turns + 1):
        mine = i % 2 == 1
        out.append('<div role="article" aria-label="Message %d of %d"><div role="group">' % (i, turns))
        out.append('<h2 class="sr-only">%s</h2>' % ("You said:" if mine else "Claude responded:"))
        if mine:
            out.append('<div role="group" class="font-user-message"><p class="whitespace-pre-wrap">Question %d about '
                       '<code>drift</code>?</p></div>' % i)
        else:
            out.append('<div role="group" class="font-claude-message">')
            for p in range(3):
                out.append('<p class="_Paragraph_1x2y">Answer %d, part %d: <em>probes</em> catch <strong>drift'
                           '</strong> early.</p>' % (i, p))
            out.append('<ul><li>first point</li><li>second point</li></ul></div>')
        out.append('<div role="toolbar"><button aria-label="Copy">c</button></div></div></div>')
    # The page changes when the benchmark says (tests/live/pages/zel-driver.js).
    out.append('</div></main><script src="/zel-driver.js"></script></body></html>')
    return "".join(out)


def long_news(stories):
    out = ['<!doctype html><html lang="en"><head><meta charset="utf-8"><title>{{id}} - News</title></head>'
           '<body><main><h1>Today\'s news {{id}}</h1>']
    for i in range(stories):
        out.append('<p>Story %d: <em>markets</em> moved and <a href="/s/%d">more</a> happened.</p>' % (i, i))
    out.append('</main></body></html>')
    return "".join(out)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def desktop_cpu(desktop):
    """CPU seconds of the browser's processes (its process group: Chromium
    rewrites its helpers' command lines and environments) and of the
    accessibility bus daemon."""
    groups = {p.pid for name, p in desktop.processes if name.startswith(PROCESS)}
    marked = set(desktop.leftovers())
    kinds = {"browser": 0.0, "bus daemon": 0.0}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        pid = int(name)
        try:
            with open("/proc/%d/stat" % pid) as f:
                group = int(f.read().rsplit(")", 1)[1].split()[2])
            if group in groups:
                kinds["browser"] += cpu_seconds(pid)
            elif pid in marked:
                with open("/proc/%d/cmdline" % pid, "rb") as f:
                    if b"accessibility.conf" in f.read():
                        kinds["bus daemon"] += cpu_seconds(pid)
        except (OSError, IndexError, ValueError):
            continue
    return kinds


def bus_daemon(desktop):
    for pid in desktop.leftovers():
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                if b"accessibility.conf" in f.read():
                    return pid
        except OSError:
            continue
    return 0


def read_bench(desktop, browser):
    """atspi_read_bench over the chat and the news page; when it asks, one new
    turn is added to the chat."""
    env = dict(desktop.env, ZEL_BENCH_BROWSER_GROUP=str(browser.pid), ZEL_BENCH_BUS_DAEMON=str(bus_daemon(desktop)),
               ZEL_BENCH_CHANGES="1", ZEL_BENCH_APP=BUNDLE)
    bench = subprocess.Popen([os.path.join(BIN, "bench", "atspi_read_bench"), CHAT, "today - News"], env=env,
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    for line in bench.stdout:
        print(line, end="", flush=True)
        if line.startswith("change the page"):
            desktop.drive({"op": "append", "text": "A new answer about drift, added while the user reads."})
            bench.stdin.write("changed\n")
            bench.stdin.flush()
    desktop.drive({"op": "stop"})
    if bench.wait(timeout=600) != 0:
        raise SystemExit("atspi_read_bench failed")


def idle(desktop, seconds):
    """The browser's and the bus daemon's CPU with no agent running, as a
    share of a core: what serve's figures are read against."""
    before = desktop_cpu(desktop)
    time.sleep(seconds)
    after = desktop_cpu(desktop)
    return {k: 100 * (after[k] - before[k]) / seconds for k in before}


def serve_calls(desktop, seconds):
    """Bus calls per read of serve: the agent's calls all go through the bus
    here, where a monitor counts them; a read is a burst of calls."""
    monitor = desktop.start("dbus-monitor", ["dbus-monitor", "--address", desktop.accessibility_address(),
                                             "type='method_call'"], stdout=subprocess.PIPE)
    seen = Lines(monitor.stdout)
    time.sleep(1)  # the monitor watching; a benchmark measures over time
    agent = Agent(desktop, os.path.join(BIN, "src", "agent", "zel-ax"), ["--chat-browsers", BUNDLE],
                  env=dict(desktop.env, ZEL_AX_ATSPI_THROUGH_BUS="1"))
    time.sleep(seconds)
    agent.stop()
    desktop.stop(monitor)
    times = [float(line.split("time=")[1].split()[0]) for line in list(seen.lines)
             if line.startswith("method call") and "member=Get" in line]
    reads, last = [], None
    for t in times:
        if last is None or t - last > 0.5:
            reads.append(0)
        reads[-1] += 1
        last = t
    # The first read learns the page; the last may be cut short.
    steady = sorted(reads[1:-1]) or reads
    print("serve through the bus, %.0f s: %d reads; bus calls of the first %d, of a later one (median) %d"
          % (seconds, len(reads), reads[0] if reads else 0, steady[len(steady) // 2] if steady else 0))


def serve(desktop, what, seconds):
    quiet = idle(desktop, min(seconds, 10))
    before = desktop_cpu(desktop)
    agent = Agent(desktop, os.path.join(BIN, "src", "agent", "zel-ax"), ["--chat-browsers", BUNDLE])
    time.sleep(seconds)  # a benchmark measures over time; tests never sleep
    used = cpu_seconds(agent.process.pid)
    after = desktop_cpu(desktop)
    agent.stop()
    chats = [l for l in agent.lines if "kind" not in l and l.get("chats")]
    share = lambda cpu: 100 * cpu / seconds
    print("serve, %s, %.0f s: %% of one core: agent %.2f, bus daemon %.2f, browser %.2f (%.2f without an agent); "
          "%d chat lines" % (what, seconds, share(used), share(after["bus daemon"] - before["bus daemon"]),
                             share(after["browser"] - before["browser"]), quiet["browser"], len(chats)))


def main():
    turns = int(sys.argv[1]) if len(sys.argv) > 1 else 300
    serve_seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    stories = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    pages = tempfile.mkdtemp(prefix="zel-bench-pages-")
    for name in os.listdir(PAGES):
        shutil.copy(os.path.join(PAGES, name), pages)
    with open(os.path.join(pages, "claude.ai.html"), "w") as f:
        f.write(long_chat(turns))
    with open(os.path.join(pages, "news.example.html"), "w") as f:
        f.write(long_news(stories))
    desktop = Desktop(pages)
    try:
        desktop.open()
        desktop.set_accessibility(True)
        if FIREFOX:
            profile = desktop.firefox_profile("bench")
            browser = desktop.firefox(profile, ["https://news.example/today"])
            desktop.wait_for_window("today - News")
            desktop.firefox(profile, ["--new-window", "https://claude.ai/chat/" + CHAT + "?driven"])
        else:
            browser = desktop.chromium(["https://news.example/today"])
            desktop.wait_for_window("today - News")
            desktop.chromium(["--new-window", "https://claude.ai/chat/" + CHAT + "?driven"])
        desktop.wait_for_window(CHAT)
        # The page's script runs once its document is parsed: a window's title
        # comes sooner (Firefox's first read came before the page was there).
        wait_for("the chat page loaded", lambda: desktop.requested("claude.ai", "/zel-steps"), 60)
        print("news page: %d stories, about %d elements" % (stories, 6 * stories))
        read_bench(desktop, browser)
        serve(desktop, "the long chat in front", serve_seconds)
        serve_calls(desktop, min(serve_seconds, 15))
        # A chat of everyday length: what the agent costs while the user reads.
        desktop.stop(browser)
        if FIREFOX:
            desktop.firefox(desktop.firefox_profile("everyday"), ["https://chatgpt.com/c/68a1f0c2-7d4e-8001-9b3a-5c6d7e8f9012"])
        else:
            desktop.chromium(["https://chatgpt.com/c/68a1f0c2-7d4e-8001-9b3a-5c6d7e8f9012"], profile="everyday")
        desktop.wait_for_window("68a1f0c2")
        serve(desktop, "a short chat in front", serve_seconds)
    finally:
        desktop.close()
        shutil.rmtree(pages, ignore_errors=True)


if __name__ == "__main__":
    main()
