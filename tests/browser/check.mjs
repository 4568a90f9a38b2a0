// Converts the corpus with the real binary, then checks every document twice: the W3C
// validator's parser must find no structural error, and headless Chromium, loading each
// document through a <track>, must show every cue at its time with its text.
//
//   node check.mjs CUEFOLD_BINARY
//
// Exits 77 (skipped) when Chromium is missing, unless CI is set: then that is a failure.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import webvtt from 'webvtt-parser';

const { WebVTTParser } = webvtt;
const here = path.dirname(fileURLToPath(import.meta.url));
const binary = process.argv[2];
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

function seconds(timestamp) {
    const [h, m, s] = timestamp.split(':');
    return Number(h) * 3600 + Number(m) * 60 + Number(s);
}

// The cues of a document in the one layout the converter writes.
function cuesOf(vtt) {
    return vtt.split('\n\n').slice(1).filter((block) => block).map((block) => {
        const [timing, text] = block.split('\n');
        const [start, end] = timing.split(' --> ');
        return { start: seconds(start), end: seconds(end), text };
    });
}

// Many cues, with the expected ones worked out here rather than read from a golden file.
function manyCues() {
    const timecode = (frames) => [Math.floor(frames / 90000), Math.floor(frames / 1500) % 60,
        Math.floor(frames / 25) % 60, frames % 25].map((n) => String(n).padStart(2, '0')).join(':');
    let transcript = 'Generated\r\n';
    const cues = [];
    for (let i = 0; i < 1500; ++i) {
        const start = i * 53 + (i % 25);
        transcript += `${timecode(start)} - ${timecode(start + 40)}\r\n  cue ${i}\r\n`;
        transcript += i % 10 === 0 ? '\r\n \t\r\nmore\r\n' : '';
        cues.push({ start: start / 25, end: (start + 40) / 25,
                    text: `<v Speaker>cue ${i}${i % 10 === 0 ? ' more' : ''}` });
    }
    return { transcript, cues };
}

const documents = [];
const corpus = path.join(here, '..', 'corpus');
for (const file of fs.readdirSync(corpus).filter((f) => f.endsWith('.txt')).sort()) {
    const golden = fs.readFileSync(path.join(corpus, file.replace(/\.txt$/, '.vtt')), 'utf8');
    documents.push({ name: file, input: path.join(corpus, file), cues: cuesOf(golden), golden });
}
const many = manyCues();
fs.writeFileSync(path.join(work, 'many.txt'), many.transcript);
documents.push({ name: 'many.txt', input: path.join(work, 'many.txt'), cues: many.cues });

for (const [index, doc] of documents.entries()) {
    doc.output = path.join(work, `${index}.vtt`);
    const run = spawnSync(binary, ['--input', doc.input, '--output', doc.output], { encoding: 'utf8' });
    if (run.status !== 0) {
        fail(`${doc.name}: cuefold exited ${run.status}: ${run.stderr}`);
        continue;
    }
    doc.vtt = fs.readFileSync(doc.output, 'utf8');
    if (doc.golden !== undefined && doc.vtt !== doc.golden)
        fail(`${doc.name}: the document differs from the expected one`);
    const tree = new WebVTTParser().parse(doc.vtt);
    for (const error of tree.errors) {
        const allowed = markupErrors.has(error.message)
            || (doc.name.startsWith('unordered') && orderErrors.has(error.message));
        if (!allowed)
            fail(`${doc.name}: validator, line ${error.line}: ${error.message}`);
    }
    if (tree.cues.length !== doc.cues.length)
        fail(`${doc.name}: validator found ${tree.cues.length} cues, expected ${doc.cues.length}`);
}

