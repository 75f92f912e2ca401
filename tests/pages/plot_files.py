"""The plot and the report as files: the SVG is well-formed XML with one
vertex per compared row and one shaded rectangle per panel for a masked range,
a title full of markup characters shows as those characters, and two runs give
the same bytes.

usage: plot_files.py LINESYNTH_TOOLS EXAMPLE_DATA_DIR
"""

import html.parser
import os
import shutil
import sys
import xml.etree.ElementTree as ET

from tool_runs import fail, read_bytes, run_tool, scratch_copy, stats_json

SVG = "{http://www.w3.org/2000/svg}"
TITLE = "<b>&\"'"


class HeadingText(html.parser.HTMLParser):
    """The text of the page's <h1>, with character references resolved."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.inside = False
        self.text = ""

    def handle_starttag(self, tag, attrs):
        self.inside = self.inside or tag == "h1"

    def handle_endtag(self, tag):
        if tag == "h1":
            self.inside = False

    def handle_data(self, data):
        if self.inside:
            self.text += data


def check_svg(path, points):
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as error:
        fail("%s is not well-formed XML: %s" % (path, error))
    if root.tag != SVG + "svg":
        fail("the root element is %s, not svg" % root.tag)
    lines = root.findall(".//" + SVG + "polyline")
    if len(lines) != 3:
        fail("%d polylines, not 3" % len(lines))
    for line in lines:
        vertices = line.get("points").split()
        if len(vertices) != points:
            fail("%s: %d vertices for %d compared rows" % (line.get("class"), len(vertices), points))
        for vertex in vertices:
            x, y = vertex.split(",")
            float(x), float(y)
    panels = [g for g in root.iter(SVG + "g") if "panel" in g.get("class", "").split()]
    if len(panels) != 2:
        fail("%d panels, not 2" % len(panels))
    for panel in panels:
        shaded = [r for r in panel.iter(SVG + "rect") if r.get("class") == "mask"]
        if len(shaded) != 1:
            fail("%s: %d shaded rectangles for one masked range" % (panel.get("class"), len(shaded)))
    return root


def main():
    tools, example = sys.argv[1], sys.argv[2]
    work, data, mask = scratch_copy(example)
    try:
        points = stats_json(tools, data, mask)["stats"]["points"]
        outputs = {}
        for run in (1, 2):
            svg = os.path.join(work, "plot%d.svg" % run)
            page = os.path.join(work, "report%d.html" % run)
            run_tool(tools, "plot", "--dir", data, "--mask", mask, "-o", svg)
            run_tool(tools, "report", "--dir", data, "--mask", mask, "--fit", "-o", page)
            outputs[run] = (read_bytes(svg), read_bytes(page))
        check_svg(os.path.join(work, "plot1.svg"), points)
        if outputs[1][0] != outputs[2][0]:
            fail("two plot runs gave different bytes")
        if outputs[1][1] != outputs[2][1]:
            fail("two report runs gave different bytes")

        # The title record as a user might write it, padded with blanks.
        parameters = os.path.join(data, "vlt.txt")
        with open(parameters, "rb") as f:
            records = f.read().split(b"\n", 1)
        with open(parameters, "wb") as f:
            f.write(TITLE.encode() + b"   \n" + records[1])
        svg = os.path.join(work, "title.svg")
        page = os.path.join(work, "title.html")
        run_tool(tools, "plot", "--dir", data, "--mask", mask, "-o", svg)
        run_tool(tools, "report", "--dir", data, "--mask", mask, "-o", page)
        root = check_svg(svg, points)
        shown = [t.text for t in root.iter(SVG + "text") if t.get("class") == "title"]
        if shown != [TITLE]:
            fail("the plot's title reads %r, not %r" % (shown, TITLE))
        heading = HeadingText()
        heading.feed(read_bytes(page).decode("utf-8"))
        if heading.text != TITLE:
            fail("the page's title reads %r, not %r" % (heading.text, TITLE))
    finally:
        shutil.rmtree(work)
    print("plot and report files: ok (%d compared rows)" % points)


if __name__ == "__main__":
    main()
