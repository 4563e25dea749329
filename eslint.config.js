// The lint of the page's scripts, the page's tests and its benchmark
// (npm run lint in the page's npm folder, make check-web).
"use strict";

const js = require("@eslint/js");
const globals = require("globals");

module.exports = [
  { ignores: ["build/**", "**/node_modules/**", "help/**"] },
  {
    files: ["web/**/*.js"],
    ignores: ["web/assemble.js", "web/worker*.js"],
    ...js.configs.recommended,
    languageOptions: { ecmaVersion: 2022, sourceType: "script", globals: { ...globals.browser, Kelvane: "writable", kelvaneWorkerSource: "readonly" } },
  },
  {
    // The worker's scripts, joined into one after the core: each names what
    // it takes from those before it (global) and gives to those after
    // (exported).
    files: ["web/worker*.js"],
    ...js.configs.recommended,
    languageOptions: { ecmaVersion: 2022, sourceType: "script", globals: { ...globals.worker, createKelvaneCore: "readonly" } },
  },
  {
    files: ["web/assemble.js", "tests/web/**/*.js", "bench/web_page.js", "eslint.config.js"],
    ...js.configs.recommended,
    // The tests' callbacks run in the page.
    languageOptions: { ecmaVersion: 2022, sourceType: "commonjs", globals: { ...globals.node, ...globals.browser, Kelvane: "readonly" } },
  },
  // A catch that drops the error on purpose names it all the same.
  { rules: { "no-unused-vars": ["error", { caughtErrors: "none" }] } },
];
