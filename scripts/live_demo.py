"""The agent on a real Chromium: a desktop of its own (Xvfb, a session bus,
the accessibility bus), a Claude chat served locally under its real host
name in a normal window and another in an incognito window, then zel-ax
serve until it prints the chat. Run by `scripts/demo live`."""

import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "live"))
from live_desktop import Agent, Desktop, wait_for  # noqa: E402

BIN = sys.argv[1]
ZEL_AX = os.path.join(BIN, "agent", "zel-ax")
ZEL_CAPTURE = os.path.join(BIN, "tools", "zel-capture")
CHAT = "4f3e2d1c-0b9a-4876-a5b4-c3d2e1f0a9b8"
SECRET = "99999999-0000-4000-8000-00000000cafe"


def main():
    desktop = Desktop()
    try:
        print("== A desktop of our own: Xvfb, a session bus, the accessibility bus, HTTPS for claude.ai")
        desktop.open()
        desktop.set_accessibility(True)
        desktop.chromium(["https://claude.ai/chat/" + CHAT])
        desktop.wait_for_window(CHAT)
        desktop.chromium(["https://claude.ai/chat/" + SECRET], incognito=True)
        desktop.wait_for_window(SECRET)
        for title in desktop.window_titles():
            if title:
                print("  window: " + title)

        print("\n== zel-ax trust")
        subprocess.run([ZEL_AX, "trust"], env=desktop.env, check=True)

        print("\n== zel-ax serve --every 1 --apps com.google.Chrome --chat-browsers com.google.Chrome")
        agent = Agent(desktop, ZEL_AX, ["--every", "1", "--apps", "com.google.Chrome",
                                        "--chat-browsers", "com.google.Chrome"])
        try:
            line = wait_for("the chat", lambda: next((l for l in agent.chat_lines("com.google.Chrome")
                                                      if l.get("chats")), None), 60)
        finally:
            status = agent.stop()
        shown = subprocess.run([ZEL_CAPTURE, "show"], input=json.dumps(line) + "\n", env=desktop.env,
                               capture_output=True, text=True, check=True).stdout
        print("".join("  " + l + "\n" for l in shown.splitlines()))
        print("zel-ax ended with status %d; the incognito chat %s in anything it printed"
              % (status, "appears" if SECRET in json.dumps(agent.lines) else "does not appear"))

        print("\n== zel-capture explain --app com.google.Chrome --chat-browsers com.google.Chrome")
        subprocess.run([ZEL_CAPTURE, "explain", "--app", "com.google.Chrome", "--chat-browsers",
                        "com.google.Chrome"], env=desktop.env, check=True)
        return 0 if status == 0 else 1
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
