"""The report in a real browser: headless Chromium loads the page from its
file, dumps the DOM and takes a screenshot. The DOM must hold the plot and the
statistics of `stats --json`, the screenshot must show the plot's colours, and
the page must not have asked the network for anything. A second page, whose
title is full of markup, must show that title as text.

usage: report_in_browser.py LINESYNTH_TOOLS EXAMPLE_DATA_DIR SCREENSHOT.png

Exits with 77 (skipped) when no chromium is installed, unless
LINESYNTH_REQUIRE_CHROMIUM=1 (CI), where a missing chromium fails.
"""

import collections
import html
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

from tool_runs import fail, read_bytes, run_tool, scratch_copy, stats_json, write_sigma

# The plot's colours (plot_style.h).
COLOURS = {
    "model": (0xD5, 0x5E, 0x00),
    "fitted model": (0x00, 0x72, 0xB2),
    "masked rows": (0x99, 0x99, 0x99),
    "masked range": (0xEB, 0xEB, 0xEB),
    "sigma band": (0xCC, 0xE7, 0xF6),
    "set 1": (0x00, 0x9E, 0x73),
}
# The page rounds computed values to 6 significant digits: within half a unit
# of the sixth digit, which is at most this part of the value.
ROUNDING = 5e-6
HOSTILE_TITLE = "<b>bold</b> & \"q\" 'a' ]]> \u00c5"
# The command of the README's picture, on the example with one masked range.
REPORT = [
    "report", "--fit", "--scale", "--sigma", "sigma.txt", "--components", "--mask", "mask.txt"
]
WINDOW = "1000,1700"


def find_chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def decode_png(data):
    """(width, height, rows of RGB triples) of an 8-bit RGB or RGBA PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail("the screenshot is not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos : pos + 4])
        kind = data[pos + 4 : pos + 8]
        body = data[pos + 8 : pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        fail("unexpected PNG layout: depth %d, colour type %d" % (depth, colour))
    step = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * step
    rows, previous, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1 : pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up = previous[i]
            corner = previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + pred) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, [list(zip(r[0::step], r[1::step], r[2::step])) for r in rows]


def check_screenshot(path):
    width, height, rows = decode_png(read_bytes(path))
    pixels = collections.Counter(pixel for row in rows for pixel in row)
    if len(pixels) < 16:
        fail("the screenshot is blank (%d colours)" % len(pixels))
    for name, colour in COLOURS.items():
        count = sum(n for pixel, n in pixels.items()
                    if all(abs(a - b) <= 24 for a, b in zip(pixel, colour)))
        if count < 20:
            fail("the screenshot shows no %s colour (%d pixels)" % (name, count))
    return width, height


def number_cells(dom):
    """data-key -> text of the page's number cells."""
    return dict(re.findall(r'<td class="n" data-key="([a-z0-9_]+)">([^<]*)</td>', dom))


def as_shown(key, value):
    """The wavelength is a 32-bit real of the table: the page shows its shortest
    32-bit text (6541.05), the JSON its exact double (6541.0498046875)."""
    if key == "max_abs_wavelength":
        return struct.unpack("<f", struct.pack("<f", value))[0]
    return value


def rounded_pair(shown, value, error):
    """A value and its error rounded as the page rounds them (the error to 2
    significant digits, the value to the same decimal place): each within
    half a unit of the last decimal shown of its exact figure."""
    text_value, text_error = [t.strip() for t in html.unescape(shown).split("\u00b1")]
    decimals = len(text_error.split(".")[1]) if "." in text_error else 0
    half = 0.5 * 10.0 ** -decimals * (1 + 1e-9)
    return (abs(float(text_value.replace("\u2212", "-")) - value) <= half
            and abs(float(text_error) - error) <= half)


def check_dom(dom, stats):
    if "<svg" not in dom or dom.count('<path class="') < 8:
        fail("the DOM does not hold the plot")
    if '<table id="statistics">' not in dom:
        fail("the DOM does not hold the statistics table")
    cells = number_cells(dom)
    for key, value in stats.items():
        if key not in cells:
            fail("the statistics table has no %s" % key)
        shown = cells[key]
        if key == "shift":
            if value is None:
                if not shown.startswith("none"):
                    fail("the shift shows %r where stats has none" % shown)
            elif not rounded_pair(shown, value["value"], value["error"]):
                fail("the shift shows %r where stats --json has %r" % (shown, value))
            elif value["significant"] != ('id="shift_warning"' in dom):
                fail("the shift warning does not follow stats' significant (%r)" % value)
        elif value is None:
            if shown != "none":
                fail("%s shows %r where stats has none" % (key, shown))
        elif key in ("points", "max_abs_wavelength"):
            if as_shown(key, float(shown)) != as_shown(key, float(value)):
                fail("%s shows %s where stats --json has %r" % (key, shown, value))
        elif abs(float(shown) - value) > ROUNDING * abs(value):
            fail("%s shows %s where stats --json has %r" % (key, shown, value))


