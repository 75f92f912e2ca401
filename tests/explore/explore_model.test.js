// The explore page's pure functions (src/tools/pages/explore_model.js), one
// table of rows per rule. Expected values are written out by hand: bit
// patterns as hexadecimal-exact decimals, texts as the companion's C++ writes
// them.
//   node --test tests/explore/explore_model.test.js
"use strict";

const test = require("node:test");
const assert = require("node:assert/strict");
const path = require("node:path");

const model = require(path.join(__dirname, "../../src/tools/pages/explore_model.js"));

// A 32-bit real from its bit pattern.
function single(bits) {
    const view = new DataView(new ArrayBuffer(4));
    view.setUint32(0, bits);
    return view.getFloat32(0);
}

test("shortestSingleText: the shortest text that reads back, laid out as <charconv> does", () => {
    const rows = [
        [0.3, "0.3"],
        [0.1, "0.1"],
        [1e-5, "1e-05"],
        [1e8, "1e+08"],
        [123456, "123456"],
        [10000, "10000"], // a tie in length: the fixed form
        [100000, "1e+05"],
        [0.001, "0.001"],
        [0.0001, "1e-04"],
        [-0, "-0"],
        [0, "0"],
        [-2.5, "-2.5"],
        [1 / 3, "0.33333334"],
        [16777216, "16777216"],
        [16777217, "16777216"], // narrowed first: the tie goes to even
        [single(0x7f7fffff), "3.4028235e+38"], // the largest finite
        [single(0x00000001), "1e-45"], // the smallest subnormal
        [single(0x00800000), "1.1754944e-38"], // the smallest normal
        [single(0x3f800001), "1.0000001"], // one above 1
        // The one 32-bit real whose shortest text reads, as a double, exactly
        // halfway between it and its neighbour: reading the double and then
        // narrowing gives the neighbour, the run's reader gives the value.
        [single(0x15ae43fd), "7.038531e-26"],
        [6562.8, "6562.8"],
        [0.4649088680744171, "0.46490887"],
        [Infinity, "inf"],
        [-Infinity, "-inf"],
    ];
    for (const [value, text] of rows) {
        assert.equal(model.shortestSingleText(value), text, `value ${value}`);
    }
});

test("synthesize: each set added in order and narrowed on its own", () => {
    const rows = [
        // continuum, columns, weights -> synthetic
        [[1], [[-0.5], [-0.25]], [0.5, 2], [0.25]],
        // The product is not narrowed before the addition: 0x1.001p0 times
        // 0x1.0008p0 is 0x1.0018008p0, and 2048.000244140625 + that narrows
        // to 0x1.002006p11 (narrowing the product first would give 0x1.002004p11).
        [[2048.000244140625], [[1.000244140625]], [1.0001220703125], [2049.000732421875]],
        // Set order shows in the last bit: 1 + 2^-24 is a tie and goes to the even 1.
        [[1], [[-(2 ** -24)], [2 ** -24]], [1, 1], [1]],
        [[1], [[2 ** -24], [-(2 ** -24)]], [1, 1], [0.9999999403953552]],
        // A weight is the 32-bit real nearest to the value given.
        [[0], [[1]], [0.1], [0.10000000149011612]],
        // A column shorter than the rows leaves the later rows as seeded.
        [[1, 1, 1], [[1]], [2], [3, 1, 1]],
        // No set: the continuum.
        [[1.5, 2.5], [], [], [1.5, 2.5]],
    ];
    for (const [continuum, columns, weights, expected] of rows) {
        const result = model.synthesize(
            Float32Array.from(continuum),
            columns.map((c) => Float32Array.from(c)),
            weights
        );
        assert.deepEqual(Array.from(result.synthetic), expected, JSON.stringify([continuum, columns, weights]));
    }
});

