#!/usr/bin/env python3
"""An example host for zel-ax: keeps a library of captured chats.

It starts `zel-ax serve`, arms LinkedIn reading with a control line, and reads
the agent's lines. Every conversation of a chat line is merged with what the
library already holds for that chat by `zel-capture merge`, so that repeated
captures of one chat become one growing conversation. The library is a SQLite
file with one row per chat. Profile lines are kept as they come, one per page.

    host.py --zel-ax PATH --zel-capture PATH --library FILE [zel-ax serve options]

It ends on SIGINT or SIGTERM, or when the agent ends: it closes the agent's
input (which ends the agent), waits for it, and exits with status 0. For each
chat it stores it prints one line: "stored <bundle id> <turns> <title>".
Only the Python standard library is used.
"""

import argparse
import json
import signal
import sqlite3
import subprocess
import sys


def chat_key(conversation):
    # The locator names a chat; a desktop app's chat without one goes by its title.
    return conversation.get("locator") or "%s:%s" % (conversation["source"], conversation.get("title", "untitled"))


def merged(zel_capture, earlier, later):
    lines = ("" if earlier is None else earlier + "\n") + json.dumps(later) + "\n"
    done = subprocess.run([zel_capture, "merge"], input=lines, capture_output=True, text=True, check=True)
    return done.stdout.strip().splitlines()[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zel-ax", required=True)
    parser.add_argument("--zel-capture", required=True)
    parser.add_argument("--library", required=True)
    args, serve_options = parser.parse_known_args()

    library = sqlite3.connect(args.library)
    library.execute("CREATE TABLE IF NOT EXISTS chats (key TEXT PRIMARY KEY, bundle_id TEXT, conversation TEXT)")
    library.execute("CREATE TABLE IF NOT EXISTS profiles (key TEXT PRIMARY KEY, bundle_id TEXT, profile TEXT)")
    library.commit()

    agent = subprocess.Popen([args.zel_ax, "serve"] + serve_options, stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, text=True, bufsize=1)

    def stop(*_):
        agent.stdin.close()  # the end of its input ends the agent

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    agent.stdin.write(json.dumps({"arm": {"linkedin": {}}}) + "\n")
    agent.stdin.flush()

    for line in agent.stdout:
        message = json.loads(line)
        if message.get("kind") == "profile":
            profile = message["profile"]
            key = "%s:%s:%s" % (profile["site"], profile["handle"], profile["view"])
            library.execute("INSERT OR REPLACE INTO profiles VALUES (?, ?, ?)",
                            (key, message["bundle_id"], json.dumps(profile)))
            library.commit()
            continue
        for conversation in message.get("chats", []):
            key = chat_key(conversation)
            row = library.execute("SELECT conversation FROM chats WHERE key = ?", (key,)).fetchone()
            whole = merged(args.zel_capture, row[0] if row else None, conversation)
            library.execute("INSERT OR REPLACE INTO chats VALUES (?, ?, ?)", (key, message["bundle_id"], whole))
            library.commit()
            turns = len(json.loads(whole)["turns"])
            print("stored %s %d %s" % (message["bundle_id"], turns, conversation.get("title", "")), flush=True)
    agent.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
