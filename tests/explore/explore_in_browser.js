// The explore page in a real browser: the system's Chromium, driven by
// puppeteer-core, opens the example's page from its file and must show
//   - with the weights of synthesis.txt, the chi-squared and RMS of `stats --json`;
//   - after set 1's slider is moved by the keyboard to 0.4, the chi-squared
//     `stats --json` gives for a copy of the directory whose synthesis.txt is
//     the text the page offers to save;
//   - after "fitted weights", the chi2_after of `fit --json`;
//   - on the page with --scale, after "fitted weights", the chi2_after of
//     `fit --scale --json`, and the scale file that fit shows, saved;
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
            await page.screenshot({ path: screenshot, fullPage: true });
        }

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
