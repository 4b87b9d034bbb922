"""Records the backend's test fixtures: what the accessibility bus tells about
real Chromium and Firefox windows showing the pages of pages/, before any
translation (record_atspi.py's form). Run it again when the recorder or the
pages change:

    /usr/bin/python3 tests/live/record_fixtures.py tests/fixtures/atspi

Writes <browser>_<page>.json for each page below. Starts a desktop of its own
and stops everything it started."""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live_desktop import Desktop, wait_for  # noqa: E402
from record_atspi import Reader  # noqa: E402

# page name → (address, a part of its window title, text near the end of the page)
PAGES = {
    "claude": ("https://claude.ai/chat/11111111-2222-4333-8444-555555555555", "11111111-2222-4333-8444-555555555555",
               "high"),
    "chatgpt": ("https://chatgpt.com/c/68a1f0c2-7d4e-8001-9b3a-5c6d7e8f9012", "68a1f0c2-7d4e-8001-9b3a-5c6d7e8f9012",
                "works in place"),
    "grok": ("https://grok.com/c/5e4d3c2b-1a09-4f8e-b7d6-c5b4a3928170", "5e4d3c2b-1a09-4f8e-b7d6-c5b4a3928170",
             "Messiah"),
    "markup": ("https://markup.example/page/constructs", "Markup constructs", "Site footer"),
}
# The pages recorded in each browser: Chromium's tree is compared with the
# macOS tree of the same page, Firefox's conversations with Chromium's.
RECORDED = {"chromium": ["claude", "chatgpt", "grok", "markup"], "firefox": ["claude", "chatgpt", "grok"]}


def shows(node, text):
    if text in node.get("name", "") or text in node.get("text", ""):
        return True
    return any(shows(c, text) for c in node["children"])


def titled_page(node):
    """A document with its address and its title, which Gecko sets a moment
    after the page's content."""
    if node["role"] == "document web" and node.get("address") and node.get("name"):
        return True
    return any(titled_page(c) for c in node["children"])


def record(desktop, app_name, page, out):
    """The one window so titled, once its page is on the bus: a browser
    builds a page's tree when a client first reads the window."""
    _, title_part, last = PAGES[page]
    reader = Reader(desktop.env["DBUS_SESSION_BUS_ADDRESS"])

    def window():
        windows = list(reader.windows(app_name, title_part))
        ready = len(windows) == 1 and shows(windows[0], last) and titled_page(windows[0])
        return windows[0] if ready else None

    found = wait_for("the whole page of the window titled %r" % title_part, window, 60, every=0.5)
    with open(out, "w") as f:
        json.dump(found, f, ensure_ascii=False, indent=1)
        f.write("\n")


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 1
    folder = sys.argv[1]
    desktop = Desktop().open()
    try:
        desktop.set_accessibility(True)
        browser = desktop.chromium([PAGES[p][0] for p in RECORDED["chromium"][:1]])
        for page in RECORDED["chromium"]:
            address, title, _ = PAGES[page]
            if page != RECORDED["chromium"][0]:
                desktop.chromium(["--new-window", address])
            desktop.wait_for_window(title, browser="Chromium")
            record(desktop, "Chromium", page, os.path.join(folder, "chromium_%s.json" % page))
        desktop.stop(browser)

        profile = desktop.firefox_profile()
        browser = None
        for page in RECORDED["firefox"]:
            address, title, _ = PAGES[page]
            started = desktop.firefox(profile, ([] if browser is None else ["--new-window"]) + [address])
            browser = browser or started
            desktop.wait_for_window(title, 90, browser="Mozilla Firefox")
            record(desktop, "Firefox", page, os.path.join(folder, "firefox_%s.json" % page))
        desktop.stop(browser)
        return 0
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
