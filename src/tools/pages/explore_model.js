// The explore page's arithmetic: the run's synthesis, scale factors and the
// companion's statistics, replayed on the page's data so that the page shows
// to the last bit what `linesynth-tools stats` and `fit` print.
//
// JavaScript numbers are doubles, and + - * / on doubles round exactly as the
// run's double arithmetic does (the run is built without fused multiply-add).
// A 32-bit real is a double holding a value Math.fround leaves unchanged;
// Math.fround is the run's narrowing (nearest, ties to even), applied exactly
// where the run stores into a 32-bit real. A narrowing that gives an infinity
// (or a NaN) is where the run would stop with its floating-point fault.
//
// Pure functions only: the view (explore_view.js) calls them, and Node runs
// them under tests/explore/explore_model.test.js.
"use strict";

// The 32-bit real that the decimal text `exponential` ("d.ddde+x", positive)
// reads as when it is rounded straight to 32 bits, as the run's reader does.
// Reading it as a double first and narrowing that rounds twice, which goes
// another way where the double lies exactly halfway between two 32-bit reals
// while the text does not:
//   "7.038531e-26": the double is the midpoint just below 0x1.5c87fap-84,
//   the tie goes to the even 0x1.5c87f8p-84, the text reads as 0x1.5c87fap-84
function singleOfText(exponential) {
    const read = Number(exponential);
    const nearest = Math.fround(read);
    if (nearest === read || !Number.isFinite(nearest)) {
        return nearest;
    }
    // Both differences are exact (Sterbenz); the value lies halfway exactly
    // when the point as far beyond it is the other neighbour.
    const other = nearest + 2 * (read - nearest);
    if (Math.fround(other) !== other) {
        return nearest;
    }
    const side = compareDecimal(exponential, read);
    if (side === 0) {
        return nearest; // a true tie: to even, as Math.fround did
    }
    return (side > 0) === (other > nearest) ? other : nearest;
}

// The sign of (the decimal text) - (the double), exactly, in integers.
function compareDecimal(exponential, value) {
    const [mantissa, exponentText] = exponential.split("e");
    const digits = BigInt(mantissa.replace(".", ""));
    const power10 = Number(exponentText) - (mantissa.replace(".", "").length - 1);
    const view = new DataView(new ArrayBuffer(8));
    view.setFloat64(0, value);
    const bits = view.getBigUint64(0);
    const field = Number((bits >> 52n) & 0x7ffn);
    const fraction = bits & 0xfffffffffffffn;
    const significand = field === 0 ? fraction : fraction | (1n << 52n);
    const power2 = (field === 0 ? 1 : field) - 1075;
    let left = digits;
    let right = significand;
    if (power10 >= 0) {
        left *= 10n ** BigInt(power10);
    } else {
        right *= 10n ** BigInt(-power10);
    }
    if (power2 >= 0) {
        right *= 2n ** BigInt(power2);
    } else {
        left *= 2n ** BigInt(-power2);
    }
    return left > right ? 1 : left < right ? -1 : 0;
}

// The shortest decimal text that reads back as the same 32-bit real, laid
// out as the companion's C++ lays it out (<charconv>: the fixed form unless
// the exponent form is shorter, the exponent with a sign and two digits at
// least):
//   0.3 -> "0.3";  1e-5 -> "1e-05";  1e8 -> "1e+08";  123456 -> "123456";
//   10000 -> "10000";  -0 -> "-0";  Math.fround(0.1) -> "0.1"
//   0x1.5c87fap-84 -> "7.038531e-26" (see singleOfText)
function shortestSingleText(value) {
    const single = Math.fround(value);
    if (Number.isNaN(single)) {
        return "nan";
    }
    if (!Number.isFinite(single)) {
        return single > 0 ? "inf" : "-inf";
    }
    if (single === 0) {
        return Object.is(single, -0) ? "-0" : "0";
    }
    const sign = single < 0 ? "-" : "";
    const magnitude = Math.abs(single);
    for (let precision = 1; precision <= 17; precision++) {
        // toExponential rounds the exact value to `precision` digits.
        const text = magnitude.toExponential(precision - 1);
        if (singleOfText(text) === magnitude) {
            return sign + decimalLayout(text);
        }
    }
    return sign + decimalLayout(magnitude.toExponential(16));
}

