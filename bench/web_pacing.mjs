// The web player's figures for docs/measurements.md: sizes, frames drawn and
// stepped over 10 s at 20 and 60 fps, the CPU of the browser while playing,
// and the time from the click to the sample's first frame.
// Usage: node bench/web_pacing.mjs ROOT (after scripts/build-web and the
// Release build; uses tests/web's playwright-core and Debian's chromium).
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { launchBrowser, serveFiles } from '../tests/web/browser.mjs';

const root = path.resolve(process.argv[2] || '.');
const demotool = path.join(root, 'build/release/demotool');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'demoplayer-bench-'));
const tick = 100;  // clock ticks per second in /proc/PID/stat (USER_HZ)

function run(args) {
    const result = spawnSync(demotool, args, { encoding: 'utf8' });
    if (result.status !== 0) throw new Error(`demotool ${args.join(' ')}: ${result.stderr}`);
}

function size(file) {
    const bytes = fs.readFileSync(file);
    return `${bytes.length} B raw, ${zlib.gzipSync(bytes, { level: 9 }).length} B gzip`;
}

// CPU seconds of this process's descendants (the browser and its helpers).
function browserCpu() {
    const parent = new Map(), cpu = new Map();
    for (const pid of fs.readdirSync('/proc').filter(name => /^\d+$/.test(name))) {
        try {
            const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
            const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
            parent.set(pid, fields[1]);
            cpu.set(pid, (Number(fields[11]) + Number(fields[12])) / tick);
        } catch { /* gone */ }
    }
    let total = 0;
    for (const [pid, seconds] of cpu) {
        for (let p = parent.get(pid); p; p = parent.get(p)) {
            if (p === String(process.pid)) { total += seconds; break; }
        }
    }
    return total;
}

function demo(frameRate, frames) {
    const file = path.join(work, `spin${frameRate}.json`);
    fs.writeFileSync(file, JSON.stringify({
        window: { title: 'pacing', width: 320, height: 240, fullscreen: false },
        playback: { frameRate, catchUp: true, loop: false },
        totalFrames: frames,
        resources: [{ class: 'camera', tag: 'cam', position: [0, 2, 8], centre: [0, 0, 0], up: [0, 1, 0] },
                    { class: 'box', tag: 'b', size: [2, 2, 2] }],
        timeline: [{ frame: 1, commands: [{ place: 'cam' }, { place: 'b', parent: 'cam' },
                                          { dynamic: 'scalar', parent: 'b', parameter: 'Rotació 1', value: 3,
                                            length: frames - 1 }] }],
    }));
    const data = path.join(work, `spin${frameRate}.dat`);
    run(['build', file, '-o', data]);
    return path.basename(data);
}

const server = await serveFiles(root, work);
const base = `http://127.0.0.1:${server.address().port}`;
const browser = await launchBrowser();

async function play(data, seconds) {
    const page = await browser.newPage();
    await page.goto(`${base}/build/web/demoplayer.html?demo=/work/${data}`);
    await page.waitForFunction(() => document.getElementById('canvas').dataset.state === 'ready', null,
                               { timeout: 120000 });
    await page.click('#start button');
    await page.waitForFunction(() => demoplayer.stats.firstFrameAt > 0, null, { timeout: 120000 });
    const cpu0 = browserCpu(), t0 = Date.now();
    await page.waitForTimeout(seconds * 1000);
    const cpu = (browserCpu() - cpu0) / ((Date.now() - t0) / 1000);
    const stats = await page.evaluate(() => ({ ...demoplayer.stats, drawTimes: undefined }));
    await page.close();
    return { ...stats, cpu };
}

console.log(`demoplayer.wasm: ${size(path.join(root, 'build/web/demoplayer.wasm'))}`);
console.log(`demoplayer.js: ${size(path.join(root, 'build/web/demoplayer.js'))}`);
console.log(`demoplayer.html: ${size(path.join(root, 'build/web/demoplayer.html'))}`);
for (const frameRate of [20, 60]) {
    const stats = await play(demo(frameRate, frameRate * 12), 10);
    console.log(`${frameRate} fps over 10 s: ${stats.drawn} drawn, ${stats.stepped} stepped ` +
                `(of ${frameRate * 10} due); browser CPU ${(stats.cpu * 100).toFixed(0)} % of one core`);
}
// The sample: built from its description with freshly made assets.
run(['assets', path.join(work, 'assets')]);
fs.copyFileSync(path.join(root, 'demos/sample.json'), path.join(work, 'sample.json'));
run(['build', path.join(work, 'sample.json'), '-o', path.join(work, 'sample.dat')]);
const sample = await play('sample.dat', 1);
console.log(`sample: click to first frame ${(sample.firstFrameAt - sample.clickAt).toFixed(0)} ms`);
run(['pack', path.join(root, 'build/web/demoplayer.html'), path.join(work, 'sample.dat'), '-o',
     path.join(work, 'sample.html')]);
console.log(`sample.html (one file): ${size(path.join(work, 'sample.html'))}`);
console.log(`sample data: ${size(path.join(work, 'sample.dat'))}`);
await browser.close();
server.close();
fs.rmSync(work, { recursive: true, force: true });
