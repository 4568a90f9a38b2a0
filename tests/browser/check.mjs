// Converts the corpus with the real binary, then checks every document twice: the W3C
// validator's parser must find no structural error, and headless Chromium, loading each
// document through a <track>, must show every cue at its time with its text.
//
//   node check.mjs CUEFOLD_BINARY
//
// Exits 77 (skipped) when Chromium is missing, unless CI is set: then that is a failure.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import webvtt from 'webvtt-parser';

const executablePath = '/usr/bin/chromium';
const corpus = fileURLToPath(new URL('../corpus/', import.meta.url));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'cuefold-browser-'));
const failures = [];
const fail = (message) => failures.push(message);

// Errors about the author's own markup are the author's; the converter copies text as is.
const markupErrors = new Set([
    'Incorrect start tag.', 'Incorrect end tag.', 'Incorrect escape.', 'Required end tag missing.',
    'Only <v> and <lang> can have an annotation.', '<v> cannot be nested inside itself.',
    '<v> requires an annotation.',
]);
const orderErrors = new Set([
    'Start timestamp is not greater than or equal to start timestamp of previous cue.',
    'End timestamp is not greater than start timestamp.',
]);

const seconds = (timestamp) => timestamp.split(':').reduce((sum, n) => sum * 60 + Number(n), 0);
// The cues of a document in the one layout the converter writes; a cue's text may span lines.
const cuesOf = (vtt) => vtt.replace(/\n+$/, '').split('\n\n').slice(1).map((block) => {
    const [timing, ...lines] = block.split('\n');
    const [start, end] = timing.split(/ --> | /);
    return { start: seconds(start), end: seconds(end), text: lines.join('\n') };
});

// Transcripts without a document are refused, and tst_cli checks that.
const documents = fs.readdirSync(corpus).filter((f) => f.endsWith('.txt')).sort().map((name) => {
    const stem = corpus + name.slice(0, -4);
    if (!fs.existsSync(`${stem}.vtt`))
        return null;
    const golden = fs.readFileSync(`${stem}.vtt`);
    // One line of extra options, separated by single spaces.
    const argsFile = `${stem}.args`;
    const line = fs.existsSync(argsFile) ? fs.readFileSync(argsFile, 'utf8').split('\n')[0] : '';
    const args = line ? line.split(' ') : [];
    return { name, input: `${stem}.txt`, args, cues: cuesOf(`${golden}`), golden };
}).filter(Boolean);

const output = path.join(work, 'out.vtt');
for (const doc of documents) {
    const run = spawnSync(process.argv[2], [...doc.args, '--input', doc.input, '--output', output],
                          { encoding: 'utf8' });
    if (run.status !== 0) {
        const status = run.status ?? run.signal ?? run.error;
        fail(`${doc.name}: cuefold exited ${status}: ${run.stderr?.trim()}`);
        continue;
    }
    doc.vtt = fs.readFileSync(output);
    if (!doc.vtt.equals(doc.golden))
        fail(`${doc.name}: the document differs from the expected one`);
    const tree = new webvtt.WebVTTParser().parse(`${doc.vtt}`);
    for (const { message, line } of tree.errors) {
        const unordered = /^(unordered|check)/.test(doc.name) && orderErrors.has(message);
        if (!markupErrors.has(message) && !unordered)
            fail(`${doc.name}: validator, line ${line}: ${message}`);
    }
    if (tree.cues.length !== doc.cues.length)
        fail(`${doc.name}: validator found ${tree.cues.length} cues, expected ${doc.cues.length}`);
}
fs.rmSync(work, { recursive: true, force: true });
const converted = documents.filter((doc) => doc.vtt);

// Runs in the page: a <track> per document, whose cues are kept once it has loaded.
function loadTracks(count) {
    Promise.all(Array.from({ length: count }, (_, index) => new Promise((resolve) => {
        const video = document.body.appendChild(document.createElement('video'));
        const track = video.appendChild(document.createElement('track'));
        Object.assign(track, { kind: 'subtitles', src: `/vtt/${index}`, default: true });
        track.onload = () => resolve(Array.from(track.track.cues,
            (cue) => ({ start: cue.startTime, end: cue.endTime, text: cue.text })));
        track.onerror = () => resolve('track failed to load');
        track.track.mode = 'hidden';
    }))).then((results) => { window.results = results; });
}

async function browse() {
    const args = ['--disable-gpu', '--disable-dev-shm-usage'];
    const browser = await chromium.launch({ executablePath, args });
    try {
        const page = await browser.newPage();
        page.setDefaultTimeout(60000);
        await page.route('http://cuefold.test/**', (route) => {
            const { pathname } = new URL(route.request().url());
            const doc = converted[/^\/vtt\/(\d+)$/.exec(pathname)?.[1]];
            const page = { contentType: 'text/html; charset=utf-8', body: '<body>' };
            const vtt = doc && { contentType: 'text/vtt; charset=utf-8', body: doc.vtt };
            return route.fulfill(pathname === '/' ? page : vtt || { status: 404 });
        });
        await page.goto('http://cuefold.test/');
        await page.evaluate(loadTracks, converted.length);
        return await (await page.waitForFunction(() => window.results)).jsonValue();
    } finally {
        await browser.close();
    }
}

if (!fs.existsSync(executablePath) && !process.env.CI) {
    console.log(`SKIP: ${executablePath} is not installed`);
    process.exit(77);
}
try {
    const results = await browse();
    let cueCount = 0;
    // Milliseconds are all a document holds; a track lists cues by start time, not file order.
    const key = (cue) => `${cue.start.toFixed(3)} ${cue.end.toFixed(3)} `
        + JSON.stringify(cue.text);
    converted.forEach((doc, index) => {
        if (!Array.isArray(results[index]))
            return fail(`${doc.name}: Chromium: ${results[index]}`);
        const shown = results[index].map(key).sort(), wanted = doc.cues.map(key).sort();
        const at = wanted.findIndex((cue, i) => cue !== shown[i]), i = at < 0 ? wanted.length : at;
        if (i < shown.length || i < wanted.length)
            fail(`${doc.name}: Chromium shows ${shown.length} cues, expected ${wanted.length}; `
                 + `first difference: ${shown[i]} instead of ${wanted[i]}`);
        cueCount += shown.length;
    });
    console.log(`Chromium: ${results.length} documents, ${cueCount} cues checked`);
} catch (error) {
    fail(`Chromium: ${error.message}`);
}
for (const message of failures)
    console.log(`FAIL: ${message}`);
console.log(failures.length ? `${failures.length} failures`
                            : `all ${documents.length} documents pass`);
process.exit(failures.length ? 1 : 0);
