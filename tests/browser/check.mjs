// Converts the corpus with the real binary, then checks every document twice: the W3C
// validator's parser must find no structural error, and headless Chromium, loading each
// document through a <track>, must show every cue at its time with its text. The same
// transcripts made SRT and TTML must show the same cues: the SRT read by ffmpeg, the TTML by
// the W3C's IMSC reader, with every time on a frame, and rendered by it in Chromium.
//
//   node check.mjs CUEFOLD_BINARY
//
// Exits 77 (skipped) when Chromium is missing, unless CI is set: then that is a failure.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import webvtt from 'webvtt-parser';

const require = createRequire(import.meta.url);
const imsc = { ...require('imsc/src/main/js/doc'), ...require('imsc/src/main/js/isd') };

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

// What a viewer reads of cue text: no tags, entities as characters, no controls, blanks as
// single spaces. HTML-minded readers (browsers, ffmpeg's SRT) take any '<' up to the next '>'
// for a tag; cuefold and so its TTML only a '<' before a name, a '/' or a digit.
const named = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'", nbsp: ' ', lrm: '\u200e',
                rlm: '\u200f' };
const shownBy = (tag) => (text) => text.replace(tag, '').replace(/&(#x?)?(\w+);/gi,
    (entity, n, name) => n ? String.fromCodePoint(parseInt(name, n.length === 2 ? 16 : 10))
                           : named[name] ?? entity)
    .replace(/[\x00-\x08\x0b-\x1f\x7f]/g, '').replace(/\s+/g, ' ').trim();
const asHtml = shownBy(/<[^>]*>/g), asCuefold = shownBy(/<[\w/][^<>]*>/g), asIs = (text) => text;
// Cues as sorted keys: times to the millisecond, halves up as the converter rounds. Compared as
// a reader shows them (`shown`), cues that show nothing are left out, and so, for ffmpeg, is a
// cue that ends before it starts: the transcript's fault, which ffmpeg takes its own way.
const ms = (t) => Math.floor(t * 1000 + 0.5 + 1e-7);
function compareCues(name, got, wanted, shown = asIs, reversedToo = true) {
    const reversed = new Set(wanted.filter((c) => !reversedToo && c.end < c.start)
        .map((c) => ms(c.start)));
    const keys = (cues) => cues
        .filter((cue) => (shown === asIs || shown(cue.text)) && !reversed.has(ms(cue.start)))
        .map((cue) => `${ms(cue.start)} ${ms(cue.end)} ${JSON.stringify(shown(cue.text))}`).sort();
    const shownCues = keys(got), wantedCues = keys(wanted);
    const at = wantedCues.findIndex((cue, i) => cue !== shownCues[i]);
    const i = at < 0 ? wantedCues.length : at;
    if (i < shownCues.length || i < wantedCues.length)
        fail(`${name} shows ${shownCues.length} cues, expected ${wantedCues.length}; `
             + `first difference: ${shownCues[i]} instead of ${wantedCues[i]}`);
    return shownCues.length;
}

function convert(doc, format) {
    const file = path.join(work, `out.${format}`);
    const run = spawnSync(process.argv[2], [...doc.args, '--format', format, '--input', doc.input,
                                            '--output', file], { encoding: 'utf8' });
    if (run.status === 0)
        return fs.readFileSync(file, 'utf8');
    fail(`${doc.name}: cuefold --format ${format} exited ${run.status}: ${run.stderr?.trim()}`);
    return null;
}

// ffmpeg reads SRT as it reads WebVTT, and writes back what it read as WebVTT.
function checkSrt(doc) {
    const srt = convert(doc, 'srt');
    if (srt === null || (srt === '' && !doc.cues.some((cue) => asHtml(cue.text))))
        return;
    const run = spawnSync('ffmpeg', ['-v', 'error', '-i', '-', '-f', 'webvtt', '-'],
                          { input: srt, encoding: 'utf8' });
    if (run.status !== 0 || run.stderr)
        return fail(`${doc.name}: ffmpeg: ${run.stderr?.trim() || run.error}`);
    compareCues(`${doc.name}: the SRT through ffmpeg`, cuesOf(run.stdout), doc.cues, asHtml,
                false);
}

const frameRates = { '23.976': 24000 / 1001, '29.97': 30000 / 1001, '59.94': 60000 / 1001 };
const onGrid = (x) => Math.abs(x - Math.round(x)) < 1e-6;
// The IMSC reader reads the TTML without a word, and every time it finds is on a frame, or,
// for a cut inside a passage, on a millisecond.
function checkTtml(doc) {
    const ttml = convert(doc, 'ttml');
    if (ttml === null)
        return;
    const problems = [];
    const report = (message) => problems.push(message);
    const handler = { info() {}, warn: report, error: report, fatal: report };
    const tt = imsc.fromXML(ttml, handler);
    const fps = doc.args[doc.args.indexOf('--fps') + 1];
    const rate = doc.args.includes('--fps') ? frameRates[fps] ?? Number(fps) : 25;
    const split = doc.args.includes('--max-chars');
    const textOf = (node) => node.kind === 'br' ? '\n'
        : node.text ?? (node.contents ?? []).map(textOf).join('');
    const cues = (tt?.body?.contents ?? []).flatMap((div) => div.contents)
        .map((p) => ({ start: p.begin, end: p.end, text: textOf(p) }));
    for (const t of cues.flatMap((cue) => [cue.start, cue.end])) {
        if (!onGrid(t * rate) && !(split && onGrid(t * 1000)))
            report(`${t} s is not on a frame`);
    }
    for (const t of tt?.getMediaTimeEvents() ?? [])
        imsc.generateISD(tt, t, handler);
    for (const message of problems.slice(0, 3))
        fail(`${doc.name}: the TTML through imsc: ${message}`);
    compareCues(`${doc.name}: the TTML through imsc`, cues, doc.cues, asCuefold);
    doc.ttml = ttml;
    doc.ttmlCues = cues.filter((cue) => cue.end > cue.start);
}

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
    checkSrt(doc);
    checkTtml(doc);
}
fs.rmSync(work, { recursive: true, force: true });
const converted = documents.filter((doc) => doc.vtt);

