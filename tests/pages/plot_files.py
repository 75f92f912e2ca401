"""The plot and the report as files: the SVG is well-formed XML whose curves
have one vertex per compared row and break at a masked range (no vertex
inside it), the masked rows are drawn, observed and model stay apart in
greyscale, the page lists the masks and says where sigma came from, a hostile
title shows as its characters, once, and two runs give the same bytes. With
--fit the residual axis is the fitted residuals': their range fills at least
half of it, while the residuals of the file's weights are clipped with marks.
With ten component sets, no two of their labels overlap. With a set nearly
alike another, and with sets alike, the fit section agrees with fit --json:
upper limits, undetermined errors, the error method, the combinations and the
correlation matrix.

usage: plot_files.py LINESYNTH_TOOLS EXAMPLE_DATA_DIR
"""

import html.parser
import json
import math
import os
import re
import shutil
import sys
import xml.etree.ElementTree as ET

from tool_runs import fail, read_bytes, run_tool, scratch_copy, stats_json, write_sigma

SVG = "{http://www.w3.org/2000/svg}"
MINUS = "\u2212"
# Markup characters, the end of a CDATA section, well-formed UTF-8 and a byte
# that is not (shown as U+FFFD).
TITLE = "<b>&\"' ]]> \u00c5ngstr\u00f6m ".encode() + b"\xe9"
TITLE_SHOWN = "<b>&\"' ]]> \u00c5ngstr\u00f6m \ufffd"


class PageText(html.parser.HTMLParser):
    """The text pieces of each element with an id, and the text of the whole
    body, with character references resolved."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open = []
        self.texts = {}
        self.body = ""
        self.in_body = False

    def handle_starttag(self, tag, attrs):
        self.in_body = self.in_body or tag == "body"
        ident = dict(attrs).get("id")
        self.open.append(ident)
        if ident:
            self.texts[ident] = []

    def text(self, ident):
        return "".join(self.texts.get(ident, []))

    def handle_endtag(self, tag):
        if self.open:
            self.open.pop()

    def handle_data(self, data):
        for ident in self.open:
            if ident:
                self.texts[ident].append(data)
        if self.in_body:
            self.body += data


def segments(path):
    """The vertices of each segment of a path's "M x,y x,y ..." data."""
    return [[tuple(map(float, v.split(","))) for v in part.split()]
            for part in path.get("d").split("M") if part.strip()]


def luminance(colour):
    """Relative luminance of a "#rrggbb" colour (sRGB, as WCAG defines it)."""
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(int(colour[i:i + 2], 16)) for i in (1, 3, 5))
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def apart_in_greyscale(a, b):
    """Two curves read apart without colour: luminance 0.2 apart, or other dashes."""
    return (abs(luminance(a.get("stroke")) - luminance(b.get("stroke"))) >= 0.2
            or a.get("stroke-dasharray") != b.get("stroke-dasharray"))


def check_svg(path, points, masked_rows, fitted=False):
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as error:
        fail("%s is not well-formed XML: %s" % (path, error))
    if root.tag != SVG + "svg":
        fail("the root element is %s, not svg" % root.tag)
    panels = {g.get("class").split()[1]: g for g in root.iter(SVG + "g")
              if "panel" in g.get("class", "").split()}
    curves = {"upper": ["observed", "model"] + (["fitted"] if fitted else []),
              "lower": ["residual"] + (["fitted-residual"] if fitted else [])}
    paths = {}
    for panel, names in curves.items():
        if panel not in panels:
            fail("no %s panel" % panel)
        shaded = [r for r in panels[panel].iter(SVG + "rect") if r.get("class") == "mask"]
        if len(shaded) != 1:
            fail("%s: %d shaded rectangles for one masked range" % (panel, len(shaded)))
        left = float(shaded[0].get("x"))
        right = left + float(shaded[0].get("width"))
        for name in names:
            found = [p for p in panels[panel].iter(SVG + "path") if p.get("class") == name]
            if len(found) != 1:
                fail("%s: %d paths, not 1" % (name, len(found)))
            paths[name] = found[0]
            parts = segments(found[0])
            if len(parts) != 2:
                fail("%s: %d segments, not 2 for one masked range" % (name, len(parts)))
            vertices = [v for part in parts for v in part]
            if len(vertices) != points:
                fail("%s: %d vertices for %d compared rows" % (name, len(vertices), points))
            inside = [v for v in vertices if left < v[0] < right]
            if inside:
                fail("%s: vertex %r inside the masked range" % (name, inside[0]))
            if parts[0][-1][0] > left or parts[1][0][0] < right:
                fail("%s: the segments do not end at the masked range" % name)
        if panel == "upper":
            grey = [p for p in panels[panel].iter(SVG + "path") if p.get("class") == "masked"]
            drawn = [v for p in grey for part in segments(p) for v in part]
            if len(drawn) != masked_rows or any(not left <= v[0] <= right for v in drawn):
                fail("%d masked rows drawn in the range, not %d" % (len(drawn), masked_rows))
    if not apart_in_greyscale(paths["observed"], paths["model"]):
        fail("observed and model look alike in greyscale")
    if fitted and not apart_in_greyscale(paths["model"], paths["fitted"]):
        fail("model and fitted model look alike in greyscale")
    for name in paths:
        sample = [l for l in root.iter(SVG + "line") if l.get("stroke") == paths[name].get("stroke")
                  and l.get("stroke-dasharray") == paths[name].get("stroke-dasharray")]
        if name in ("observed", "model", "fitted") and not sample:
            fail("the legend has no sample with the %s curve's colour and dashes" % name)
    labels = [t.text for t in root.iter(SVG + "text") if t.text and t.text[0] in "-" + MINUS]
    if not labels or any(label.startswith("-") for label in labels):
        fail("tick labels %r: negative values want the minus sign U+2212" % labels)
    return root