test("synthesize: where the run's narrowing would overflow", () => {
    const largest = single(0x7f7fffff);
    const rows = [
        [[largest], [[largest]], [1], "overflow adding set 1 at row 1"],
        [[0, 0], [[0, 1]], [1e39], "the weight of set 1 is not a finite 32-bit real"],
        [[1, largest], [[0, 0], [0, largest]], [1, 1], "overflow adding set 2 at row 2"],
        // The rows beyond the page's, numbered on from its last row.
        [[largest], [[largest]], [1], "overflow adding set 1 at row 401", 400],
    ];
    for (const [continuum, columns, weights, fault, offset] of rows) {
        const result = model.synthesize(
            Float32Array.from(continuum),
            columns.map((c) => Float32Array.from(c)),
            weights,
            offset
        );
        assert.equal(result.fault, fault);
    }
});

test("trapezoidIntegral: the total in double, narrowed once; its overflow is a fault", () => {
    const largest = single(0x7f7fffff);
    const rows = [
        [[1, 3], [2, 4], 6],
        [[3, 1], [2, 4], -6],
        [[0, 1, 2], [1, 1, 1], 2],
        [[0, 1], [largest, largest], largest], // the sum passes 32 bits, the total does not
        [[0, 2], [3e38, 3e38], "overflow in the integral of the synthetic spectrum"],
        [[6563], [1], 0],
    ];
    for (const [wavelength, synthetic, expected] of rows) {
        const result = model.trapezoidIntegral(Float32Array.from(synthetic), Float32Array.from(wavelength));
        if (typeof expected === "string") {
            assert.equal(result.fault, expected);
        } else {
            assert.equal(result.integral, expected);
        }
    }
});

test("typedSingle: a number the run holds as a finite 32-bit real, else null", () => {
    const rows = [
        ["0.25", 0.25],
        [" 1e-3 ", 0.001],
        ["-2", -2],
        [".5", 0.5],
        ["3.4e38", 3.4e38],
        ["1e40", null],
        ["3.5e38", null],
        ["abc", null],
        ["", null],
        ["0x10", null],
        ["Infinity", null],
        ["1e", null],
    ];
    for (const [text, expected] of rows) {
        assert.equal(model.typedSingle(text), expected, JSON.stringify(text));
    }
});

test("scaleFactors: both quotients from the two differences, narrowed", () => {
    const rows = [
        // refA, refB, flux1, flux2 -> scaleFwd, scaleBack (or the fault)
        [10, 0, 2, 0, 5, 0.20000000298023224],
        [1, 0, 1, 0, 1, 1],
        [3, 1, 2, 1, 2, 0.5],
        [1, 1, 2, 0, "division by zero in the scale factors (ref_a equals ref_b)"],
        [single(0x7f7fffff), 0, single(0x00000001), 0, "overflow in the scale factors"],
    ];
    for (const [refA, refB, flux1, flux2, fwd, back] of rows) {
        const result = model.scaleFactors(refA, refB, flux1, flux2);
        if (typeof fwd === "string") {
            assert.equal(result.fault, fwd);
        } else {
            assert.deepEqual([result.scaleFwd, result.scaleBack], [fwd, back]);
        }
    }
});

test("residualStatistics: the stats command's sums over the compared rows", () => {
    const scales = { flux2: 0, refB: 0, scaleFwd: 1 };
    const rows = [
        // observed, synthetic, sigma, compared, parameters -> chi2, rms, reducedChi2, points
        [[2, 0, 4], [1, 3, 2], null, [1, 1, 1], 1, 14, Math.sqrt(14 / 3), 7, 3],
        [[2, 0, 4], [1, 3, 2], [1, 2, 4], [1, 1, 1], 1, 1 + 2.25 + 0.25, Math.sqrt(14 / 3), 1.75, 3],
        // A masked row counts nowhere.
        [[2, 0, 4], [1, 3, 2], null, [1, 0, 1], 1, 5, Math.sqrt(5 / 2), 5, 2],
        // No more rows than parameters: no reduced chi-squared.
        [[2, 0], [1, 3], null, [1, 1], 2, 10, Math.sqrt(5), null, 2],
    ];
    for (const [observed, synthetic, sigma, compared, parameters, chi2, rms, reduced, points] of rows) {
        const result = model.residualStatistics(
            {
                observed: Float32Array.from(observed),
                sigma: sigma && Float32Array.from(sigma),
                compared: Uint8Array.from(compared),
            },
            Float32Array.from(synthetic),
            scales,
            parameters
        );
        assert.deepEqual([result.chi2, result.rms, result.reducedChi2, result.points], [chi2, rms, reduced, points]);
    }
    // The map to the observed scale: (synthetic - flux2) * scaleFwd + refB.
    const mapped = model.residualStatistics(
        { observed: Float32Array.from([7]), sigma: null, compared: Uint8Array.from([1]) },
        Float32Array.from([1]),
        { flux2: 0.5, refB: 2, scaleFwd: 4 },
        0
    );
    assert.deepEqual([mapped.model[0], mapped.residual[0]], [4, 3]);
});

