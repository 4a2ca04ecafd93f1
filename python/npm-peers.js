// Romanizes the names of a file (one a line) in process with each Korean
// romanization package of the npm registry installed in a folder, and prints
// one JSON line per package: its names per second and a sample. python/bench.py
// runs it. Usage: node npm-peers.js NAMES_FILE FOLDER [PACKAGE]
// (PACKAGE: that one only).
'use strict';
const fs = require('fs');
const path = require('path');

const [namesFile, folder, only] = process.argv.slice(2);
const names = fs.readFileSync(namesFile, 'utf8').split('\n');
if (names[names.length - 1] === '') names.pop();

// Each package's call for one text, with its default options.
const kPeers = [
  ['hangul-romanization', (m) => (s) => m.convert(s)],
  ['aromanize', (m) => (s) => m.romanize(s)],
  ['koroman', (m) => (s) => m.romanize(s)],
];

for (const [name, bind] of kPeers) {
  if (only && name !== only) continue;
  const dir = path.join(folder, 'node_modules', name);
  let romanize;
  let version;
  try {
    romanize = bind(require(dir));
    version = require(path.join(dir, 'package.json')).version;
  } catch (e) {
    continue;  // not installed
  }
  let sink = 0;
  for (let i = 0; i < Math.min(names.length, 20000); ++i) sink += romanize(names[i]).length;
  let best = Infinity;
  for (let run = 0; run < 3; ++run) {
    const start = process.hrtime.bigint();
    for (const s of names) sink += romanize(s).length;
    best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e9);
  }
  console.log(JSON.stringify({name, version, seconds: best, perSecond: names.length / best,
                              sample: names.slice(0, 3).map(romanize), sink}));
}