def axis_ends(panel):
    """The values of the lowest and highest tick labels of a panel's value axis,
    and their y coordinates."""
    ticks = [(float(t.text.replace(MINUS, "-")), float(t.get("y"))) for t in panel.iter(SVG + "text")
             if t.get("text-anchor") == "end" and t.text and t.get("class") is None]
    ticks.sort()
    return ticks[0], ticks[-1]


def fitted_residual_axis(path):
    """The fitted residuals' values, read back from the path's y coordinates
    by the axis's end ticks, span at least half the axis; the residuals of
    the file's weights, far outside it, are clipped with marks."""
    root = ET.parse(path).getroot()
    lower = [g for g in root.iter(SVG + "g") if g.get("class") == "panel lower"][0]
    (low, y_low), (high, y_high) = axis_ends(lower)
    fitted = [p for p in lower.iter(SVG + "path") if p.get("class") == "fitted-residual"][0]
    ys = [v[1] for part in segments(fitted) for v in part]
    values = [low + (y - y_low) * (high - low) / (y_high - y_low) for y in ys]
    if max(values) - min(values) < (high - low) / 2:
        fail("fitted residuals %g to %g on an axis from %g to %g"
             % (min(values), max(values), low, high))
    if min(values) < low or max(values) > high:
        fail("fitted residuals beyond the axis %g to %g" % (low, high))
    if not [p for p in lower.iter(SVG + "path") if p.get("class") == "clipped"]:
        fail("the residuals of the file's weights leave the axis without a mark")


def ten_sets(data):
    """The data with ten component sets: the three of the example in turn."""
    for set_number in range(4, 11):
        shutil.copyfile(os.path.join(data, "VeltoOut%d.txt" % ((set_number - 1) % 3 + 1)),
                        os.path.join(data, "VeltoOut%d.txt" % set_number))
    with open(os.path.join(data, "synthesis.txt"), "w", encoding="ascii") as f:
        f.write("10\n" + "0.1\n" * 10)


def labels_apart(path):
    """The ten sets' labels, each a box of its font size high and 0.6 of it a
    letter wide, anchored at its end: no two overlap."""
    root = ET.parse(path).getroot()
    labels = [t for t in root.iter(SVG + "text") if t.get("class") == "component-label"]
    if sorted(t.text for t in labels) != sorted("set %d" % k for k in range(1, 11)):
        fail("component labels %r" % [t.text for t in labels])
    boxes = []
    for t in labels:
        size = float(t.get("font-size"))
        right, base = float(t.get("x")), float(t.get("y"))
        boxes.append((right - 0.6 * size * len(t.text), base - size, right, base + 0.25 * size))
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            if a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]:
                fail("component labels overlap: %r and %r" % (a, b))


def table_rows(page, ident):
    """The cells' texts of each row of the table with this id; [] without one."""
    table = re.search(r'<table id="%s">(.*?)</table>' % ident, page, re.S)
    if not table:
        return []
    return [[html.unescape(c) for c in re.findall(r"<t[hd][^>]*>(.*?)</t[hd]>", row)]
            for row in re.findall(r"<tr>(.*?)</tr>", table.group(1), re.S)]


