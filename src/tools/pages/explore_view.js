// The explore page's controls and drawing. The data come from the page's
// JSON block (explore_page.h); every number shown is computed by the pure
// functions of explore_model.js. Each change of a control redraws at once:
// the synthesis, the statistics, both panels and the file texts.
"use strict";

(function () {
    const data = JSON.parse(document.getElementById("explore-data").textContent);
    const single = (values) => Float32Array.from(values, (v) => (v === null ? NaN : v));
    const n = data.wavelength.length;
    const rows = {
        wavelength: single(data.wavelength),
        observed: single(data.observed),
        sigma: data.sigma ? single(data.sigma) : null,
        compared: new Uint8Array(n).fill(1),
    };
    for (const row of data.masked) {
        rows.compared[row - 1] = 0;
    }
    // Where a curve starts anew (the plots' rule, worked out by the program):
    // 1 before a compared row, 2 before a masked row.
    const breakBefore = new Uint8Array(n);
    for (const row of data.comparedBreaks) {
        breakBefore[row - 1] = 1;
    }
    for (const row of data.maskedBreaks) {
        breakBefore[row - 1] = 2;
    }
    const continuum = single(data.continuum);
    const components = data.components.map(single);
    const fileWeights = data.weights.map(Math.fround);
    const fitted = data.fitted ? data.fitted.map(Math.fround) : null;
    const fileRefA = Math.fround(data.refA);
    const refB = Math.fround(data.refB);
    const flux1 = Math.fround(data.flux1);
    const flux2 = Math.fround(data.flux2);
    const fittedRefA = data.fittedRefA === null ? null : Math.fround(data.fittedRefA);
    const style = data.style;
    // Free parameters of the model a user tunes here: one weight per set,
    // and ref_a when it has a control.
    const parameters = components.length + (data.scale ? 1 : 0);

    const state = { weights: fileWeights.slice(), refA: fileRefA };
    const byId = (id) => document.getElementById(id);

    // ---- controls --------------------------------------------------------

    // A step of 1, 2 or 5 times a power of ten, about a two-hundredth of the span.
    function roundStep(span) {
        const raw = span / 200;
        const power = Math.pow(10, Math.floor(Math.log10(raw)));
        const digit = raw / power < 2 ? 1 : raw / power < 5 ? 2 : 5;
        return Number((digit * power).toPrecision(1));
    }

    // A slider and a number box for one value, kept in step; `set` receives
    // the new value (a double; the model narrows it) from either.
    function addControl(container, id, label, value, low, high, set) {
        const step = roundStep(high - low);
        const row = document.createElement("div");
        row.className = "control";
        const name = document.createElement("label");
        name.htmlFor = id;
        name.textContent = label;
        const slider = document.createElement("input");
        slider.type = "range";
        slider.id = id + "-slider";
        slider.min = String(low);
        slider.max = String(high);
        slider.step = String(step);
        slider.setAttribute("aria-label", label + " (slider)");
        const box = document.createElement("input");
        box.type = "number";
        box.id = id;
        box.step = "any";
        box.setAttribute("inputmode", "decimal");
        const show = (v) => {
            box.value = shortestSingleText(v);
            slider.value = String(v);
            box.removeAttribute("aria-invalid");
        };
        slider.addEventListener("input", () => {
            box.value = slider.value;
            box.removeAttribute("aria-invalid");
            set(Number(slider.value));
        });
        box.addEventListener("input", () => {
            const v = box.value.trim() === "" ? NaN : Number(box.value);
            if (!Number.isFinite(v) || !Number.isFinite(Math.fround(v))) {
                box.setAttribute("aria-invalid", "true");
                return;
            }
            box.removeAttribute("aria-invalid");
            slider.value = String(v);
            set(v);
        });
        show(value);
        row.append(name, slider, box);
        container.append(row);
        return show;
    }

    // From 0 (or below, for a negative weight) to three times the largest weight.
    function weightRange(values) {
        const finite = values.filter(Number.isFinite);
        const high = Math.max(0, ...finite) * 3 || 1;
        const low = Math.min(0, ...finite) * 3;
        return [low, high];
    }

    const controls = byId("controls");
    const showWeight = components.map((_, set) => {
        const values = [fileWeights[set]].concat(fitted ? [fitted[set]] : []);
        const [low, high] = weightRange(values);
        return addControl(
            controls,
            "weight-" + (set + 1),
            "Weight of set " + (set + 1),
            fileWeights[set],
            low,
            high,
            (v) => {
                state.weights[set] = v;
                redraw();
            }
        );
    });
    let showRefA = null;
    if (data.scale) {
        const other = fittedRefA === null ? fileRefA : fittedRefA;
        const half =
            Math.max(Math.abs(fileRefA - refB), 3 * Math.abs(other - fileRefA)) ||
            Math.abs(fileRefA) ||
            1;
        showRefA = addControl(
            controls,
            "ref-a",
            "ref_a (qdqd.txt)",
            fileRefA,
            fileRefA - half,
            fileRefA + half,
            (v) => {
                state.refA = v;
                redraw();
            }
        );
    }

    function apply(weights, refA) {
        state.weights = weights.slice();
        weights.forEach((w, set) => showWeight[set](w));
        if (showRefA) {
            state.refA = refA;
            showRefA(refA);
        }
        redraw();
    }
    byId("file-weights").addEventListener("click", () => apply(fileWeights, fileRefA));
    if (fitted) {
        byId("fitted-weights").addEventListener("click", () =>
            apply(fitted, fittedRefA === null ? fileRefA : fittedRefA)
        );
    }

    function download(name, text) {
        const link = document.createElement("a");
        link.href = URL.createObjectURL(new Blob([text], { type: "text/plain" }));
        link.download = name;
        document.body.append(link);
        link.click();
        link.remove();
        setTimeout(() => URL.revokeObjectURL(link.href), 0);
    }
    byId("save-weights").addEventListener("click", () =>
        download("synthesis.txt", weightsFileText(state.weights))
    );
    byId("save-scale").addEventListener("click", () =>
        download("qdqd.txt", scaleFileText(state.refA, refB))
    );

    // ---- drawing ---------------------------------------------------------

    const canvas = byId("plot");
    const context = canvas.getContext("2d");
    const frame = { left: 78, right: 16, top: 28, gap: 36, bottom: 40 };

    // An axis from a multiple of a 1-2-5 step to another, covering low..high
    // in at most `most` intervals.
    function roundAxis(low, high, most) {
        if (!(high > low)) {
            const pad = Math.abs(low) * 0.05 || 1;
            low -= pad;
            high += pad;
        }
        const raw = (high - low) / most;
        let power = Math.pow(10, Math.floor(Math.log10(raw)));
        for (;;) {
            for (const digit of [1, 2, 5]) {
                const step = digit * power;
                const first = Math.floor(low / step);
                const last = Math.ceil(high / step);
                if (last - first <= most) {
                    return { first, last, step, decimals: Math.max(0, -Math.floor(Math.log10(step))) };
                }
            }
            power *= 10;
        }
    }

    // Over the compared rows, or over every row with `all` (the observed
    // spectrum is drawn in the masked rows too).
    function finiteRange(columns, all) {
        let low = Infinity;
        let high = -Infinity;
        for (const column of columns) {
            for (let i = 0; i < n; i++) {
                const v = column[i];
                if ((all || rows.compared[i]) && Number.isFinite(v)) {
                    low = Math.min(low, v);
                    high = Math.max(high, v);
                }
            }
        }
        return low <= high ? [low, high] : [0, 1];
    }

    // The panels' ranges stay where the data and the weights of the file (and
    // the fit) put them, so that the curves move and the axes do not.
    const initial = [fileWeights].concat(fitted ? [fitted] : []).map((w) => evaluate(w, fileRefA));
    // The model with the fitted weights (and ref_a), drawn dashed for reference.
    const fittedResult = fitted
        ? evaluate(fitted, fittedRefA === null ? fileRefA : fittedRefA)
        : null;
    const wavelengthRange = finiteRange([rows.wavelength], true);
    const fluxRange = finiteRange(initial.filter((e) => e.model).map((e) => e.model));
    const observedRange = finiteRange([rows.observed], true);
    const fluxAxis = roundAxis(
        Math.min(fluxRange[0], observedRange[0]),
        Math.max(fluxRange[1], observedRange[1]),
        6
    );
    let largest = 0;
    for (const e of initial.filter((e) => e.residual)) {
        const [low, high] = finiteRange([e.residual]);
        largest = Math.max(largest, Math.abs(low), Math.abs(high));
    }
    if (rows.sigma) {
        largest = Math.max(largest, finiteRange([rows.sigma])[1]);
    }
    const residualAxis = roundAxis(-largest || -1, largest || 1, 4);

    function evaluate(weights, refA) {
        const scales = scaleFactors(refA, refB, flux1, flux2);
        if (scales.fault) {
            return scales;
        }
        const built = synthesize(continuum, components, weights);
        if (built.fault) {
            return built;
        }
        return residualStatistics(
            rows,
            built.synthetic,
            { flux2, refB, scaleFwd: scales.scaleFwd },
            parameters
        );
    }

    function layout() {
        const width = canvas.clientWidth;
        const height = canvas.clientHeight;
        const ratio = window.devicePixelRatio || 1;
        if (canvas.width !== Math.round(width * ratio)) {
            canvas.width = Math.round(width * ratio);
            canvas.height = Math.round(height * ratio);
        }
        context.setTransform(ratio, 0, 0, ratio, 0, 0);
        const inner = height - frame.top - frame.gap - frame.bottom;
        const upper = { top: frame.top, bottom: frame.top + inner * 0.68 };
        const lower = { top: upper.bottom + frame.gap, bottom: height - frame.bottom };
        return { width, height, left: frame.left, right: width - frame.right, upper, lower };
    }

    function drawAxis(box, panel, axis, label) {
        const y = (v) =>
            panel.bottom -
            ((v - axis.first * axis.step) / ((axis.last - axis.first) * axis.step)) *
                (panel.bottom - panel.top);
        context.strokeStyle = style.frame;
        context.fillStyle = style.text;
        context.lineWidth = 1;
        context.setLineDash([]);
        context.strokeRect(box.left, panel.top, box.right - box.left, panel.bottom - panel.top);
        context.textAlign = "right";
        context.textBaseline = "middle";
        for (let k = axis.first; k <= axis.last; k++) {
            const v = k * axis.step;
            const at = Math.round(y(v)) + 0.5;
            context.strokeStyle = style.grid;
            context.beginPath();
            context.moveTo(box.left, at);
            context.lineTo(box.right, at);
            context.stroke();
            context.fillText(v.toFixed(axis.decimals), box.left - 6, at);
        }
        context.save();
        context.translate(14, (panel.top + panel.bottom) / 2);
        context.rotate(-Math.PI / 2);
        context.textAlign = "center";
        context.fillText(label, 0, 0);
        context.restore();
        return (v) => {
            const at = y(v);
            return Number.isFinite(at) ? Math.min(Math.max(at, panel.top - 2), panel.bottom + 2) : NaN;
        };
    }

    function setLine(line) {
        context.strokeStyle = line.colour;
        context.lineWidth = line.width;
        context.setLineDash(line.dashes);
    }

    // One path through the compared rows (or, with `masked`, the masked
    // rows), broken where the plots break it; a value that is not finite
    // breaks it too.
    function drawCurve(x, y, values, line, masked) {
        setLine(line);
        context.beginPath();
        let open = false;
        const want = masked ? 0 : 1;
        const mark = masked ? 2 : 1;
        for (let i = 0; i < n; i++) {
            if (rows.compared[i] !== want) {
                continue;
            }
            const py = y(values[i]);
            if (Number.isNaN(py)) {
                open = false;
                continue;
            }
            const px = x(rows.wavelength[i]);
            if (open && breakBefore[i] !== mark) {
                context.lineTo(px, py);
            } else {
                context.moveTo(px, py);
                open = true;
            }
        }
        context.stroke();
    }

    // The band of plus and minus one sigma around zero, broken like the curves.
    function drawBand(x, y) {
        context.fillStyle = style.band;
        let start = -1;
        const close = (end) => {
            context.beginPath();
            for (let i = start; i < end; i++) {
                if (rows.compared[i]) {
                    context.lineTo(x(rows.wavelength[i]), y(rows.sigma[i]));
                }
            }
            for (let i = end - 1; i >= start; i--) {
                if (rows.compared[i]) {
                    context.lineTo(x(rows.wavelength[i]), y(-rows.sigma[i]));
                }
            }
            context.fill();
        };
        for (let i = 0; i < n; i++) {
            if (!rows.compared[i]) {
                continue;
            }
            if (start >= 0 && (breakBefore[i] === 1 || !Number.isFinite(rows.sigma[i]))) {
                close(i);
                start = -1;
            }
            if (start < 0 && Number.isFinite(rows.sigma[i])) {
                start = i;
            }
        }
        if (start >= 0) {
            close(n);
        }
    }

    function draw(result) {
        const box = layout();
        context.clearRect(0, 0, box.width, box.height);
        context.font = "12px sans-serif";
        const [wlLow, wlHigh] = wavelengthRange[1] > wavelengthRange[0] ? wavelengthRange : [wavelengthRange[0] - 1, wavelengthRange[0] + 1];
        const x = (w) => box.left + ((w - wlLow) / (wlHigh - wlLow)) * (box.right - box.left);
        context.fillStyle = style.mask;
        for (const [low, high] of data.masks) {
            const from = Math.max(low, wlLow);
            const to = Math.min(high, wlHigh);
            if (from <= to) {
                const left = x(from);
                const w = Math.max(x(to) - left, 1);
                for (const panel of [box.upper, box.lower]) {
                    context.fillRect(left, panel.top, w, panel.bottom - panel.top);
                }
            }
        }
        const yUpper = drawAxis(box, box.upper, fluxAxis, "flux (observed scale)");
        const yLower = drawAxis(box, box.lower, residualAxis, "observed \u2212 model");
        context.save();
        context.beginPath();
        context.rect(box.left, box.upper.top, box.right - box.left, box.lower.bottom - box.upper.top);
        context.clip();
        if (rows.sigma) {
            drawBand(x, yLower);
        }
        setLine(style.zero);
        context.beginPath();
        context.moveTo(box.left, yLower(0));
        context.lineTo(box.right, yLower(0));
        context.stroke();
        drawCurve(x, yUpper, rows.observed, style.maskedRows, true);
        drawCurve(x, yUpper, rows.observed, style.observed, false);
        if (fittedResult && fittedResult.model) {
            drawCurve(x, yUpper, fittedResult.model, style.fitted, false);
            drawCurve(x, yLower, fittedResult.residual, style.fitted, false);
        }
        if (result.model) {
            drawCurve(x, yUpper, result.model, style.model, false);
            drawCurve(x, yLower, result.residual, style.model, false);
        }
        context.restore();
        // Wavelength ticks under the lower panel.
        const axis = roundAxis(wlLow, wlHigh, 8);
        context.fillStyle = style.text;
        context.textAlign = "center";
        context.textBaseline = "top";
        for (let k = axis.first; k <= axis.last; k++) {
            const v = k * axis.step;
            if (v >= wlLow && v <= wlHigh) {
                context.fillText(v.toFixed(axis.decimals), x(v), box.lower.bottom + 6);
            }
        }
        context.fillText("wavelength", (box.left + box.right) / 2, box.lower.bottom + 22);
        drawLegend(box);
    }

    // The key above the upper panel, in the order the curves are drawn.
    function drawLegend(box) {
        const keys = [
            ["observed", style.observed],
            ["model and residual", style.model],
        ];
        if (fittedResult) {
            keys.push(["fitted weights", style.fitted]);
        }
        if (data.masked.length > 0) {
            keys.push(["masked rows", style.maskedRows]);
        }
        if (data.masks.length > 0) {
            keys.push(["masked range", style.mask]);
        }
        if (rows.sigma) {
            keys.push(["\u00b11 sigma", style.band]);
        }
        context.textAlign = "left";
        context.textBaseline = "middle";
        let at = box.left;
        const y = frame.top / 2;
        for (const [label, line] of keys) {
            if (typeof line === "object") {
                setLine(line);
                context.beginPath();
                context.moveTo(at, y);
                context.lineTo(at + 24, y);
                context.stroke();
            } else {
                context.fillStyle = line;
                context.fillRect(at, y - 6, 24, 12);
            }
            context.fillStyle = style.text;
            context.fillText(label, at + 30, y);
            at += 30 + context.measureText(label).width + 24;
        }
        context.setLineDash([]);
    }

    // ---- one redraw --------------------------------------------------------

    function redraw() {
        const result = evaluate(state.weights, state.refA);
        draw(result);
        const fault = byId("fault");
        if (result.fault) {
            fault.textContent = "The run would stop here: " + result.fault + ".";
            fault.hidden = false;
            byId("chi2").textContent = byId("reduced-chi2").textContent = byId("rms").textContent = "\u2014";
        } else {
            fault.hidden = true;
            byId("chi2").textContent = exactText(result.chi2);
            byId("reduced-chi2").textContent =
                result.reducedChi2 === null ? "none (no more rows than parameters)" : exactText(result.reducedChi2);
            byId("rms").textContent = exactText(result.rms);
        }
        byId("points").textContent = String(result.points === undefined ? "\u2014" : result.points);
        byId("weights-text").value = weightsFileText(state.weights);
        const scaleMoved = Math.fround(state.refA) !== fileRefA;
        byId("scale-file").hidden = !scaleMoved;
        byId("scale-text").value = scaleFileText(state.refA, refB);
    }

    window.addEventListener("resize", redraw);
    redraw();
})();