def page_requests(net_log):
    """The URLs that a document asked the network for. Chromium's own
    background requests have no origin and are not the page's."""
    text = read_bytes(net_log).decode("utf-8", errors="replace").rstrip()
    try:
        log = json.loads(text)
    except json.JSONDecodeError:
        log = json.loads(text.rstrip(",") + "]}")  # a log cut short at exit
    names = {number: name for name, number in log["constants"]["logEventTypes"].items()}
    started = [
        e.get("params", {})
        for e in log["events"]
        if names.get(e["type"]) == "URL_REQUEST_START_JOB" and "url" in e.get("params", {})
    ]
    return [p["url"] for p in started if p.get("initiator") != "not an origin"], len(log["events"])


def chromium_run(chromium, work, page, screenshot=None):
    """The DOM Chromium made of the page, and the URLs the page requested."""
    net_log = os.path.join(work, "net-log.json")
    done = subprocess.run(
        [
            chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
            "--no-first-run", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--hide-scrollbars",
            "--user-data-dir=" + os.path.join(work, "profile"),
            # Every host name fails to resolve: nothing can leave the machine
            # even if a request were made, and the log below shows whether one was.
            "--host-resolver-rules=MAP * ~NOTFOUND",
            "--log-net-log=" + net_log,
            "--window-size=" + WINDOW,
        ]
        + (["--screenshot=" + screenshot] if screenshot else [])
        + ["--dump-dom", "file://" + page],
        capture_output=True, stdin=subprocess.DEVNULL, timeout=120,
    )
    if done.returncode != 0 or (screenshot and not os.path.exists(screenshot)):
        fail("chromium: status %d\n%s" % (done.returncode, done.stderr.decode(errors="replace")))
    requests, events = page_requests(net_log)
    if events == 0:
        fail("the network log is empty: it cannot show what the page requested")
    if requests:
        fail("the page made network requests: %s" % ", ".join(requests))
    return done.stdout.decode("utf-8")


def check_title(dom):
    """The title shows as its characters; no element came of its markup."""
    heading = re.search(r'<h1 id="title">(.*?)</h1>', dom, re.S)
    shown = html.unescape(heading.group(1)) if heading else None
    if shown != HOSTILE_TITLE:
        fail("the heading reads %r, not %r" % (shown, HOSTILE_TITLE))
    if "<b>" in dom:
        fail("the title's markup became an element")


def main():
    tools, example, screenshot = sys.argv[1], sys.argv[2], sys.argv[3]
    chromium = find_chromium()
    if chromium is None:
        if os.environ.get("LINESYNTH_REQUIRE_CHROMIUM") == "1":
            fail("no chromium on this machine (Debian package chromium) and "
                 "LINESYNTH_REQUIRE_CHROMIUM=1")
        print("SKIP: no chromium on this machine (Debian package chromium); the report was not "
              "checked in a browser")
        sys.exit(77)
    work, data, mask = scratch_copy(example)
    try:
        # Run in the data directory with the names the README shows.
        shutil.copyfile(mask, os.path.join(data, "mask.txt"))
        sigma = os.path.join(data, "sigma.txt")
        if not os.path.exists(sigma):
            write_sigma(sigma, 400)
        stats = stats_json(tools, data, mask, sigma)["stats"]
        page = os.path.join(work, "report.html")
        run_tool(tools, *REPORT, "--dir", ".", "-o", page, cwd=data)
        shot = os.path.join(work, "shot.png")
        check_dom(chromium_run(chromium, work, page, shot), stats)
        page_size = os.path.getsize(page)
        width, height = check_screenshot(shot)
        hostile = os.path.join(work, "hostile.html")
        run_tool(tools, "report", "--dir", data, "--title", HOSTILE_TITLE, "-o", hostile)
        check_title(chromium_run(chromium, work, hostile))
        os.makedirs(os.path.dirname(os.path.abspath(screenshot)), exist_ok=True)
        shutil.copyfile(shot, screenshot)
    finally:
        shutil.rmtree(work)
    print("report in chromium: ok (%d statistics, %dx%d screenshot in %s, %d bytes of page)"
          % (len(stats), width, height, screenshot, page_size))


if __name__ == "__main__":
    main()