test("file texts: the run's layout, CR LF", () => {
    const rows = [
        [model.weightsFileText([0.5, 0.3]), "2\r\n0.5\r\n0.3\r\n"],
        [model.weightsFileText([]), "0\r\n"],
        // As `linesynth-tools fit` writes the example's fitted weights.
        [model.weightsFileText([0.4649088680744171, 0, 0.7463520765304565]), "3\r\n0.46490887\r\n0\r\n0.7463521\r\n"],
        [model.scaleFileText(10, 0), "10\r\n0\r\n"],
        [model.scaleFileText(1.25, -0.5), "1.25\r\n-0.5\r\n"],
    ];
    for (const [text, expected] of rows) {
        assert.equal(text, expected);
    }
});

test("exactText: 17 significant digits", () => {
    const rows = [
        [0.1, "0.10000000000000001"],
        [0.3431649776505772, "0.34316497765057719"],
        [14, "14.000000000000000"],
        [Infinity, "Infinity"],
    ];
    for (const [value, text] of rows) {
        assert.equal(model.exactText(value), text);
        if (Number.isFinite(value)) {
            assert.equal(Number(text), value);
        }
    }
});

test("roundAxis, tickLabel: the plots' cases (tests/support/axis_rounding.txt)", () => {
    const fs = require("node:fs");
    const table = fs.readFileSync(path.join(__dirname, "../support/axis_rounding.txt"), "utf8");
    const cases = table.split("\n").filter((line) => line.trim() && !line.startsWith("#"));
    assert.ok(cases.length >= 4, "the table's cases");
    for (const line of cases) {
        const [low, high, most, first, intervals, digit, exponent, firstLabel, lastLabel] =
            line.trim().split(/\s+/);
        const axis = model.roundAxis(Number(low), Number(high), Number(most));
        assert.deepEqual(
            axis,
            {
                first: Number(first),
                intervals: Number(intervals),
                digit: Number(digit),
                exponent: Number(exponent),
            },
            line
        );
        assert.equal(model.tickLabel(axis, 0), firstLabel, line);
        assert.equal(model.tickLabel(axis, axis.intervals), lastLabel, line);
    }
});

test("residualTableFault: the run's tables, in the order it writes them", () => {
    const tables = { flux1: 1, flux2: 0, level1: 10, level2: 0, refB: 0, scaleFwd: 1, scaleBack: 1 };
    const rows = [
        [[0.5, 1], [1, 1], tables, null],
        [[1e30], [0], tables, "overflow writing RDF2.txt at row 1"], // level 1e31
        [[1, 4e38], [1, 1], tables, "overflow writing RDF.txt at row 2"], // S beyond 32 bits
        [[1, 2e38], [1, -2e38], tables, "overflow writing RDF.txt at row 2"], // observed - S
        [[1], [3e38], { ...tables, scaleBack: 2 }, "overflow writing RDF1.txt at row 1"],
        [[1], [0], { ...tables, level1: 5, level2: 5 }, "the flux calibration cannot be inverted (equal levels or fluxes)"],
    ];
    for (const [synthetic, observed, scales, fault] of rows) {
        assert.equal(
            model.residualTableFault(Float32Array.from(synthetic), Float32Array.from(observed), scales),
            fault,
            JSON.stringify([synthetic, observed])
        );
    }
});
