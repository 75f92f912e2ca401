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
    // The rows beyond the page's that the run still builds and integrates.
    const tailContinuum = single(data.tailContinuum);
    const tailComponents = data.tailComponents.map(single);
    const integralWavelength = new Float32Array(data.integralRows);
    integralWavelength.set(rows.wavelength.subarray(0, Math.min(n, data.integralRows)));
    integralWavelength.set(single(data.tailWavelength), Math.min(n, data.integralRows));
    const integralSynthetic = new Float32Array(data.integralRows);
    const tableObserved = new Float32Array(data.integralRows);
    tableObserved.set(rows.observed.subarray(0, Math.min(n, data.integralRows)));
    tableObserved.set(single(data.tailObserved), Math.min(n, data.integralRows));
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
    // the new value (a double; the model narrows it) from either, `get` gives
    // the value in use. A typed value is used once the box is left or Enter
    // is pressed (so that "1e40" is never used as its prefix "1e4" on the
    // way); a text that is not a number, or whose value the run cannot hold
    // as a finite 32-bit real, is marked invalid as it is typed and never
    // used, and the box then shows the value in use again, still marked.
    function addControl(container, id, label, value, low, high, set, get) {
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
        box.type = "text";
        box.id = id;
        box.setAttribute("inputmode", "decimal");
        box.setAttribute("autocomplete", "off");
        box.spellcheck = false;
        const show = (v) => {
            box.value = shortestSingleText(v);
            slider.value = String(v);
            box.removeAttribute("aria-invalid");
        };
        slider.addEventListener("input", () => {
            const v = Number(slider.value);
            box.value = shortestSingleText(v);
            box.removeAttribute("aria-invalid");
            set(v);
        });
        slider.addEventListener("change", commit);
        box.addEventListener("input", () => {
            if (typedSingle(box.value) === null) {
                box.setAttribute("aria-invalid", "true");
            } else {
                box.removeAttribute("aria-invalid");
            }
        });
        box.addEventListener("change", () => {
            const v = typedSingle(box.value);
            if (v === null) {
                const typed = box.value;
                show(get());
                box.setAttribute("aria-invalid", "true");
                box.title = "\u201c" + typed + "\u201d is not a number a 32-bit real holds; not used";
                return;
            }
            box.title = "";
            set(v);
            show(get());
            commit();
        });
        box.addEventListener("keydown", (event) => {
            if (event.key === "Enter") {
                box.dispatchEvent(new Event("change"));
            }
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
            },
            () => state.weights[set]
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
            },
            () => state.refA
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
    byId("file-weights").addEventListener("click", () => {
        apply(fileWeights, fileRefA);
        commit();
    });
    if (fitted) {
        byId("fitted-weights").addEventListener("click", () => {
            apply(fitted, fittedRefA === null ? fileRefA : fittedRefA);
            commit();
        });
    }

    // ---- undo and redo ---------------------------------------------------
    // The page's own history of weight sets, one entry for each committed
    // change (a slider let go or stepped, a box left, a button), so that
    // Ctrl+Z steps through the values the user chose rather than through
    // every keystroke of a box.

    const history = { entries: [{ weights: state.weights.slice(), refA: state.refA }], at: 0 };

    function sameAs(entry) {
        return (
            entry.refA === state.refA && entry.weights.every((w, set) => w === state.weights[set])
        );
    }

    function showHistory() {
        byId("undo").disabled = history.at === 0 && sameAs(history.entries[0]);
        byId("redo").disabled = history.at === history.entries.length - 1;
    }

    function commit() {
        if (!sameAs(history.entries[history.at])) {
            history.entries.splice(history.at + 1);
            history.entries.push({ weights: state.weights.slice(), refA: state.refA });
            history.at++;
        }
        showHistory();
    }

    function undo() {
        commit();
        if (history.at > 0) {
            history.at--;
            const entry = history.entries[history.at];
            apply(entry.weights, entry.refA);
        }
        showHistory();
    }

    function redo() {
        if (history.at < history.entries.length - 1) {
            history.at++;
            const entry = history.entries[history.at];
            apply(entry.weights, entry.refA);
        }
        showHistory();
    }

    byId("undo").addEventListener("click", undo);
    byId("redo").addEventListener("click", redo);
    document.addEventListener("keydown", (event) => {
        const key = event.key.toLowerCase();
        if (!(event.ctrlKey || event.metaKey) || event.altKey || (key !== "z" && key !== "y")) {
            return;
        }
        // The page's undo, not the text box's own, which would step a box
        // through texts the page never used.
        event.preventDefault();
        if (key === "y" || event.shiftKey) {
            redo();
        } else {
            undo();
        }
    });

    // ---- pin -------------------------------------------------------------
    // A second model kept beside the current one: the weights in use when
    // "pin" was pressed, drawn dotted with its own chi-squared, until unpinned.

    let pinned = null;
    byId("pin").addEventListener("click", () => {
        if (pinned) {
            pinned = null;
        } else {
            pinned = { weights: state.weights.slice(), refA: state.refA };
            pinned.result = evaluate(pinned.weights, pinned.refA);
        }
        byId("pin").textContent = pinned ? "unpin" : "pin these weights";
        byId("pin").setAttribute("aria-pressed", pinned ? "true" : "false");
        byId("pinned").hidden = !pinned;
        if (pinned) {
            byId("pinned-chi2").textContent = pinned.result.fault
                ? "none: " + pinned.result.fault
                : exactText(pinned.result.chi2);
            byId("pinned-weights").textContent = pinned.weights
                .map((w) => shortestSingleText(w))
                .join(", ");
        }
        redraw();
    });

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

    // The wavelengths of every row; the shown range is all of them, or what
    // a zoom or a pan chose (view.low .. view.high).
    const wavelengthRange = finiteRange([rows.wavelength], true, null);
    const fullRange =
        wavelengthRange[1] > wavelengthRange[0]
            ? wavelengthRange
            : [wavelengthRange[0] - 1, wavelengthRange[0] + 1];
    const view = { low: fullRange[0], high: fullRange[1] };
    // The value axes: they follow the drawing at every redraw, unless held.
    let heldAxes = null;
    let hover = -1; // the row under the pointer, or -1
    let drag = null; // { from, x, pan, moved } while the mouse is down
    let lastResult = null;

    // Over the compared rows in the shown range, or over every row in it
    // with `all` (the observed spectrum is drawn in the masked rows too).
    function finiteRange(columns, all, shown) {
        let low = Infinity;
        let high = -Infinity;
        for (const column of columns) {
            for (let i = 0; i < n; i++) {
                const v = column[i];
                const w = rows.wavelength[i];
                if (
                    (all || rows.compared[i]) &&
                    Number.isFinite(v) &&
                    (!shown || (w >= shown.low && w <= shown.high))
                ) {
                    low = Math.min(low, v);
                    high = Math.max(high, v);
                }
            }
        }
        return low <= high ? [low, high] : [0, 1];
    }

    // The model with the fitted weights (and ref_a), drawn dashed for reference.
    const fittedResult = fitted
        ? evaluate(fitted, fittedRefA === null ? fileRefA : fittedRefA)
        : null;

    function evaluate(weights, refA) {
        const scales = scaleFactors(refA, refB, flux1, flux2);
        if (scales.fault) {
            return scales;
        }
        const built = synthesize(continuum, components, weights);
        if (built.fault) {
            return built;
        }
        const beyond = synthesize(tailContinuum, tailComponents, weights, n);
        if (beyond.fault) {
            return beyond;
        }
        const head = Math.min(n, data.integralRows);
        integralSynthetic.set(built.synthetic.subarray(0, head));
        integralSynthetic.set(beyond.synthetic.subarray(0, data.integralRows - head), head);
        const tables = residualTableFault(integralSynthetic, tableObserved, {
            flux1,
            flux2,
            level1: data.level1,
            level2: data.level2,
            refB,
            scaleFwd: scales.scaleFwd,
            scaleBack: scales.scaleBack,
        });
        if (tables) {
            return { fault: tables };
        }
        const integral = trapezoidIntegral(integralSynthetic, integralWavelength);
        if (integral.fault) {
            return integral;
        }
        return residualStatistics(
            rows,
            built.synthetic,
            { flux2, refB, scaleFwd: scales.scaleFwd },
            parameters
        );
    }

    // The value axes of the drawing: the flux axis holds the observed
    // spectrum and every model drawn, the residual axis zero, every residual
    // drawn and the band, all over the shown range; with 3 % room on each
    // side so that nothing drawn runs along the frame.
    function followingAxes(results) {
        const drawn = results.filter((r) => r && r.model);
        const [modelLow, modelHigh] = finiteRange(drawn.map((r) => r.model), false, view);
        const [observedLow, observedHigh] = finiteRange([rows.observed], true, view);
        const columns = drawn.map((r) => r.residual);
        const [residualLow, residualHigh] = finiteRange(columns, false, view);
        let low = Math.min(0, residualLow);
        let high = Math.max(0, residualHigh);
        if (rows.sigma) {
            const [, sigmaHigh] = finiteRange([rows.sigma], false, view);
            low = Math.min(low, -sigmaHigh);
            high = Math.max(high, sigmaHigh);
        }
        const room = (a, b) => [a - (b - a) * 0.03, b + (b - a) * 0.03];
        return {
            flux: roundAxis(
                ...room(Math.min(modelLow, observedLow), Math.max(modelHigh, observedHigh)),
                6
            ),
            residual: roundAxis(...room(low, high), 4),
        };
    }

    function layout() {
        const width = canvas.clientWidth;
        const height = canvas.clientHeight;
        const ratio = window.devicePixelRatio || 1;
        if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(height * ratio)) {
            canvas.width = Math.round(width * ratio);
            canvas.height = Math.round(height * ratio);
        }
        context.setTransform(ratio, 0, 0, ratio, 0, 0);
        const inner = height - frame.top - frame.gap - frame.bottom;
        const upper = { top: frame.top, bottom: frame.top + inner * 0.68 };
        const lower = { top: upper.bottom + frame.gap, bottom: height - frame.bottom };
        return { width, height, left: frame.left, right: width - frame.right, upper, lower };
    }

    // The panel's frame, grid and tick labels; returns the map from value to
    // image, which is not limited to the panel (the panel's clip cuts a line
    // that leaves it, and a mark shows where).
    function drawAxis(box, panel, axis, label) {
        const low = tickValue(axis, 0);
        const high = tickValue(axis, axis.intervals);
        const y = (v) => panel.bottom - ((v - low) / (high - low)) * (panel.bottom - panel.top);
        context.strokeStyle = style.frame;
        context.fillStyle = style.text;
        context.lineWidth = 1;
        context.setLineDash([]);
        context.strokeRect(box.left, panel.top, box.right - box.left, panel.bottom - panel.top);
        context.textAlign = "right";
        context.textBaseline = "middle";
        for (let k = 0; k <= axis.intervals; k++) {
            const at = Math.round(y(tickValue(axis, k))) + 0.5;
            context.strokeStyle = style.grid;
            context.beginPath();
            context.moveTo(box.left, at);
            context.lineTo(box.right, at);
            context.stroke();
            context.fillText(tickLabel(axis, k), box.left - 6, at);
        }
        context.save();
        context.translate(14, (panel.top + panel.bottom) / 2);
        context.rotate(-Math.PI / 2);
        context.textAlign = "center";
        context.fillText(label, 0, 0);
        context.restore();
        const span = panel.bottom - panel.top;
        const map = (v) => {
            const at = y(v);
            return Number.isFinite(at) ? Math.min(Math.max(at, panel.top - span), panel.bottom + span) : NaN;
        };
        map.low = low;
        map.high = high;
        map.panel = panel;
        return map;
    }

    function setLine(line) {
        context.strokeStyle = line.colour;
        context.lineWidth = line.width;
        context.setLineDash(line.dashes);
    }

    // One path through the compared rows (or, with `masked`, the masked
    // rows), broken where the plots break it; a value that is not finite
    // breaks it too. A value beyond the axis is clipped at the frame and
    // marked there with a small triangle (counted in `drawing.clipped`).
    function drawCurve(x, y, values, line, masked) {
        setLine(line);
        context.beginPath();
        let open = false;
        const want = masked ? 0 : 1;
        const mark = masked ? 2 : 1;
        const beyond = [];
        for (let i = 0; i < n; i++) {
            if (rows.compared[i] !== want) {
                continue;
            }
            const v = values[i];
            const py = y(v);
            if (Number.isNaN(py)) {
                open = false;
                continue;
            }
            const px = x(rows.wavelength[i]);
            if (v < y.low || v > y.high) {
                beyond.push(px, v > y.high ? y.panel.top : y.panel.bottom, v > y.high ? 5 : -5);
            }
            if (open && breakBefore[i] !== mark) {
                context.lineTo(px, py);
            } else {
                context.moveTo(px, py);
                open = true;
            }
        }
        context.stroke();
        drawing.clipped += beyond.length / 3;
        marks.push([line.colour, beyond]);
    }

    // The marks of the clipped values, drawn after the clip is lifted; marks
    // closer than 6 pixels on one edge share one.
    let marks = [];
    function drawMarks(box) {
        for (const [colour, beyond] of marks) {
            context.fillStyle = colour;
            context.beginPath();
            const last = {};
            for (let k = 0; k < beyond.length; k += 3) {
                const [px, edge, dy] = [beyond[k], beyond[k + 1], beyond[k + 2]];
                if (px < box.left || px > box.right || Math.abs(px - (last[edge] ?? -1e9)) < 6) {
                    continue;
                }
                last[edge] = px;
                context.moveTo(px, edge);
                context.lineTo(px - 3, edge + dy);
                context.lineTo(px + 3, edge + dy);
                context.closePath();
            }
            context.fill();
        }
        marks = [];
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

    // What the last drawing showed, for the page's tests: the wavelength
    // range, the value axes' ends and the count of values clipped at a frame.
    const drawing = { wavelength: [0, 0], flux: [0, 0], residual: [0, 0], clipped: 0 };
    canvas.drawing = drawing;

    function clipTo(box, panel) {
        context.save();
        context.beginPath();
        context.rect(box.left, panel.top, box.right - box.left, panel.bottom - panel.top);
        context.clip();
    }

    function draw(result) {
        const box = layout();
        context.clearRect(0, 0, box.width, box.height);
        context.font = "12px sans-serif";
        const { low: wlLow, high: wlHigh } = view;
        const x = (w) => box.left + ((w - wlLow) / (wlHigh - wlLow)) * (box.right - box.left);
        const axes =
            heldAxes ||
            followingAxes([result, fittedResult, pinned && pinned.result]);
        drawing.clipped = 0;
        drawing.wavelength = [wlLow, wlHigh];
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
        const yUpper = drawAxis(box, box.upper, axes.flux, "flux (observed scale)");
        const yLower = drawAxis(box, box.lower, axes.residual, "observed \u2212 model");
        drawing.flux = [yUpper.low, yUpper.high];
        drawing.residual = [yLower.low, yLower.high];
        const curves = [];
        if (fittedResult && fittedResult.model) {
            curves.push([fittedResult, style.fitted]);
        }
        if (pinned && pinned.result.model) {
            curves.push([pinned.result, style.pinned]);
        }
        if (result.model) {
            curves.push([result, style.model]);
        }
        // The observed spectrum on top of the models, which would hide it.
        clipTo(box, box.upper);
        for (const [r, line] of curves) {
            drawCurve(x, yUpper, r.model, line, false);
        }
        drawCurve(x, yUpper, rows.observed, style.maskedRows, true);
        drawCurve(x, yUpper, rows.observed, style.observed, false);
        context.restore();
        clipTo(box, box.lower);
        if (rows.sigma) {
            drawBand(x, yLower);
        }
        setLine(style.zero);
        context.beginPath();
        context.moveTo(box.left, yLower(0));
        context.lineTo(box.right, yLower(0));
        context.stroke();
        for (const [r, line] of curves) {
            drawCurve(x, yLower, r.residual, line, false);
        }
        context.restore();
        drawMarks(box);
        drawHover(box, x, yUpper, yLower, result);
        if (drag && drag.moved && !drag.pan) {
            context.fillStyle = "rgba(0, 114, 178, 0.15)";
            const from = Math.min(drag.x, drag.to);
            context.fillRect(from, box.upper.top, Math.abs(drag.to - drag.x), box.lower.bottom - box.upper.top);
        }
        // Wavelength ticks under the lower panel.
        const axis = roundAxis(wlLow, wlHigh, 8);
        context.fillStyle = style.text;
        context.textAlign = "center";
        context.textBaseline = "top";
        for (let k = 0; k <= axis.intervals; k++) {
            const v = tickValue(axis, k);
            if (v >= wlLow && v <= wlHigh) {
                context.fillText(tickLabel(axis, k), x(v), box.lower.bottom + 6);
            }
        }
        context.fillText("wavelength", (box.left + box.right) / 2, box.lower.bottom + 22);
        drawLegend(box);
    }

    // A line at the row under the pointer, and its figures under the plot.
    function drawHover(box, x, yUpper, yLower, result) {
        const readout = byId("readout");
        if (hover < 0) {
            readout.textContent = "Point at the plot for a row's figures.";
            return;
        }
        const i = hover;
        const px = x(rows.wavelength[i]);
        context.strokeStyle = style.text;
        context.lineWidth = 1;
        context.setLineDash([2, 3]);
        context.beginPath();
        context.moveTo(px, box.upper.top);
        context.lineTo(px, box.lower.bottom);
        context.stroke();
        context.setLineDash([]);
        const short = (v) => (Number.isFinite(v) ? String(Number(v.toPrecision(6))) : String(v));
        const parts = [
            "row " + (i + 1) + (rows.compared[i] ? "" : " (masked)"),
            "wavelength " + shortestSingleText(rows.wavelength[i]),
            "observed " + shortestSingleText(rows.observed[i]),
        ];
        if (result.model) {
            const sigma = rows.sigma ? rows.sigma[i] : 1;
            parts.push(
                "model " + short(result.model[i]),
                "residual " + short(result.residual[i]),
                "residual / sigma " + short(result.residual[i] / sigma)
            );
        }
        readout.textContent = parts.join(" \u00b7 ");
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
        if (pinned) {
            keys.push(["pinned weights", style.pinned]);
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

    // ---- zoom, pan and the readout ---------------------------------------

    // The wavelength at an x of the canvas.
    function wavelengthAt(px) {
        const box = layout();
        return view.low + ((px - box.left) / (box.right - box.left)) * (view.high - view.low);
    }

    // A shown range kept inside the data's and at least a thousandth of it.
    function showRange(low, high) {
        const [first, last] = fullRange;
        const least = (last - first) / 1000;
        if (high - low < least) {
            const middle = (low + high) / 2;
            low = middle - least / 2;
            high = middle + least / 2;
        }
        const width = Math.min(high - low, last - first);
        low = Math.min(Math.max(low, first), last - width);
        view.low = low;
        view.high = low + width;
        draw(lastResult);
    }

    function resetZoom() {
        showRange(fullRange[0], fullRange[1]);
    }

    function pointerX(event) {
        return event.clientX - canvas.getBoundingClientRect().left;
    }

    canvas.addEventListener(
        "wheel",
        (event) => {
            event.preventDefault();
            const at = wavelengthAt(pointerX(event));
            const factor = event.deltaY > 0 ? 1.25 : 0.8;
            showRange(at - (at - view.low) * factor, at + (view.high - at) * factor);
        },
        { passive: false }
    );
    canvas.addEventListener("mousedown", (event) => {
        if (event.button !== 0) {
            return;
        }
        const px = pointerX(event);
        drag = { x: px, to: px, low: view.low, high: view.high, pan: event.shiftKey, moved: false };
        event.preventDefault();
    });
    window.addEventListener("mousemove", (event) => {
        const px = pointerX(event);
        if (drag) {
            drag.to = px;
            drag.moved = drag.moved || Math.abs(px - drag.x) > 4;
            if (drag.pan && drag.moved) {
                const box = layout();
                const shift = ((px - drag.x) / (box.right - box.left)) * (drag.high - drag.low);
                showRange(drag.low - shift, drag.high - shift);
            } else {
                draw(lastResult);
            }
            return;
        }
        if (event.target !== canvas) {
            return;
        }
        const w = wavelengthAt(px);
        let best = -1;
        for (let i = 0; i < n; i++) {
            const d = Math.abs(rows.wavelength[i] - w);
            if (rows.wavelength[i] >= view.low && rows.wavelength[i] <= view.high &&
                (best < 0 || d < Math.abs(rows.wavelength[best] - w))) {
                best = i;
            }
        }
        if (best !== hover) {
            hover = best;
            draw(lastResult);
        }
    });
    window.addEventListener("mouseup", () => {
        if (drag && drag.moved && !drag.pan) {
            const a = wavelengthAt(drag.x);
            const b = wavelengthAt(drag.to);
            drag = null;
            showRange(Math.min(a, b), Math.max(a, b));
        } else {
            drag = null;
            draw(lastResult);
        }
    });
    canvas.addEventListener("mouseleave", () => {
        if (!drag && hover >= 0) {
            hover = -1;
            draw(lastResult);
        }
    });
    canvas.addEventListener("dblclick", resetZoom);
    byId("reset-zoom").addEventListener("click", resetZoom);
    byId("hold-axes").addEventListener("change", (event) => {
        heldAxes = event.target.checked
            ? followingAxes([lastResult, fittedResult, pinned && pinned.result])
            : null;
        draw(lastResult);
    });

    // ---- one redraw --------------------------------------------------------

    function redraw() {
        const result = evaluate(state.weights, state.refA);
        lastResult = result;
        draw(result);
        const fault = byId("fault");
        const figures = byId("figures");
        if (result.fault) {
            // The run would end with its floating-point report: no figures.
            fault.textContent =
                "With these values the run would stop with a floating-point report: " +
                result.fault +
                ".";
            fault.hidden = false;
            figures.hidden = true;
        } else {
            fault.hidden = true;
            figures.hidden = false;
            byId("chi2").textContent = exactText(result.chi2);
            byId("reduced-chi2").textContent =
                result.reducedChi2 === null ? "none (no more rows than parameters)" : exactText(result.reducedChi2);
            byId("rms").textContent = exactText(result.rms);
            byId("points").textContent = String(result.points);
        }
        byId("weights-text").value = weightsFileText(state.weights);
        const scaleMoved = Math.fround(state.refA) !== fileRefA;
        byId("scale-file").hidden = !scaleMoved;
        byId("scale-text").value = scaleFileText(state.refA, refB);
    }

    window.addEventListener("resize", () => draw(lastResult));
    redraw();
    showHistory();
})();
