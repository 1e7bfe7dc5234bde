// `demotool studio`'s figures for docs/measurements.md: the time from a save
// of the description to the new picture on the page (paused on a frame, and
// while playing), and the memory of both sides over a run of repeated edits:
// the server's resident set (VmRSS) and the page's JavaScript heap.
// Usage: node bench/studio_bench.mjs ROOT [MINUTES] [SECONDS-BETWEEN-EDITS]
// (after scripts/build-web and the Release build; uses tests/web's
// playwright-core and Debian's chromium). The sample demo, looping, is edited:
// its clear colour changes at every save.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { launchBrowser } from '../tests/web/browser.mjs';

const root = path.resolve(process.argv[2] || '.');
const minutes = Number(process.argv[3] || 1);
const every = Number(process.argv[4] || 3);
const demotool = path.join(root, 'build/release/demotool');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'demoplayer-studio-bench-'));

const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
const median = list => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
const summary = list => list.length ? `median ${median(list)} ms, min ${Math.min(...list)}, max ${Math.max(...list)} (${list.length} saves)` : 'none';

function rssKb(pid) {
    const found = /VmRSS:\s+(\d+) kB/.exec(fs.readFileSync(`/proc/${pid}/status`, 'utf8'));
    return found ? Number(found[1]) : 0;
}

spawnSync(demotool, ['assets', path.join(work, 'assets')]);
const desc = path.join(work, 'sample.json');
const original = fs.readFileSync(path.join(root, 'demos/sample.json'), 'utf8').replace('"loop": false', '"loop": true');
const clear = '{"clearColor": [0, 0, 0, 1]}';
if (!original.includes(clear)) throw new Error('the sample has no ' + clear);
let saves = 0;
function save() {
    ++saves;
    fs.writeFileSync(desc, original.replace(clear, `{"clearColor": [0, 0, ${(saves % 2) * 0.1}, 1]}`));
}
fs.writeFileSync(desc, original);

const studio = spawn(demotool, ['studio', desc, '--web', path.join(root, 'build/web')], { stdio: ['ignore', 'pipe', 'inherit'] });
const url = await new Promise((resolve, reject) => {
    let out = '';
    studio.stdout.on('data', chunk => {
        out += chunk;
        const found = /http:\S+\//.exec(out);
        if (found) resolve(found[0]);
    });
    studio.on('exit', code => reject(new Error('demotool studio ended with ' + code)));
});
const browser = await launchBrowser();
try {
    const page = await browser.newPage();
    const cdp = await page.context().newCDPSession(page);
    const heapKb = async () => {
        await cdp.send('HeapProfiler.collectGarbage');
        return Math.round((await cdp.send('Runtime.getHeapUsage')).usedSize / 1024);
    };
    // The player's WebAssembly memory, which grows and never shrinks.
    const wasmKb = () => page.evaluate(() => Math.round(HEAP8.buffer.byteLength / 1024));
    await page.goto(url);
    await page.waitForFunction(() => window.studio && studio.state().dataVersion > 0 &&
                               document.getElementById('canvas').dataset.frame === '1', null, { timeout: 60000 });
    // The time of each drawn frame, and of the build it came from.
    await page.evaluate(() => {
        window.drawnAt = [];
        const seen = demoplayer.page.frame;
        demoplayer.page.frame = (frame, drawn) => {
            seen(frame, drawn);
            if (drawn) drawnAt.push([Date.now(), studio.state().dataVersion, frame]);
        };
    });
    // One save; the time until the page draws a frame of the new build.
    async function timedSave(paused) {
        const version = await page.evaluate(() => studio.state().dataVersion);
        const savedAt = Date.now();
        save();
        await page.waitForFunction(([v, paused]) => drawnAt.some(d => d[1] > v) &&
                                   (!paused || document.getElementById('canvas').dataset.state === 'paused'),
                                   [version, paused], { timeout: 60000, polling: 20 });
        const [at, , frame] = await page.evaluate(v => drawnAt.find(d => d[1] > v), version);
        await page.evaluate(() => { drawnAt.length = 0; });
        return { ms: at - savedAt, frame };
    }
    // Jumps: paused (every frame before drawn, as a still frame is), and
    // playing (the frames before stepped), until the frame is on the page.
    const jumps = [];
    for (const paused of [true, false]) {
        for (const frame of [100, 400, 800]) {
            await page.evaluate(() => { studio.pause(); studio.go(1); });
            await page.waitForFunction(() => document.getElementById('canvas').dataset.state === 'paused' &&
                                       document.getElementById('canvas').dataset.frame === '1', null, { timeout: 120000 });
            const ms = await page.evaluate(([f, paused]) => new Promise(resolve => {
                const start = performance.now(), seen = demoplayer.page.frame;
                demoplayer.page.frame = (frame, drawn) => {
                    seen(frame, drawn);
                    // Playing, a late page may step frame f and draw the next.
                    if (drawn && frame >= f) {
                        demoplayer.page.frame = seen;
                        resolve(Math.round(performance.now() - start));
                    }
                };
                if (!paused) studio.resume();
                studio.go(f);
            }), [frame, paused]);
            jumps.push(`${paused ? 'paused' : 'playing'}, to frame ${frame}: ${ms} ms`);
        }
    }
    console.log('jumps: ' + jumps.join('; '));
    const rows = [];
    for (const frame of [1, 100, 400]) {
        await page.evaluate(f => { studio.pause(); studio.go(f); }, frame);
        await page.waitForFunction(f => document.getElementById('canvas').dataset.state === 'paused' &&
                                   document.getElementById('canvas').dataset.frame === String(f), frame, { timeout: 120000 });
        const times = [];
        for (let i = 0; i < 3; ++i) {
            times.push((await timedSave(true)).ms);
            await sleep(every * 1000);
        }
        rows.push(`paused at frame ${frame}: ${summary(times)}`);
    }
    console.log(rows.join('\n'));

    // Playing, edits every few seconds for the run; memory once a minute.
    await page.evaluate(() => { studio.go(1); studio.resume(); });
    const start = Date.now(), playing = [], memory = [];
    let nextMemory = start;
    while (Date.now() - start < minutes * 60000) {
        if (Date.now() >= nextMemory) {
            memory.push({ minute: Math.round((Date.now() - start) / 60000), rss: rssKb(studio.pid), heap: await heapKb() });
            console.log(`minute ${memory.at(-1).minute}: server RSS ${memory.at(-1).rss} kB, page JS heap ` +
                        `${memory.at(-1).heap} kB, WebAssembly memory ${await wasmKb()} kB`);
            nextMemory += 60000;
        }
        const saved = await timedSave(false);
        playing.push(saved.ms);
        await sleep(every * 1000);
    }
    memory.push({ minute: minutes, rss: rssKb(studio.pid), heap: await heapKb() });
    console.log(`end (${saves} saves in all): server RSS ${memory.at(-1).rss} kB, page JS heap ` +
                `${memory.at(-1).heap} kB, WebAssembly memory ${await wasmKb()} kB`);
    console.log(`playing: ${summary(playing)}`);
} finally {
    await browser.close();
    studio.kill('SIGINT');
    fs.rmSync(work, { recursive: true, force: true });
}