// Runs in the page: each TTML document read by imsc, and what it renders in the middle of each
// cue.
async function renderTtml(documents) {
    const handler = { info() {}, warn() {}, error(message) { throw new Error(message); } };
    const screen = document.body.appendChild(document.createElement('div'));
    Object.assign(screen.style, { position: 'relative', width: '640px', height: '360px' });
    return Promise.all(documents.map(async ([index, times]) => {
        const tt = imsc.fromXML(await (await fetch(`/ttml/${index}`)).text(), handler);
        return times.map((t) => {
            screen.replaceChildren();
            imsc.renderHTML(imsc.generateISD(tt, t, handler), screen, null, 360, 640, false,
                            handler);
            return screen.innerText;
        });
    }));
}

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
            const [, kind, index] = /^\/(vtt|ttml)\/(\d+)$/.exec(pathname) ?? [];
            const doc = converted[index];
            const page = { contentType: 'text/html; charset=utf-8', body: '<body>' };
            const served = doc && { contentType: `text/${kind}; charset=utf-8`, body: doc[kind] };
            return route.fulfill(pathname === '/' ? page : served || { status: 404 });
        });
        await page.goto('http://cuefold.test/');
        await page.addScriptTag({ path: require.resolve('imsc/dist/imsc.all.min.js') });
        const ttml = converted.map((doc, index) => [index, doc.ttmlCues?.map(
            (cue) => (cue.start + cue.end) / 2) ?? []]);
        const rendered = await page.evaluate(renderTtml, ttml);
        await page.evaluate(loadTracks, converted.length);
        const tracks = await (await page.waitForFunction(() => window.results)).jsonValue();
        return { tracks, rendered };
    } finally {
        await browser.close();
    }
}

if (!fs.existsSync(executablePath) && !process.env.CI) {
    console.log(`SKIP: ${executablePath} is not installed`);
    process.exit(77);
}
try {
    const { tracks, rendered } = await browse();
    let cueCount = 0, ttmlCount = 0;
    converted.forEach((doc, index) => {
        if (!Array.isArray(tracks[index]))
            return fail(`${doc.name}: Chromium: ${tracks[index]}`);
        cueCount += compareCues(`${doc.name}: Chromium`, tracks[index], doc.cues);
        // Cues that overlap show together: each must be among what is shown.
        doc.ttmlCues?.forEach((cue, k) => {
            const text = asCuefold(rendered[index][k]);
            if (!text.includes(asCuefold(cue.text)))
                fail(`${doc.name}: Chromium renders the TTML at ${cue.start} s as `
                     + `${JSON.stringify(text)}, not ${JSON.stringify(asCuefold(cue.text))}`);
            ttmlCount += 1;
        });
    });
    console.log(`Chromium: ${tracks.length} documents, ${cueCount} cues, ${ttmlCount} TTML `
                + 'cues rendered');
} catch (error) {
    fail(`Chromium: ${error.message}`);
}
for (const message of failures)
    console.log(`FAIL: ${message}`);
console.log(failures.length ? `${failures.length} failures`
                            : `all ${documents.length} documents pass`);
process.exit(failures.length ? 1 : 0);
