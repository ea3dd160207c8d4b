// Validates binary glTF files with the Khronos validator: prints each file's
// error and warning counts and every error, and exits 1 when any file has an
// error. Usage: node gltf_validate.mjs FILE.glb...
import { readFile } from 'node:fs/promises';
import validator from 'gltf-validator';

let failed = false;
for (const path of process.argv.slice(2)) {
  const report = await validator.validateBytes(new Uint8Array(await readFile(path)), {
    uri: path,
    maxIssues: 100,
  });
  const { numErrors, numWarnings } = report.issues;
  console.log(`${path}: ${numErrors} errors, ${numWarnings} warnings`);
  for (const message of report.issues.messages) {
    if (message.severity <= 1) {
      console.log(`  ${message.severity === 0 ? 'error' : 'warning'} ${message.code} ` +
                  `${message.pointer ?? ''}: ${message.message}`);
    }
  }
  if (numErrors > 0) failed = true;
}
process.exit(failed ? 1 : 0);
