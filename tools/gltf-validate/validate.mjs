// Runs the Khronos glTF validator on each file given and prints its counts per file.
// Exit status: 0 when no file has errors, 1 when one has, 2 when a file cannot be validated.
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { validateBytes, version } from 'gltf-validator';

const kShownIssues = 20;

async function validate(file) {
  const bytes = new Uint8Array(await readFile(file));
  const folder = path.dirname(file);
  const report = await validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 0,
    writeTimestamp: false,
    externalResourceFunction: async (uri) =>
      new Uint8Array(await readFile(path.resolve(folder, decodeURIComponent(uri)))),
  });
  const { numErrors, numWarnings, numInfos, numHints, messages } = report.issues;
  console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings, ${numInfos} infos, ${numHints} hints`);
  const shown = messages.filter((m) => m.severity <= 1).slice(0, kShownIssues);
  for (const m of shown) {
    const level = m.severity === 0 ? 'error' : 'warning';
    console.log(`  ${level} ${m.code}: ${m.message}${m.pointer ? ` (${m.pointer})` : ''}`);
  }
  return numErrors;
}

const files = process.argv.slice(2);
if (files.length === 0) {
  console.error('usage: validate.mjs FILE.glb|FILE.gltf...');
  process.exit(2);
}
console.log(`glTF validator ${version()}`);
let failed = 0;
let broken = 0;
for (const file of files) {
  try {
    if ((await validate(file)) > 0) failed += 1;
  } catch (error) {
    console.log(`${file}: cannot validate: ${error}`);
    broken += 1;
  }
}
process.exit(broken > 0 ? 2 : failed > 0 ? 1 : 0);
