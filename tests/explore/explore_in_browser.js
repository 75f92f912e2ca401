// The explore page in a real browser: the system's Chromium, driven by
// puppeteer-core, opens the example's page from its file and must show
//   - with the weights of synthesis.txt, the chi-squared and RMS of `stats --json`;
//   - after set 1's slider is moved by the keyboard to 0.4, the chi-squared
//     `stats --json` gives for a copy of the directory whose synthesis.txt is
//     the text the page offers to save;
//   - after "fitted weights", the chi2_after of `fit --json`;
//   - on the page with --scale, after "fitted weights", the chi2_after of
//     `fit --scale --json`, and the scale file that fit shows, saved;
//   - after a weight moves the model out of the first drawing's range, axes
//     that followed it (no value clipped at a frame); with a 1366x768 window
//     the plot in view while a slider has focus; a wheel turn over the plot
//     narrows the wavelength range and "show every row" restores it; Ctrl+Z
//     restores the previous weight and chi-squared to the bit, Ctrl+Shift+Z
//     the later; a pinned set keeps its chi-squared while the weights move;
//     a typed 1e40 marks the box invalid and leaves the figures as they were;
//     weights with which the run ends with its overflow report (its tables'
//     pixel levels beyond 32 bits) show that in place of the figures;
// each equal to the last bit (the page prints 17 significant digits, which
// read back as exactly the double computed). The page must make no request:
// nothing but its own file is loaded, and no policy violation is reported.
// The same data must give the same page, byte for byte.
//
// usage: node explore_in_browser.js LINESYNTH_TOOLS EXAMPLE_DIR NODE_MODULES_DIR [SCREENSHOT.png]
// The screenshot, when asked for, shows the page with set 1's weight moved.
"use strict";