def near(shown, value, digits):
    """A figure shown to `digits` significant digits of its exact value."""
    shown = float(shown.replace(MINUS, "-"))
    return abs(shown - value) <= 0.5 * 10.0 ** (math.floor(math.log10(abs(value))) - digits + 1) \
        * (1 + 1e-9)


def rounded_pair(value_text, error_text, value, error):
    """As the page rounds a value with its error: both to the decimal place
    of the error's second significant digit."""
    error_text = error_text.replace("\u00b1", "").strip()
    decimals = len(error_text.split(".")[1]) if "." in error_text else 0
    half = 0.5 * 10.0 ** -decimals * (1 + 1e-9)
    return (abs(float(value_text.replace(MINUS, "-")) - value) <= half
            and abs(float(error_text) - error) <= half)


def check_fit_page(tools, data, work, name):
    """The report's fit section against fit --json: upper limits of the sets
    held at 0, "undetermined" for dependent sets, the error method when one
    beyond the formal is used, the combinations, and the correlation matrix
    when a pair is strongly correlated."""
    page_path = os.path.join(work, name + ".html")
    sigma = os.path.join(data, "sigma.txt")
    run_tool(tools, "report", "--dir", data, "--fit", "--sigma", sigma, "-o", page_path)
    fit = json.loads(run_tool(tools, "fit", "--dir", data, "--sigma", sigma, "--json"))["fit"]
    page = read_bytes(page_path).decode("utf-8")
    rows = table_rows(page, "weights")[1:]
    for slot, row in enumerate(rows[:len(fit["weights"])]):
        error, limit = fit["errors"][slot], fit["upper_limits"][slot]
        if limit is not None:
            if not row[3].startswith("< ") or not near(row[3][2:], limit, 2):
                fail("%s: set %d shows %r where its upper limit is %r"
                     % (name, slot + 1, row[3], limit))
        elif fit["error_method"][slot] == "undetermined" and row[3] != "undetermined":
            fail("%s: the dependent set %d shows %r" % (name, slot + 1, row[3]))
        elif error is not None and not rounded_pair(row[2], row[3], fit["weights"][slot], error):
            fail("%s: set %d shows %r where fit has %r" % (name, slot + 1, row[2:], error))
    beyond = set(fit["error_method"]) - {"formal", "none"}
    if bool(beyond) != ('id="error_method"' in page):
        fail("%s: the error method is said %s methods %r"
             % (name, "without" if beyond else "with only", fit["error_method"]))
    shown = table_rows(page, "combinations")[1:]
    if len(shown) != len(fit["combinations"]):
        fail("%s: %d combinations shown where fit has %d"
             % (name, len(shown), len(fit["combinations"])))
    for row, combination in zip(shown, fit["combinations"]):
        if row[0] != ", ".join(str(k) for k in combination["sets"]) or \
                not rounded_pair(row[2], row[3], combination["value"], combination["error"]):
            fail("%s: combination %r where fit has %r" % (name, row, combination))
    correlation = fit["correlation"] or []
    strong = any(rho is not None and j != k and abs(rho) >= 0.5
                 for j, line in enumerate(correlation) if line for k, rho in enumerate(line))
    shown = [row[1:] for row in table_rows(page, "correlation")[1:]]
    if strong != bool(shown):
        fail("%s: the correlation matrix is %s" % (name, "missing" if strong else "shown"))
    for j, row in enumerate(shown):
        for k, text in enumerate(row):
            rho = correlation[j][k] if correlation[j] else None
            if (rho is None) != (text == "none") or (rho is not None and not near(text, rho, 6)):
                fail("%s: correlation %d, %d shows %r where fit has %r" % (name, j, k, text, rho))
    return page


def near_copy(data, source, target, amplitude):
    """Component set `target`: set `source` times 1 + amplitude * sin(0.3 I)."""
    with open(os.path.join(data, "VeltoOut%d.txt" % source), encoding="ascii") as f:
        values = f.read().split()
    lines = ["%.6f\n" % (float(v) * (1 + amplitude * math.sin(0.3 * i)))
             for i, v in enumerate(values[1:])]
    with open(os.path.join(data, "VeltoOut%d.txt" % target), "w", encoding="ascii") as f:
        f.write(values[0] + "\n" + "".join(lines))