// "d.ddde+x" (toExponential) in the shorter of the fixed and exponent forms,
// the fixed one on a tie.
function decimalLayout(exponential) {
    const [mantissa, exponentText] = exponential.split("e");
    const digits = mantissa.replace(".", "").replace(/0+$/, "") || "0";
    const exponent = Number(exponentText);
    const scientific =
        digits[0] +
        (digits.length > 1 ? "." + digits.slice(1) : "") +
        "e" +
        (exponent < 0 ? "-" : "+") +
        String(Math.abs(exponent)).padStart(2, "0");
    let fixed;
    if (exponent >= digits.length - 1) {
        fixed = digits + "0".repeat(exponent - digits.length + 1);
    } else if (exponent >= 0) {
        fixed = digits.slice(0, exponent + 1) + "." + digits.slice(exponent + 1);
    } else {
        fixed = "0." + "0".repeat(-exponent - 1) + digits;
    }
    return fixed.length <= scientific.length ? fixed : scientific;
}

// The synthetic spectrum the run builds, over the page's rows 1 to n (or,
// with `offset`, over rows offset + 1 on, for the rows beyond the page's):
// seeded with the continuum, then for each set J in order and each row I up
// to that set's count,
//   synthetic(I) = narrow(component_J(I) * weight_J + synthetic(I))
// with weight_J narrowed to a 32-bit real as the run reads it. `continuum` and
// each column of `components` hold 32-bit reals (the component column as the
// run stores it: the value read minus the continuum, narrowed); a column is
// as long as the smaller of its file's count and n. The result is
// { synthetic } or, where a narrowing overflows, { fault } naming the set and
// the row.
//   continuum [1], columns [[-0.5], [-0.25]], weights [0.5, 2] -> synthetic [0.25]
function synthesize(continuum, components, weights, offset = 0) {
    const synthetic = Float32Array.from(continuum);
    for (let set = 0; set < components.length; set++) {
        const column = components[set];
        const weight = Math.fround(weights[set]);
        if (!Number.isFinite(weight)) {
            return { fault: "the weight of set " + (set + 1) + " is not a finite 32-bit real" };
        }
        for (let row = 0; row < column.length; row++) {
            const sum = Math.fround(column[row] * weight + synthetic[row]);
            if (sum - sum !== 0) {
                return {
                    fault: "overflow adding set " + (set + 1) + " at row " + (offset + row + 1),
                };
            }
            synthetic[row] = sum;
        }
    }
    return { synthetic };
}

// The run's trapezoid integral of the synthetic spectrum over wavelength,
// for the fault it can end in: over rows 1 to the length of `wavelength`,
// each term (x(i+1) - x(i)) * (y(i) + y(i+1)) * 0.5 in double, the total in
// double, narrowed once at the end. { integral } or, where the narrowing
// overflows, { fault }.
//   wavelength [1, 3], synthetic [2, 4] -> integral 6
//   wavelength [0, 2], synthetic [3e38, 3e38] -> fault (6e38 is beyond 32 bits)
function trapezoidIntegral(synthetic, wavelength) {
    let total = 0;
    for (let i = 0; i + 1 < wavelength.length; i++) {
        total += (wavelength[i + 1] - wavelength[i]) * (synthetic[i] + synthetic[i + 1]) * 0.5;
    }
    const integral = Math.fround(total);
    if (!Number.isFinite(integral)) {
        return { fault: "overflow in the integral of the synthetic spectrum" };
    }
    return { integral };
}

