// node bench/explore_redraw.js PAGE.html NODE_MODULES_DIR: the explore page's
// size and its redraw time in the system's Chromium. Each of ROUNDS changes
// of set 1's slider (an input event, as a drag or a key gives) is timed from
// the event to the end of its handler, which recomputes the synthesis and
// the statistics and draws both panels; then the next frame is awaited. The
// median and the largest time are printed, and the script fails when the
// median exceeds MAX_MS.
"use strict";

const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");

const MAX_MS = 50;
const ROUNDS = 60;
const [pageFile, modulesDir] = process.argv.slice(2);
const puppeteer = require(path.resolve(modulesDir, "puppeteer-core"));

async function main() {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "linesynth-bench-"));
    const browser = await puppeteer.launch({
        executablePath: "/usr/bin/chromium",
        headless: true,
        pipe: true,
        userDataDir: profile,
        args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
    try {
        const page = await browser.newPage();
        await page.setViewport({ width: 1400, height: 1000 });
        const started = Date.now();
        await page.goto("file://" + path.resolve(pageFile), { waitUntil: "load" });
        const loadMs = Date.now() - started;
        const times = await page.evaluate(async (rounds) => {
            const slider = document.getElementById("weight-1-slider");
            const low = Number(slider.min);
            const span = Number(slider.max) - low;
            const result = [];
            for (let k = 0; k < rounds; k++) {
                slider.value = String(low + (span * ((k * 7) % rounds)) / rounds);
                const start = performance.now();
                slider.dispatchEvent(new Event("input"));
                result.push(performance.now() - start);
                await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
            }
            return result;
        }, ROUNDS);
        const sets = await page.$$eval("input[type=range]", (all) => all.length);
        times.sort((a, b) => a - b);
        const median = times[Math.floor(times.length / 2)];
        console.log(`page size:            ${fs.statSync(pageFile).size} bytes`);
        console.log(`controls:             ${sets}`);
        console.log(`load to 'load' event: ${loadMs} ms`);
        console.log(`redraw median:        ${median.toFixed(2)} ms (${ROUNDS} changes, at most ${MAX_MS})`);
        console.log(`redraw 90th percentile: ${times[Math.floor(times.length * 0.9)].toFixed(2)} ms`);
        console.log(`redraw largest:       ${times[times.length - 1].toFixed(2)} ms`);
        if (median > MAX_MS) {
            console.error(`explore_redraw: the median redraw ${median.toFixed(2)} ms exceeds ${MAX_MS} ms`);
            process.exitCode = 1;
        }
    } finally {
        await browser.close();
        fs.rmSync(profile, { recursive: true, force: true });
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