def main():
    tools, example = sys.argv[1], sys.argv[2]
    work, data, mask = scratch_copy(example)
    try:
        points = stats_json(tools, data, mask)["stats"]["points"]
        masked_rows = 400 - points
        write_sigma(os.path.join(work, "sigma.txt"), 400)
        outputs = {}
        for run in (1, 2):
            svg = os.path.join(work, "plot%d.svg" % run)
            page = os.path.join(work, "report%d.html" % run)
            run_tool(tools, "plot", "--dir", data, "--mask", mask, "--fit", "-o", svg)
            run_tool(tools, "report", "--dir", data, "--mask", mask, "--fit", "--components",
                     "--sigma", "sigma.txt", "-o", page, cwd=work)
            outputs[run] = (read_bytes(svg), read_bytes(page))
        check_svg(os.path.join(work, "plot1.svg"), points, masked_rows, fitted=True)
        if outputs[1][0] != outputs[2][0]:
            fail("two plot runs gave different bytes")
        if outputs[1][1] != outputs[2][1]:
            fail("two report runs gave different bytes")
        text = PageText()
        text.feed(outputs[1][1].decode("utf-8"))
        if text.text("sigma") != "sigma file sigma.txt":
            fail("the page's sigma line reads %r" % text.text("sigma"))
        masks = [t for t in text.texts.get("masks", []) if t.strip()]
        if masks[-3:] != ["6570", "6571", str(masked_rows)]:
            fail("the masks table reads %r" % masks)

        # The unfitted weights (set 1 at 5) leave the fitted residuals' axis.
        weights = os.path.join(data, "synthesis.txt")
        original = read_bytes(weights)
        with open(weights, "wb") as f:
            f.write(b"3\n5\n0.3\n0.2\n")
        svg = os.path.join(work, "fitted.svg")
        run_tool(tools, "plot", "--dir", data, "--fit", "-o", svg)
        fitted_residual_axis(svg)
        with open(weights, "wb") as f:
            f.write(original)

        # --residuals sigma is a usage error without a sigma file.
        run_tool(tools, "plot", "--dir", data, "--residuals", "sigma", "-o",
                 os.path.join(work, "x.svg"), status=2)

        # The title record as a user might write it, padded with blanks.
        parameters = os.path.join(data, "vlt.txt")
        with open(parameters, "rb") as f:
            records = f.read().split(b"\n", 1)
        with open(parameters, "wb") as f:
            f.write(TITLE + b"   \n" + records[1])
        svg = os.path.join(work, "title.svg")
        page = os.path.join(work, "title.html")
        run_tool(tools, "plot", "--dir", data, "--mask", mask, "-o", svg)
        run_tool(tools, "report", "--dir", data, "--mask", mask, "-o", page)
        root = check_svg(svg, points, masked_rows)
        shown = [t.text for t in root.iter(SVG + "text") if t.get("class") == "title"]
        if shown != [TITLE_SHOWN]:
            fail("the plot's title reads %r, not %r" % (shown, TITLE_SHOWN))
        text = PageText()
        text.feed(read_bytes(page).decode("utf-8"))
        if text.text("title") != TITLE_SHOWN:
            fail("the page's title reads %r, not %r" % (text.text("title"), TITLE_SHOWN))
        if text.body.count(TITLE_SHOWN) != 1:
            fail("the page shows its title %d times, not once" % text.body.count(TITLE_SHOWN))
        if text.text("sigma") != "no sigma: every row weighs 1":
            fail("the page's sigma line reads %r" % text.text("sigma"))
        ten = os.path.join(work, "ten")
        shutil.copytree(example, ten)
        ten_sets(ten)
        svg = os.path.join(work, "ten.svg")
        run_tool(tools, "plot", "--dir", ten, "--components", "-o", svg)
        labels_apart(svg)

        # A set 1 % from set 1: set 2 held at 0 with its upper limit, and set
        # 1 strongly correlated with its partner. Then an exact copy of set 1
        # and another of set 1 as sets 4 and 5: a dependent group and its sum.
        for name, copies in (("alike", ((1, 4, 0.01),)),
                             ("dependent", ((1, 4, 0), (1, 5, 0)))):
            alike = os.path.join(work, name)
            shutil.copytree(example, alike)
            for source, target, amplitude in copies:
                near_copy(alike, source, target, amplitude)
            with open(os.path.join(alike, "synthesis.txt"), "w", encoding="ascii") as f:
                f.write("%d\n" % (3 + len(copies)) + "0.3\n" * (3 + len(copies)))
            write_sigma(os.path.join(alike, "sigma.txt"), 400)
            page = check_fit_page(tools, alike, work, name)
            wanted = {"alike": ["&lt; ", 'id="correlation"'],
                      "dependent": ["undetermined", 'id="combinations"']}[name]
            if not all(w in page for w in wanted):
                fail("%s: the page lacks one of %r" % (name, wanted))
    finally:
        shutil.rmtree(work)
    print("plot and report files: ok (%d compared rows)" % points)


if __name__ == "__main__":
    main()
