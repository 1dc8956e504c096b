// The editor schema of config.json, checked with a real validator against the example config and
// against copies of it broken the way administrators break them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import Ajv from 'ajv';

const source = process.env.NESTKEEP_SOURCE_DIR ?? fileURLToPath(new URL('../..', import.meta.url));
const schema = JSON.parse(readFileSync(join(source, 'examples/config.schema.json'), 'utf8'));
const example = JSON.parse(readFileSync(join(source, 'examples/config.json'), 'utf8'));

// Strict mode also rejects a schema with unknown keywords or contradictions in it.
const validate = new Ajv({ strict: true, allErrors: true }).compile(schema);

// A deep copy of the example with one change made to it.
function variant(change) {
  const copy = structuredClone(example);
  change(copy);
  return copy;
}

function firstSpecies(config) {
  return config.Dinolist[Object.keys(config.Dinolist)[0]];
}

// Every example config, the one a server starts with and those for the common wishes.
for (const name of readdirSync(join(source, 'examples')).filter((f) => f.endsWith('.json'))) {
  if (name === 'config.schema.json') continue;
  test(`examples/${name} is valid`, () => {
    const config = JSON.parse(readFileSync(join(source, 'examples', name), 'utf8'));
    assert.equal(validate(config), true, JSON.stringify(validate.errors));
  });
}

test('every key carries a description for editors', () => {
  const missing = [];
  (function walk(node, where) {
    if (node === null || typeof node !== 'object') return;
    for (const group of ['properties', 'patternProperties', 'definitions']) {
      for (const [name, sub] of Object.entries(node[group] ?? {})) {
        if (typeof sub.description !== 'string' || sub.description === '') missing.push(`${where}/${name}`);
        walk(sub, `${where}/${name}`);
      }
    }
    if (node.items) walk(node.items, `${where}[]`);
    if (typeof node.additionalProperties === 'object') walk(node.additionalProperties, `${where}/*`);
  })(schema, '');
  assert.deepEqual(missing, []);
});

const valid = {
  'no Footlist, with walk requests kept': variant((c) => {
    delete c.Footlist;
    c.General.ReplaceCuddleTypeWalk = false;
  }),
  'no walk setting': variant((c) => delete c.General.ReplaceCuddleTypeWalk),
  'walk requests kept': variant((c) => (c.General.ReplaceCuddleTypeWalk = false)),
  'notes in keys starting with an underscore': variant((c) => {
    c._comment = 'tuned for the spring event';
    firstSpecies(c)._note = 'slow grower';
  }),
  'full imprinting in one cuddle': variant((c) => (firstSpecies(c).CuddleIncreasePercent = 1)),
  'an interval of a day': variant((c) => (firstSpecies(c).CuddleIntervalTime = 1440)),
  'the smallest increase that reaches full': variant((c) => (firstSpecies(c).CuddleIncreasePercent = 3e-8)),
};

for (const [name, config] of Object.entries(valid)) {
  test(`valid: ${name}`, () => {
    assert.equal(validate(config), true, JSON.stringify(validate.errors));
  });
}

// Each broken copy, and the place the validator must point at.
const broken = {
  'top level an array': [[example], ''],
  'no General': [variant((c) => delete c.General), ''],
  'walk setting a string': [variant((c) => (c.General.ReplaceCuddleTypeWalk = 'yes')), '/General/ReplaceCuddleTypeWalk'],
  'a number among the foods': [variant((c) => c.Footlist.push(42)), '/Footlist/5'],
  'a food without apostrophes': [variant((c) => c.Footlist.push('Berries')), '/Footlist/5'],
  'a food with an empty path': [variant((c) => c.Footlist.push("Blueprint''")), '/Footlist/5'],
  'a food without a closing apostrophe': [variant((c) => c.Footlist.push("Blueprint'/Game/A")), '/Footlist/5'],
  'a food path already ending in _C': [variant((c) => c.Footlist.push("Blueprint'/Game/A_C'")), '/Footlist/5'],
  'a food path with a backslash': [variant((c) => c.Footlist.push("Blueprint'\\Game\\A'")), '/Footlist/5'],
  'Footlist a lone string': [variant((c) => (c.Footlist = c.Footlist[0])), '/Footlist'],
  'Footlist an object': [variant((c) => (c.Footlist = { a: c.Footlist[0] })), '/Footlist'],
  'a species without an interval': [variant((c) => delete firstSpecies(c).CuddleIntervalTime), '/Dinolist/Glimmerwing'],
  'an interval as text': [variant((c) => (firstSpecies(c).CuddleIntervalTime = '8')), '/Dinolist/Glimmerwing/CuddleIntervalTime'],
  'an interval of zero': [variant((c) => (firstSpecies(c).CuddleIntervalTime = 0)), '/Dinolist/Glimmerwing/CuddleIntervalTime'],
  'an increase as a percentage': [variant((c) => (firstSpecies(c).CuddleIncreasePercent = 25)), '/Dinolist/Glimmerwing/CuddleIncreasePercent'],
  'a species value not an object': [variant((c) => (c.Dinolist.Glimmerwing = 5)), '/Dinolist/Glimmerwing'],
  'Dinolist as an array': [variant((c) => (c.Dinolist = [firstSpecies(c)])), '/Dinolist'],
  'a key in the wrong letter case': [variant((c) => { c.dinolist = c.Dinolist; delete c.Dinolist; }), ''],
  'a misspelt species setting': [variant((c) => (firstSpecies(c).CuddleIntervalTme = 3)), '/Dinolist/Glimmerwing'],
  // What nestkeep-check warns about, where a schema can say it.
  'no Dinolist': [variant((c) => delete c.Dinolist), ''],
  'an empty Dinolist': [variant((c) => (c.Dinolist = {})), '/Dinolist'],
  'an interval in seconds': [variant((c) => (firstSpecies(c).CuddleIntervalTime = 28800)), '/Dinolist/Glimmerwing/CuddleIntervalTime'],
  'an increase too small to reach full': [variant((c) => (firstSpecies(c).CuddleIncreasePercent = 1e-10)), '/Dinolist/Glimmerwing/CuddleIncreasePercent'],
  'a species key with a blank at its end': [variant((c) => (c.Dinolist['Mossback '] = c.Dinolist.Mossback)), '/Dinolist'],
  'a species key with a control character': [variant((c) => (c.Dinolist['Moss\u0007back'] = c.Dinolist.Mossback)), '/Dinolist'],
  'a food path without its name': [variant((c) => c.Footlist.push("Blueprint'/Game/Foods/RootMash'")), '/Footlist/5'],
  'a food with a control character': [variant((c) => c.Footlist.push("Blueprint'/Game/A.A\t'")), '/Footlist/5'],
  'walk requests replaced with no foods': [variant((c) => (c.Footlist = [])), '/Footlist'],
  'the foods under a key the module does not read': [variant((c) => { c.Foodlist = c.Footlist; delete c.Footlist; }), ''],
};

for (const [name, [config, where]] of Object.entries(broken)) {
  test(`invalid: ${name}`, () => {
    assert.equal(validate(config), false);
    const places = validate.errors.map((e) => e.instancePath);
    assert.ok(places.includes(where), `expected an error at "${where}", got ${JSON.stringify(validate.errors)}`);
  });
}
