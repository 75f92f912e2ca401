// The lint rules of the project's JavaScript: the explore page's two scripts
// (which run in a browser as one script, the model's functions global to the
// view) and the Node scripts of the tests and benchmarks. Rules that catch
// faults, not taste: layout is left to the editor.
//   node_modules/.bin/eslint --config tests/explore/eslint.config.js   (from the top folder)
"use strict";

const faults = {
    "no-undef": "error",
    "no-unused-vars": ["error", { vars: "local", args: "after-used" }],
    "no-redeclare": "error",
    "no-shadow": "error",
    "no-var": "error",
    "prefer-const": "error",
    eqeqeq: ["error", "smart"],
    curly: "error",
    "no-implicit-globals": "error",
    "no-unreachable": "error",
    "no-dupe-keys": "error",
    "no-self-compare": "error",
    "no-constant-condition": ["error", { checkLoops: false }],
    "no-fallthrough": "error",
    "no-loss-of-precision": "error",
    "use-isnan": "error",
    "valid-typeof": "error",
    "no-prototype-builtins": "error",
    strict: ["error", "global"],
};

const browser = Object.fromEntries(
    [
        "window", "document", "Blob", "URL", "Event", "setTimeout", "requestAnimationFrame",
        "performance", "DataView", "ArrayBuffer", "BigInt", "Float32Array", "Float64Array",
        "Uint8Array",
    ].map((name) => [name, "readonly"])
);
const node = Object.fromEntries(
    ["require", "module", "process", "console", "__dirname", "setTimeout", "Buffer"].map((name) => [
        name,
        "readonly",
    ])
);
// What explore_model.js gives the view when the page joins the two.
const model = Object.fromEntries(
    [
        "shortestSingleText", "synthesize", "trapezoidIntegral", "residualTableFault",
        "typedSingle", "scaleFactors", "residualStatistics", "roundAxis", "tickValue",
        "tickLabel", "weightsFileText", "scaleFileText", "exactText",
    ].map((name) => [name, "readonly"])
);

module.exports = [
    {
        files: ["src/tools/pages/explore_model.js"],
        languageOptions: {
            ecmaVersion: 2022,
            sourceType: "script",
            globals: { ...browser, module: "readonly" },
        },
        rules: { ...faults, "no-implicit-globals": "off" },
    },
    {
        files: ["src/tools/pages/explore_view.js"],
        languageOptions: { ecmaVersion: 2022, sourceType: "script", globals: { ...browser, ...model } },
        rules: faults,
    },
    {
        files: ["tests/explore/*.js", "bench/*.js"],
        languageOptions: { ecmaVersion: 2022, sourceType: "commonjs", globals: { ...node, ...browser } },
        rules: faults,
    },
];