// The faults the run's residual tables would end in, over rows 1 to the
// length of `synthetic`, in the order the run writes them: RDF.txt narrows
// the model S = (synthetic - flux2) * scaleFwd + refB and observed - S,
// RDF1.txt the mapped observed O = (observed - refB) * scaleBack + flux2 and
// synthetic - O, RDF2.txt turns synthetic and the narrowed O into pixel
// levels, narrow((value - flux2) / (flux1 - flux2) * (level1 - level2) +
// level2) rounded half away from zero, which must fit 32-bit integers (the
// level difference wraps as the run's 32-bit integers do). Each narrowing
// overflows where Math.fround gives an infinity (or a NaN). null, or the
// fault:
//   synthetic [1e30], observed [0], flux 1 / 0, levels 10 / 0, refB 0,
//   scales 1 / 1 -> "overflow writing RDF2.txt at row 1" (level 1e31)
function residualTableFault(synthetic, observed, tables) {
    const { flux1, flux2, level1, level2, refB, scaleFwd, scaleBack } = tables;
    const beyond = (v) => !Number.isFinite(Math.fround(v));
    const fault = (table, row) => "overflow writing " + table + " at row " + (row + 1);
    const count = synthetic.length;
    for (let i = 0; i < count; i++) {
        const s = (synthetic[i] - flux2) * scaleFwd + refB;
        if (beyond(s) || beyond(observed[i] - s)) {
            return fault("RDF.txt", i);
        }
    }
    for (let i = 0; i < count; i++) {
        const o = (observed[i] - refB) * scaleBack + flux2;
        if (beyond(o) || beyond(synthetic[i] - o)) {
            return fault("RDF1.txt", i);
        }
    }
    if (count > 0 && (level1 === level2 || flux1 === flux2)) {
        return "the flux calibration cannot be inverted (equal levels or fluxes)";
    }
    const span = (level1 - level2) | 0;
    const level = (value) => {
        const v = ((value - flux2) / (flux1 - flux2)) * span + level2;
        if (beyond(v)) {
            return false;
        }
        const single = Math.fround(v);
        const rounded = Math.trunc(single < 0 ? single - 0.5 : single + 0.5);
        return rounded >= -2147483648 && rounded <= 2147483647;
    };
    for (let i = 0; i < count; i++) {
        const o = Math.fround((observed[i] - refB) * scaleBack + flux2);
        if (!level(synthetic[i]) || !level(o)) {
            return fault("RDF2.txt", i);
        }
    }
    return null;
}

// A value typed for a 32-bit real: a decimal number the run can hold as a
// finite 32-bit real, or null when the text is not a number or the value
// lies beyond that range.
//   "0.25" -> 0.25;  " 1e-3 " -> 0.001;  "1e40" -> null;  "3.5e38" -> null;
//   "abc" -> null;  "" -> null;  "0x10" -> null
function typedSingle(text) {
    const trimmed = String(text).trim();
    if (!/^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(trimmed)) {
        return null;
    }
    const value = Number(trimmed);
    return Number.isFinite(Math.fround(value)) ? value : null;
}

// The report scales with reference value `refA` (the others as read): with
// A = refA - refB and F = flux1 - flux2, scaleFwd = narrow(A / F), then
// scaleBack = narrow(F / A), each from the two differences. A zero divisor or
// an overflow is where the run would stop.
//   refA 10, refB 0, flux1 2, flux2 0 -> scaleFwd 5, scaleBack Math.fround(0.2)
function scaleFactors(refA, refB, flux1, flux2) {
    const span = Math.fround(refA) - refB;
    const fluxSpan = flux1 - flux2;
    const quotient = (numerator, denominator) => {
        if (denominator === 0) {
            return null;
        }
        const q = Math.fround(numerator / denominator);
        return Number.isFinite(q) ? q : undefined;
    };
    const scaleFwd = quotient(span, fluxSpan);
    const scaleBack = scaleFwd == null ? scaleFwd : quotient(fluxSpan, span);
    if (scaleFwd === null || scaleBack === null) {
        return { fault: "division by zero in the scale factors (ref_a equals ref_b)" };
    }
    if (scaleFwd === undefined || scaleBack === undefined) {
        return { fault: "overflow in the scale factors" };
    }
    return { scaleFwd, scaleBack };
}

// Over the page's rows: the model S(I) = (synthetic(I) - flux2) * scaleFwd +
// refB and the residual observed(I) - S(I) of every row (in double, not
// narrowed), and over the compared rows (compared[I] = 1), in ascending order,
//   chi2 = sum of (r / sigma)^2,  rms = sqrt(sum of r^2 / N),
//   reducedChi2 = chi2 / (N - parameters), null when N <= parameters,
// with sigma(I) = 1 where `sigma` is null. Same sums in the same order as
// `linesynth-tools stats`:
//   residuals 1, -3, 2, unit sigmas, 1 parameter -> chi2 14, rms sqrt(14 / 3),
//                                                   reducedChi2 7
function residualStatistics(rows, synthetic, scales, parameters) {
    const n = synthetic.length;
    const model = new Float64Array(n);
    const residual = new Float64Array(n);
    const { observed, sigma, compared } = rows;
    const { flux2, refB, scaleFwd } = scales;
    let chi2 = 0;
    let squares = 0;
    let points = 0;
    for (let i = 0; i < n; i++) {
        const s = (synthetic[i] - flux2) * scaleFwd + refB;
        const r = observed[i] - s;
        model[i] = s;
        residual[i] = r;
        if (compared[i]) {
            const q = r / (sigma ? sigma[i] : 1);
            chi2 += q * q;
            squares += r * r;
            points++;
        }
    }
    return {
        model,
        residual,
        points,
        chi2,
        rms: Math.sqrt(squares / points),
        reducedChi2: points > parameters ? chi2 / (points - parameters) : null,
    };
}