const assert = require("node:assert/strict");
const { execFileSync, spawnSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");

const [tool, exampleDir, modulesDir, screenshot] = process.argv.slice(2);
const puppeteer = require(path.resolve(modulesDir, "puppeteer-core"));

const work = fs.mkdtempSync(path.join(os.tmpdir(), "linesynth-explore-"));

function copyDirectory(from, to) {
    fs.mkdirSync(to);
    for (const name of fs.readdirSync(from)) {
        fs.copyFileSync(path.join(from, name), path.join(to, name));
    }
    return to;
}

function tool_json(...args) {
    return JSON.parse(execFileSync(tool, args, { encoding: "utf8" }));
}

// The number a figure shows, and a check that its text has 17 significant digits.
async function figure(page, id) {
    const text = await page.$eval("#" + id, (element) => element.textContent);
    assert.match(text, /^-?\d\.\d{16}(e[+-]\d+)?$|^-?\d+\.\d+$/, `${id} shows "${text}"`);
    assert.equal(text.replace(/^-?0\.0*|[-.]|e.*$/g, "").length, 17, `${id} shows "${text}"`);
    return Number(text);
}

// The bytes of a file the browser saves, once it is there (Chromium writes it
// under another name and renames it when complete).
async function downloaded(file) {
    for (let tries = 0; tries < 100; tries++) {
        if (fs.existsSync(file)) {
            return fs.readFileSync(file, "latin1");
        }
        await new Promise((resolve) => setTimeout(resolve, 100));
    }
    throw new Error("the browser saved no " + path.basename(file));
}

// Types `text` into a box, as a user would, replacing what it held, and
// presses Enter unless told not to.
async function typeInto(page, selector, text, enter = true) {
    await page.click(selector, { clickCount: 3 });
    await page.keyboard.press("Backspace");
    await page.keyboard.type(text);
    if (enter) {
        await page.keyboard.press("Enter");
    }
}

const drawing = (page) => page.$eval("#plot", (canvas) => JSON.parse(JSON.stringify(canvas.drawing)));
const textOf = (page, id) => page.$eval("#" + id, (e) => e.textContent);

// The plot's tools, on the page with set 1 at 0.4.
async function checkTools(page, data) {
    // Axes that follow: set 1 at 3 takes the model far below the first range.
    const first = await drawing(page);
    await typeInto(page, "#weight-1", "3");
    const moved = await drawing(page);
    assert.ok(moved.flux[0] < first.flux[0], "the flux axis follows the model down");
    assert.equal(moved.clipped, 0, "no value clipped at a frame");
    await page.click("#hold-axes");
    await typeInto(page, "#weight-1", "6");
    assert.ok((await drawing(page)).clipped > 0, "held axes clip the model, with marks");
    await page.click("#hold-axes");
    await typeInto(page, "#weight-1", "0.4");

    // Undo and redo, the page's own: 0.4, then a step of the slider.
    const before = await textOf(page, "chi2");
    await page.focus("#weight-1-slider");
    await page.keyboard.press("ArrowRight");
    const after = await textOf(page, "chi2");
    const afterWeight = await page.$eval("#weight-1", (e) => e.value);
    assert.notEqual(after, before, "the step changes chi-squared");
    await page.keyboard.down("Control");
    await page.keyboard.press("z");
    await page.keyboard.up("Control");
    assert.equal(await page.$eval("#weight-1", (e) => e.value), "0.4", "undo restores the weight");
    assert.equal(await textOf(page, "chi2"), before, "undo restores chi-squared to the bit");
    await page.keyboard.down("Control");
    await page.keyboard.down("Shift");
    await page.keyboard.press("z");
    await page.keyboard.up("Shift");
    await page.keyboard.up("Control");
    assert.equal(await page.$eval("#weight-1", (e) => e.value), afterWeight, "redo");
    assert.equal(await textOf(page, "chi2"), after, "redo restores chi-squared");

    // A pinned set keeps its chi-squared while the weights move.
    await page.click("#pin");
    assert.equal(await textOf(page, "pinned-chi2"), after, "the pinned chi-squared");
    await typeInto(page, "#weight-2", "0.1");
    assert.notEqual(await textOf(page, "chi2"), after, "the weights moved");
    assert.equal(await textOf(page, "pinned-chi2"), after, "the pinned set keeps its chi-squared");
    await page.click("#pin");
    assert.equal(await page.$eval("#pinned", (e) => e.hidden), true, "unpinned");

    // A value no 32-bit real holds is marked and not used.
    const figures = await textOf(page, "chi2");
    await typeInto(page, "#weight-1", "1e40", false);
    assert.equal(await page.$eval("#weight-1", (e) => e.getAttribute("aria-invalid")), "true");
    assert.equal(await textOf(page, "chi2"), figures, "1e40 leaves the figures unchanged");
    await page.keyboard.press("Tab");
    assert.equal(await page.$eval("#weight-1", (e) => e.value), afterWeight, "the box shows the value in use");

    // Weights with which the run ends with its overflow report.
    const overflow = "300000";
    const copy = copyDirectory(data, path.join(work, "overflow"));
    fs.writeFileSync(path.join(copy, "synthesis.txt"), "3\r\n" + overflow + "\r\n0.1\r\n0.2\r\n");
    // The run, built beside the companion.
    const run = spawnSync(path.join(path.dirname(tool), "linesynth"), [], {
        env: { ...process.env, TAVO_DIR: copy + path.sep },
        encoding: "utf8",
        input: "",
    });
    assert.ifError(run.error);
    assert.match(run.stdout + run.stderr, /M6104/, "the run ends with its overflow report");
    await typeInto(page, "#weight-1", overflow);
    assert.equal(await page.$eval("#fault", (e) => e.hidden), false, "the fault is said");
    assert.match(await textOf(page, "fault"), /overflow writing RDF2\.txt/);
    assert.equal(await page.$eval("#figures", (e) => e.hidden), true, "no figures beside it");
    await typeInto(page, "#weight-1", "0.4");
    assert.equal(await page.$eval("#fault", (e) => e.hidden), true);

    // Zoom by the wheel, and back.
    const full = (await drawing(page)).wavelength;
    const box = await page.$eval("#plot", (e) => {
        const r = e.getBoundingClientRect();
        return { x: r.left + r.width / 2, y: r.top + r.height / 3 };
    });
    await page.mouse.move(box.x, box.y);
    await page.mouse.wheel({ deltaY: -300 });
    const zoomed = (await drawing(page)).wavelength;
    assert.ok(zoomed[0] > full[0] && zoomed[1] < full[1], "the wheel zooms in");
    assert.match(await textOf(page, "readout"), /^row \d+ · wavelength [\d.]+ · observed /, "readout");
    await page.click("#reset-zoom");
    assert.deepEqual((await drawing(page)).wavelength, full, "reset shows every row");

    // A laptop's window: the plot stays in view while a slider has focus.
    await page.setViewport({ width: 1366, height: 768 });
    for (const slider of ["#weight-1-slider", "#weight-3-slider"]) {
        await page.focus(slider);
        await page.keyboard.press("ArrowRight");
        const view = await page.$eval("#plot", (e) => {
            const r = e.getBoundingClientRect();
            return { top: r.top, bottom: r.bottom, height: window.innerHeight };
        });
        assert.ok(view.top >= 0 && view.bottom <= view.height, "plot in view: " + JSON.stringify(view));
        const control = await page.$eval(slider, (e) => {
            const r = e.getBoundingClientRect();
            return { top: r.top, bottom: r.bottom };
        });
        assert.ok(control.top >= view.bottom && control.bottom <= view.height, slider + " in view below the plot");
    }
    await page.setViewport({ width: 1100, height: 1250 });
}

async function main() {
    const data = copyDirectory(exampleDir, path.join(work, "data"));
    const pageFile = path.join(work, "explore.html");
    execFileSync(tool, ["explore", "--dir", data, "--fit", "-o", pageFile]);
    const again = path.join(work, "again.html");
    execFileSync(tool, ["explore", "--dir", data, "--fit", "-o", again]);
    assert.ok(fs.readFileSync(pageFile).equals(fs.readFileSync(again)), "same data, same bytes");
    const stats = tool_json("stats", "--dir", data, "--json").stats;
    const fit = tool_json("fit", "--dir", data, "--json").fit;

    const downloads = fs.mkdtempSync(path.join(work, "downloads-"));
    const browser = await puppeteer.launch({
        executablePath: "/usr/bin/chromium",
        headless: true,
        pipe: true,
        downloadBehavior: { policy: "allow", downloadPath: downloads },
        userDataDir: fs.mkdtempSync(path.join(work, "profile-")),
        args: [
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
        ],
    });
    try {
        const page = await browser.newPage();
        await page.setViewport({ width: 1100, height: 1250 });
        const pageUrls = ["file://" + pageFile, "file://" + path.join(work, "scale.html")];
        const pageUrl = pageUrls[0];
        const requests = [];
        const problems = [];
        page.on("request", (request) => {
            if (!pageUrls.includes(request.url())) {
                requests.push(request.url());
            }
        });
        page.on("pageerror", (error) => problems.push("page error: " + error.message));
        page.on("console", (message) => {
            if (message.type() === "error" || message.type() === "warning") {
                problems.push("console: " + message.text());
            }
        });
        await page.evaluateOnNewDocument(() => {
            document.addEventListener("securitypolicyviolation", (event) => {
                console.error("policy violation: " + event.violatedDirective + " " + event.blockedURI);
            });
        });
        await page.goto(pageUrl, { waitUntil: "load" });

        // The weights of synthesis.txt.
        assert.equal(await figure(page, "chi2"), stats.chi2, "chi-squared with the file's weights");
        assert.equal(await figure(page, "rms"), stats.rms, "RMS with the file's weights");
        assert.equal(await figure(page, "reduced-chi2"), stats.chi2_reduced, "reduced chi-squared");
        assert.equal(await page.$eval("#points", (e) => e.textContent), String(stats.points));

        // Set 1's slider, by the keyboard: Home, then up in steps to 0.4.
        await page.focus("#weight-1-slider");
        await page.keyboard.press("Home");
        const step = Number(await page.$eval("#weight-1-slider", (e) => e.step));
        for (let k = 0; k < Math.round(0.4 / step); k++) {
            await page.keyboard.press("ArrowRight");
        }
        assert.equal(await page.$eval("#weight-1", (e) => e.value), "0.4", "the number box follows");
        // The box shows the file (a text area gives its line ends as LF);
        // the button saves it with CR LF.
        const boxText = await page.$eval("#weights-text", (e) => e.value);
        assert.equal(boxText, "3\n0.4\n0.3\n0.2\n", "the weights file shown");
        await page.click("#save-weights");
        const weightsText = await downloaded(path.join(downloads, "synthesis.txt"));
        assert.equal(weightsText, "3\r\n0.4\r\n0.3\r\n0.2\r\n", "the weights file saved");
        const moved = copyDirectory(exampleDir, path.join(work, "moved"));
        fs.writeFileSync(path.join(moved, "synthesis.txt"), weightsText);
        const movedStats = tool_json("stats", "--dir", moved, "--json").stats;
        assert.equal(await figure(page, "chi2"), movedStats.chi2, "chi-squared with set 1 at 0.4");
        assert.equal(await figure(page, "rms"), movedStats.rms, "RMS with set 1 at 0.4");
        if (screenshot) {
            await page.evaluate(() => window.scrollTo(0, 0));
            await page.screenshot({ path: screenshot, fullPage: true });
        }

        await checkTools(page, data);

        // The fitted weights.
        await page.click("#fitted-weights");
        assert.equal(await figure(page, "chi2"), fit.chi2_after, "chi-squared with the fitted weights");
        const fittedText = await page.$eval("#weights-text", (e) => e.value);
        const fitFile = execFileSync(tool, ["fit", "--dir", data], {
            encoding: "utf8",
            stdio: ["ignore", "pipe", "ignore"],
        });
        assert.equal(fittedText, fitFile.replace(/\r\n/g, "\n"), "the fitted weights file shown");


        // With --scale: the fitted weights and ref_a of `fit --scale`, and
        // the scale file offered once ref_a has moved.
        const scalePage = path.join(work, "scale.html");
        execFileSync(tool, ["explore", "--dir", data, "--fit", "--scale", "-o", scalePage]);
        const scaleFit = tool_json("fit", "--dir", data, "--scale", "--json").fit;
        await page.goto("file://" + scalePage, { waitUntil: "load" });
        assert.equal(await figure(page, "chi2"), stats.chi2, "chi-squared with the files' values");
        assert.equal(await page.$eval("#scale-file", (e) => e.hidden), true, "no scale file offered yet");
        await page.click("#fitted-weights");
        assert.equal(await figure(page, "chi2"), scaleFit.chi2_after, "chi-squared with the fitted scale");
        assert.equal(await page.$eval("#scale-file", (e) => e.hidden), false, "the scale file offered");
        await page.click("#save-scale");
        const scaleText = await downloaded(path.join(downloads, "qdqd.txt"));
        const qdqdHeading = "new qdqd.txt (ref_a, then ref_b):\n";
        const scaleReport = spawnSync(tool, ["fit", "--dir", data, "--scale"], { encoding: "utf8" }).stderr;
        assert.equal(Math.fround(Number(scaleText.split("\r\n")[0])), Math.fround(scaleFit.scale.ref_a));
        assert.equal(
            scaleText.replace(/\r\n/g, "\n"),
            scaleReport.slice(scaleReport.indexOf(qdqdHeading) + qdqdHeading.length),
            "the scale file saved, as fit --scale shows it"
        );

        assert.deepEqual(requests, [], "requests beyond the page's own file");
        assert.deepEqual(problems, [], "errors, warnings or policy violations");
    } finally {
        await browser.close();
        fs.rmSync(work, { recursive: true, force: true });
    }
    console.log("1 passed, 0 failed");
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