const page = `<!DOCTYPE html><meta charset="utf-8"><body><script>
const names = ${JSON.stringify(documents.filter((d) => d.vtt !== undefined).map((d) => d.name))};
Promise.all(names.map((name, index) => new Promise((resolve) => {
    const video = document.createElement('video');
    const track = document.createElement('track');
    track.kind = 'subtitles';
    track.src = '/vtt/' + index;
    track.default = true;
    track.onload = () => resolve([name, Array.from(track.track.cues,
        (cue) => ({ start: cue.startTime, end: cue.endTime, text: cue.text }))]);
    track.onerror = () => resolve([name, 'track failed to load']);
    video.appendChild(track);
    document.body.appendChild(video);
    track.track.mode = 'hidden';
}))).then((results) => fetch('/result', { method: 'POST', body: JSON.stringify(results) }));
</script>`;

async function browse() {
    const chromium = 'chromium';
    if (spawnSync('sh', ['-c', `command -v ${chromium}`]).status !== 0) {
        if (process.env.CI) {
            fail('Chromium is not installed');
            return;
        }
        console.log('SKIP: Chromium is not installed');
        process.exit(77);
    }
    let resolveResult;
    const result = new Promise((resolve) => { resolveResult = resolve; });
    const server = http.createServer((request, response) => {
        if (request.url === '/') {
            response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
            response.end(page);
        } else if (request.url.startsWith('/vtt/')) {
            const doc = documents[Number(request.url.slice(5))];
            response.writeHead(200, { 'Content-Type': 'text/vtt; charset=utf-8' });
            response.end(fs.readFileSync(doc.output));
        } else if (request.url === '/result') {
            let body = '';
            request.on('data', (chunk) => { body += chunk; });
            request.on('end', () => { response.end(); resolveResult(JSON.parse(body)); });
        } else {
            response.writeHead(404);
            response.end();
        }
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    const browser = spawn(chromium, [
        '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync',
        '--disable-dev-shm-usage', `--user-data-dir=${path.join(work, 'profile')}`,
        `http://127.0.0.1:${server.address().port}/`,
    ], { stdio: 'ignore' });
    const timeout = new Promise((resolve) => setTimeout(() => resolve(null), 60000).unref());
    const results = await Promise.race([result, timeout]);
    // Let the browser close its profile before the folder goes.
    const exited = new Promise((resolve) => browser.once('exit', resolve));
    browser.kill('SIGTERM');
    const killer = setTimeout(() => browser.kill('SIGKILL'), 5000);
    await exited;
    clearTimeout(killer);
    server.close();
    if (!results) {
        fail('Chromium gave no result within 60 seconds');
        return;
    }
    let cueCount = 0;
    for (const [name, cues] of results) {
        const doc = documents.find((d) => d.name === name);
        if (!Array.isArray(cues)) {
            fail(`${name}: Chromium: ${cues}`);
            continue;
        }
        if (cues.length !== doc.cues.length)
            fail(`${name}: Chromium shows ${cues.length} cues, expected ${doc.cues.length}`);
        // A track lists its cues by start time, not in file order.
        const order = (a, b) => a.start - b.start || a.end - b.end || (a.text < b.text ? -1 : 1);
        const sorted = [...doc.cues].sort(order);
        cues.sort(order).forEach((cue, i) => {
            const expected = sorted[i];
            if (!expected)
                return;
            if (Math.abs(cue.start - expected.start) > 1e-6 || Math.abs(cue.end - expected.end) > 1e-6
                || cue.text !== expected.text)
                fail(`${name}: cue ${i}: Chromium shows ${JSON.stringify(cue)}, expected ${JSON.stringify(expected)}`);
        });
        cueCount += cues.length;
    }
    console.log(`Chromium: ${results.length} documents, ${cueCount} cues checked`);
}

await browse();
try {
    fs.rmSync(work, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
} catch (error) {
    console.log(`note: could not remove ${work}: ${error.message}`);
}
for (const message of failures)
    console.log(`FAIL: ${message}`);
console.log(failures.length ? `${failures.length} failures` : `all ${documents.length} documents pass`);
process.exit(failures.length ? 1 : 0);