// The value axes, by the plots' own rule (round_axis, tick_value and
// tick_label of svg_plot.h, whose cases tests/support/axis_rounding.txt
// holds for both languages): an axis from first * step to
// (first + intervals) * step, step = digit * 10^exponent with digit 1, 2 or
// 5, the smallest such step that covers low..high in at most `most`
// intervals; a single value, or a range too narrow for any step, is widened
// by 5 % of its size on each side (by 1 around zero) first.
//   roundAxis(6537.8, 6587.8, 8) -> { first: 653, intervals: 6, digit: 1, exponent: 1 }
const largestDrawn = 1e300;

function powerOfTen(count) {
    let p = 1;
    for (let i = 0; i < count; i++) {
        p *= 10;
    }
    return p;
}

function inSteps(value, digit, exponent) {
    return exponent >= 0
        ? value / (digit * powerOfTen(exponent))
        : (value * powerOfTen(-exponent)) / digit;
}

function roundAxis(low, high, most) {
    low = Math.min(Math.max(low, -largestDrawn), largestDrawn);
    high = Math.min(Math.max(high, -largestDrawn), largestDrawn);
    const size = Math.max(Math.abs(low), Math.abs(high));
    if (high - low <= size * 1e-9 || high - low < 1e-200) {
        const centre = low / 2 + high / 2;
        const pad = Math.abs(centre) > 1e-200 ? Math.abs(centre) * 0.05 : 1;
        low = centre - pad;
        high = centre + pad;
    }
    const start = Math.floor(Math.log10((high - low) / most)) - 1;
    for (let exponent = start; exponent <= start + 4; exponent++) {
        for (const digit of [1, 2, 5]) {
            // A billionth of a step keeps a value that lies on a tick but was
            // rounded just past it from opening a new interval.
            const first = Math.floor(inSteps(low, digit, exponent) + 1e-9);
            const last = Math.ceil(inSteps(high, digit, exponent) - 1e-9);
            if (last - first <= most) {
                return { first, intervals: Math.max(1, last - first), digit, exponent };
            }
        }
    }
    return { first: 0, intervals: 1, digit: 1, exponent: 0 };
}

// The value of tick `index`: one correctly rounded operation on exact integers.
function tickValue(axis, index) {
    const units = (axis.first + index) * axis.digit;
    const value =
        axis.exponent >= 0 ? units * powerOfTen(axis.exponent) : units / powerOfTen(-axis.exponent);
    return value + 0;
}

// The label of tick `index`, with the axis's decimals and a true minus sign.
function tickLabel(axis, index) {
    const text = tickValue(axis, index).toFixed(Math.max(0, -axis.exponent));
    return text.startsWith("-") ? "\u2212" + text.slice(1) : text;
}

// The weights file: the count, then one weight per record, each the shortest
// text that reads back as the same 32-bit real, every record ending in CR LF.
//   [0.5, 0.3] -> "2\r\n0.5\r\n0.3\r\n"
function weightsFileText(weights) {
    return weights.length + "\r\n" + weights.map((w) => shortestSingleText(w) + "\r\n").join("");
}

// The scale file: ref_a, then ref_b, one record each.
//   10, 0 -> "10\r\n0\r\n"
function scaleFileText(refA, refB) {
    return shortestSingleText(refA) + "\r\n" + shortestSingleText(refB) + "\r\n";
}

// A double in 17 significant digits: enough to tell any two doubles apart,
// so that the text shown reads back as exactly the value computed.
//   0.1 -> "0.10000000000000001"
function exactText(value) {
    return Number.isFinite(value) ? value.toPrecision(17) : String(value);
}

if (typeof module === "object" && module.exports) {
    module.exports = {
        shortestSingleText,
        synthesize,
        trapezoidIntegral,
        residualTableFault,
        typedSingle,
        scaleFactors,
        residualStatistics,
        roundAxis,
        tickValue,
        tickLabel,
        weightsFileText,
        scaleFileText,
        exactText,
    };
}
