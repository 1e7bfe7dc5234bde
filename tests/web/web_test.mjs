// The web player in Debian's chromium, driven through playwright-core: frames
// rendered in the page against `demotool render`, messages of damaged data,
// frames on time, the files a user may give the page, and `demotool studio`.
// Usage: node tests/web/web_test.mjs ROOT (build/web and build/release built).
// Prints "web: N passed, N failed, N skipped"; exit status 1 on a failure.
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { launchBrowser, serveFiles } from './browser.mjs';
import { writeWav } from './wav.mjs';

const root = path.resolve(process.argv[2] || '.');
const demotool = path.join(root, 'build/release/demotool');
const nativePlayer = path.join(root, 'build/release/demoplayer');
const windowsPlayer = path.join(root, 'build/windows/demoplayer.exe');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'demoplayer-web-'));
const DATA_OFFSET = 151552;

// ---- Helpers

function run(program, args, options = {}) {
    const result = spawnSync(program, args, { encoding: 'utf8', ...options });
    if (result.status !== 0 && !options.mayFail)
        throw new Error(`${path.basename(program)} ${args.join(' ')}: ${result.stderr || result.status}`);
    return result;
}

// A description (an object) built into demo data; its file names are
// relative to `folder`.
function build(name, description, folder = work) {
    const desc = path.join(folder, name + '.json');
    fs.writeFileSync(desc, JSON.stringify(description));
    const data = path.join(work, name + '.dat');
    run(demotool, ['build', desc, '-o', data]);
    return data;
}

// 8-bit RGB or RGBA PNG, not interlaced (what `demotool render` writes).
function readPng(file) {
    const bytes = fs.readFileSync(file);
    let at = 8, width = 0, height = 0, channels = 0;
    const idat = [];
    while (at < bytes.length) {
        const length = bytes.readUInt32BE(at), type = bytes.toString('latin1', at + 4, at + 8);
        const body = bytes.subarray(at + 8, at + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            channels = body[9] === 6 ? 4 : 3;
        } else if (type === 'IDAT') {
            idat.push(body);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(idat)), stride = width * channels;
    const rgb = new Uint8Array(width * height * 3), line = new Uint8Array(stride), prior = new Uint8Array(stride);
    for (let y = 0; y < height; ++y) {
        const filter = raw[y * (stride + 1)], src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        for (let x = 0; x < stride; ++x) {
            const a = x >= channels ? line[x - channels] : 0, b = prior[x], c = x >= channels ? prior[x - channels] : 0;
            let p = a;
            if (filter === 2) p = b;
            else if (filter === 3) p = (a + b) >> 1;
            else if (filter === 4) {
                const pa = Math.abs(b - c), pb = Math.abs(a - c), pc = Math.abs(a + b - 2 * c);
                p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            } else if (filter === 0) p = 0;
            line[x] = (src[x] + p) & 0xFF;
        }
        for (let x = 0; x < width; ++x)
            for (let k = 0; k < 3; ++k) rgb[(y * width + x) * 3 + k] = line[x * channels + k];
        prior.set(line);
    }
    return { width, height, rgb };
}

// ---- The browser

let browser, server, base;

// A fresh page that records console lines and long tasks.
async function openPage(url) {
    const page = await browser.newPage();
    const log = { console: [], errors: [] };
    page.on('console', message => log.console.push({ type: message.type(), text: message.text() }));
    page.on('pageerror', error => log.errors.push(String(error)));
    await page.addInitScript(() => {
        window.longTasks = [];
        new PerformanceObserver(list => {
            for (const entry of list.getEntries()) window.longTasks.push([entry.startTime, entry.duration]);
        }).observe({ type: 'longtask', buffered: true });
    });
    await page.goto(url);
    return { page, log };
}

const state = page => page.evaluate(() => document.getElementById('canvas').dataset.state || '');

async function waitState(page, wanted, timeout = 60000) {
    await page.waitForFunction(w => w.includes(document.getElementById('canvas').dataset.state), wanted,
                               { timeout, polling: 50 });
    return state(page);
}

async function canvasPixels(page) {
    const encoded = await page.evaluate(() => {
        const canvas = document.getElementById('canvas');
        const copy = document.createElement('canvas');
        copy.width = canvas.width;
        copy.height = canvas.height;
        const context = copy.getContext('2d');
        context.drawImage(canvas, 0, 0);
        const rgba = context.getImageData(0, 0, copy.width, copy.height).data;
        let text = '';
        for (let i = 0; i < rgba.length; i += 4)
            text += String.fromCharCode(rgba[i], rgba[i + 1], rgba[i + 2]);
        return { width: copy.width, height: copy.height, rgb: btoa(text) };
    });
    return { width: encoded.width, height: encoded.height, rgb: new Uint8Array(Buffer.from(encoded.rgb, 'base64')) };
}

// ---- The cases

const results = { passed: 0, failed: 0, skipped: 0 };
const notes = [];

async function check(name, body, pending = '') {
    try {
        await body();
        results.passed++;
        console.log(`  ok    ${name}`);
    } catch (error) {
        if (pending) {
            results.skipped++;
            console.log(`  skip  ${name}: pending (${pending}): ${error.message.split('\n')[0]}`);
        } else {
            results.failed++;
            console.log(`  FAIL  ${name}: ${error.stack}`);
        }
    }
}

function assert(condition, message) {
    if (!condition) throw new Error(message);
}

// SwiftShader and llvmpipe rasterise and interpolate with their own rounding
// (edge pixels fall either way, colours interpolated across a triangle can
// differ by a step or two, texture filtering by a few): a pixel matches when
// every channel is within kChannel; a frame matches when at most kOutliers of
// its pixels do not (edge pixels: the geometry rows differ in 0.06 % at most).
const kChannel = 12, kOutliers = 0.005;

function compare(expected, actual, outliers = kOutliers) {
    assert(expected.width === actual.width && expected.height === actual.height,
           `size ${actual.width}x${actual.height}, expected ${expected.width}x${expected.height}`);
    let off = 0, worst = 0;
    for (let i = 0; i < expected.rgb.length; i += 3) {
        let d = 0;
        for (let k = 0; k < 3; ++k) d = Math.max(d, Math.abs(expected.rgb[i + k] - actual.rgb[i + k]));
        worst = Math.max(worst, d);
        if (d > kChannel) ++off;
    }
    const share = off / (expected.width * expected.height);
    assert(share <= outliers, `${(share * 100).toFixed(2)} % of the pixels differ by more than ${kChannel} (worst ${worst})`);
    return `${(share * 100).toFixed(2)} % of the pixels off, worst channel difference ${worst}`;
}

function scene(resources, commands, { frames = 1, renderState, size = [96, 72] } = {}) {
    return {
        window: { title: 'web', width: size[0], height: size[1], fullscreen: false },
        playback: { frameRate: 20, catchUp: true, loop: false },
        ...(renderState ? { renderState } : {}),
        totalFrames: frames,
        resources: [{ class: 'camera', tag: 'cam', position: [0, 1.5, 5], centre: [0, 0, 0], up: [0, 1, 0] },
                    ...resources],
        timeline: [{ frame: 1, commands: [{ place: 'cam' }, ...commands] }],
    };
}
const under = (tag, parent = 'cam') => ({ place: tag, parent });
const quad = (tag, extra = {}) => ({
    class: 'quad', tag,
    corners: [{ position: [-1, -1, 0] }, { position: [1, -1, 0] }, { position: [1, 1, 0] }, { position: [-1, 1, 0] }],
    ...extra,
});

async function pixelTable(assets) {
    const texture = path.join(assets, 'checker.bmp');
    // One row per class.
    const rows = [
        { name: 'quad under a camera', desc: scene([quad('q', { color: [1, 0.2, 0.2, 1] })], [under('q')]) },
        { name: 'colour', desc: scene([{ class: 'color', tag: 'c', color: [0.2, 0.9, 0.3, 1] }, quad('q')],
                                       [under('c'), under('q', 'c')]) },
        { name: 'box', desc: scene([{ class: 'box', tag: 'b', size: [1.5, 1, 1], angles: [30, 20, 0] }], [under('b')]) },
        { name: 'scale', desc: scene([{ class: 'scale', tag: 's', factor: [1.5, 0.5, 1] }, quad('q')],
                                      [under('s'), under('q', 's')]) },
        { name: 'blend', desc: scene([{ class: 'blend', tag: 'bl' }, quad('q', { color: [0.5, 0.5, 1, 0.5] }),
                                      quad('r', { position: [0.5, 0.3, 0.2], color: [1, 0.5, 0, 0.5] })],
                                     [under('bl'), under('q', 'bl'), under('r', 'bl')]) },
        { name: 'grid', desc: scene([{ class: 'grid', tag: 'g', size: [3, 2], cells: [6, 4], angles: [-60, 0, 0] }],
                                    [under('g')]) },
        { name: 'texture', desc: scene([{ class: 'texture', tag: 't', file: texture }, quad('q')],
                                       [under('t'), under('q', 't')],
                                       { renderState: [{ enable: 'depthTest' }, { enable: 'texture2D' }] }) },
        { name: 'texture with mipmaps',
          desc: scene([{ class: 'texture', tag: 't', file: texture, filter: 'mipmap' },
                       { class: 'grid', tag: 'g', size: [4, 8], angles: [-80, 0, 0] }],
                      [under('t'), under('g', 't')], { renderState: [{ enable: 'depthTest' }, { enable: 'texture2D' }] }) },
        { name: 'replicator', desc: scene([{ class: 'box', tag: 'b', size: [0.4, 0.4, 0.4] },
                                           { class: 'replicator', tag: 'r', source: 'b', instances: 6,
                                             circle: { radius: 1.5 } }], [under('r')]) },
        { name: 'trail', frames: 6,
          desc: scene([{ class: 'trail', tag: 'tr', length: 4 }, { class: 'box', tag: 'b', size: [0.5, 0.5, 0.5] }],
                      [under('tr'), under('b', 'tr'),
                       { dynamic: 'translation', parent: 'b', parameter: 'Posició', value: 1, vector: [0.3, 0, 0], length: 6 }], { frames: 6 }) },
        { name: 'quadric',
          desc: scene([{ class: 'quadric', tag: 'sp', shape: 'sphere', radius: 1, slices: 12, stacks: 8 }],
                      [under('sp')]) },
        { name: 'polygon mode',
          desc: scene([{ class: 'polygonMode', tag: 'pm' }, { class: 'box', tag: 'b', size: [1.5, 1, 1], angles: [30, 20, 0] }],
                      [under('pm'), under('b', 'pm')]) },
    ];
    for (const row of rows) {
        await check(`pixels: ${row.name}`, async () => {
            const data = build('row-' + row.name.replace(/\W+/g, '-'), row.desc);
            await comparePage(data, row.frames || 1);
        });
    }
    // The sample at 8 frames spread over its length.
    // Beside the assets made for this run.
    const sample = path.join(work, 'sample.json');
    fs.copyFileSync(path.join(root, 'demos/sample.json'), sample);
    const data = path.join(work, 'sample.dat');
    run(demotool, ['build', sample, '-o', data]);
    for (const frame of [1, 100, 200, 300, 420, 540, 660, 800]) {
        // The sample's piece assembly flies pieces through each other: where
        // two meet at nearly equal depth, which one shows follows each
        // rasteriser's depth precision, a few whole triangles (up to 0.7 %).
        await check(`pixels: sample frame ${frame}`, () => comparePage(data, frame, 0.01));
    }
}

async function comparePage(data, frame, outliers = kOutliers) {
    const out = path.join(work, 'render-' + path.basename(data) + '-' + frame);
    run(demotool, ['render', data, '--out', out, '--frames', String(frame)]);
    const expected = readPng(path.join(out, `frame-${String(frame).padStart(5, '0')}.png`));
    const { page, log } = await openPage(`${base}/build/web/demoplayer.html?demo=/work/${path.basename(data)}#frame=${frame}&pause`);
    try {
        assert(await waitState(page, ['paused', 'ended']) === 'paused', 'the page did not pause');
        const shown = await page.evaluate(() => document.getElementById('canvas').dataset.frame);
        assert(shown === String(frame), `data-frame ${shown}, expected ${frame}`);
        assert(log.errors.length === 0, 'page errors: ' + log.errors.join('; '));
        const actual = await canvasPixels(page);
        if (process.env.WEB_TESTS_KEEP) {
            // The two pictures side by side, for a look (PPM).
            const keep = path.join(process.env.WEB_TESTS_KEEP, path.basename(data) + '-' + frame + '.ppm');
            const both = Buffer.alloc(expected.width * 2 * expected.height * 3);
            for (let y = 0; y < expected.height; ++y) {
                const row = expected.width * 3;
                Buffer.from(expected.rgb.subarray(y * row, (y + 1) * row)).copy(both, y * row * 2);
                Buffer.from(actual.rgb.subarray(y * row, (y + 1) * row)).copy(both, y * row * 2 + row);
            }
            fs.writeFileSync(keep, Buffer.concat([Buffer.from(`P6 ${expected.width * 2} ${expected.height} 255\n`), both]));
        }
        console.log('        ' + compare(expected, actual, outliers));
    } finally {
        await page.close();
    }
}

// Top-level chunks of demo data.
function chunks(bytes) {
    const list = [];
    for (let at = 0; at + 6 <= bytes.length;) {
        const id = bytes.readInt16LE(at), length = bytes.readUInt32LE(at + 2);
        list.push({ id, payload: bytes.subarray(at + 6, at + 6 + length) });
        at += 6 + length;
    }
    return list;
}
function chunk(id, payload) {
    const head = Buffer.alloc(6);
    head.writeInt16LE(id, 0);
    head.writeUInt32LE(payload.length, 2);
    return Buffer.concat([head, payload]);
}

async function damagedData() {
    // The render state leaves out the perspective hint, which WebGL refuses
    // until the GL supplement maps it ("INIT GL ERROR" in the page only).
    const clean = () => fs.readFileSync(build('damage', scene([{ class: 'box', tag: 'b' }], [under('b')],
                                                              { frames: 5, renderState: [{ enable: 'depthTest' }] })));
    const damagedBytes = () => {
        // Unknown ids at the top level, in the window and playback settings,
        // and in the render-state script.
        const parts = [];
        for (const { id, payload } of chunks(clean())) {
            const unknown = { 2100: 98, 2101: 99, 2103: 97 }[id];
            parts.push(chunk(id, unknown ? Buffer.concat([chunk(unknown, Buffer.alloc(0)), payload]) : payload));
            if (parts.length === 1)
                parts.push(chunk(7, Buffer.alloc(0)));
        }
        parts.push(chunk(2199, Buffer.alloc(0)));
        return Buffer.concat(parts);
    };
    const rows = [
        { name: 'unknown ids throughout', bytes: damagedBytes, least: 4 },
        // Raw data is whatever is not an executable: an unknown first chunk is
        // the player's to report, not the page's to refuse.
        { name: 'an unknown first chunk', bytes: () => Buffer.concat([chunk(7, Buffer.alloc(0)), clean()]), least: 1 },
    ];
    for (const row of rows) {
        await check(`damaged data (${row.name}): same messages in the same order, loading goes on`, async () => {
            const damaged = path.join(work, 'damaged.dat');
            fs.writeFileSync(damaged, row.bytes());
            // What the Linux player says without a display; packed by hand,
            // as demotool packs only what starts as demo data.
            const packed = path.join(work, 'damaged.packed');
            const player = Buffer.alloc(DATA_OFFSET);
            fs.readFileSync(nativePlayer).copy(player);
            fs.writeFileSync(packed, Buffer.concat([player, fs.readFileSync(damaged)]), { mode: 0o755 });
            const native = run(packed, [], { env: { ...process.env, SDL_VIDEODRIVER: 'offscreen', SDL_AUDIODRIVER: 'dummy' } });
            const expected = native.stderr.split('\n').filter(line => /^[A-Z !]+: /.test(line));
            assert(expected.length >= row.least, 'the native player said too little: ' + native.stderr);
            const { page, log } = await openPage(`${base}/build/web/demoplayer.html?demo=/work/damaged.dat`);
            try {
                await waitState(page, ['ready']);
                await page.click('#start button');
                assert(await waitState(page, ['ended']) === 'ended', 'the demo did not end');
                const panel = await page.$$eval('#panel div', lines => lines.map(l => l.firstChild.textContent + ': ' +
                                                                                   l.lastChild.textContent));
                const consoleLines = log.console.filter(line => line.type === 'error' && /^[A-Z !]+: /.test(line.text))
                                                .map(line => line.text);
                assert(JSON.stringify(panel) === JSON.stringify(expected),
                       `panel ${JSON.stringify(panel)}, native ${JSON.stringify(expected)}`);
                assert(JSON.stringify(consoleLines) === JSON.stringify(expected),
                       `console ${JSON.stringify(consoleLines)}, native ${JSON.stringify(expected)}`);
                const drawn = await page.evaluate(() => demoplayer.stats.drawn);
                assert(drawn >= 1, 'nothing was drawn after the damage');
            } finally {
                await page.close();
            }
        });
    }
}

async function clickToPlay(page) {
    await waitState(page, ['ready']);
    await page.click('#start button');
}

// Plays `data` from a click to its end; the page's counts.
async function playThrough(url, start = clickToPlay) {
    const { page, log } = await openPage(url);
    try {
        await start(page);
        assert(await waitState(page, ['ended'], 120000) === 'ended', 'the demo did not end');
        const stats = await page.evaluate(() => ({ ...demoplayer.stats, longTasks: window.longTasks }));
        stats.log = log;
        return stats;
    } finally {
        await page.close();
    }
}

// A machine busy with other work can starve the page now and then: the
// best of three tries counts. tryOnce gives '' when all is right, else what
// went wrong.
async function bestOfThree(tryOnce) {
    let problem = await tryOnce();
    for (let tries = 1; problem && tries < 3; ++tries)
        problem = await tryOnce();
    assert(!problem, problem);
}

function timingDesc(frameRate, frames) {
    const desc = scene([{ class: 'box', tag: 'b', size: [2, 2, 2] }],
                       [under('b'), { dynamic: 'scalar', parent: 'b', parameter: 'Rotació 1', value: 3, length: frames - 1 }],
                       { frames, size: [320, 240] });
    desc.playback.frameRate = frameRate;
    return desc;
}

async function framesOnTime() {
    await check('frames on time: 100 frames at 20 fps, at least 98 drawn in 4.95 s, no long task', async () => {
        const data = build('hundred', timingDesc(20, 100));
        await bestOfThree(async () => {
            const stats = await playThrough(`${base}/build/web/demoplayer.html?demo=/work/${path.basename(data)}`);
            const inTime = stats.drawTimes.filter(t => t - stats.firstFrameAt <= 4950).length;
            // While it plays: from the first frame shown to the end. The task
            // that draws the first frame also pays for the scene's first
            // drawing (the GL emulation compiles a shader for each kind of
            // drawing as it first appears, and the browser shows its first
            // picture): on a slow machine it passes 50 ms (67 ms in CI), so
            // it counts only when it runs on for two periods past the first
            // frame, as a loop that never yields would.
            const firstTaskTail = 2 * 50;
            const long = stats.longTasks.filter(([start, length]) =>
                start <= stats.endedAt && (start >= stats.firstFrameAt ||
                                           start + length > stats.firstFrameAt + firstTaskTail));
            console.log(`        ${stats.drawn} drawn, ${stats.stepped} stepped, ${inTime} within 4.95 s; ` +
                        `${long.length} long tasks`);
            return inTime < 98 ? `${inTime} frames drawn in 4.95 s`
                 : long.length ? 'long tasks: ' + JSON.stringify(long) : '';
        });
    });
    await check('#frame=N starts at frame N, and Escape ends the demo', async () => {
        const data = build('hundred', timingDesc(20, 100));
        const { page } = await openPage(`${base}/build/web/demoplayer.html?demo=/work/${path.basename(data)}#frame=50`);
        try {
            await clickToPlay(page);
            await page.waitForFunction(() => Number(document.getElementById('canvas').dataset.frame) >= 55, null,
                                       { timeout: 30000 });
            await page.keyboard.press('Escape');
            assert(await waitState(page, ['ended']) === 'ended', 'Escape did not end the demo');
            const stats = await page.evaluate(() => demoplayer.stats);
            assert(stats.firstFrame === 50, `the first frame drawn was ${stats.firstFrame}`);
            assert(stats.drawn + stats.stepped < 51, `${stats.drawn + stats.stepped} frames played after Escape`);
        } finally {
            await page.close();
        }
    });
}

async function deepLinks() {
    // A looping demo goes to the same point of its loop, however far N is,
    // and the page keeps its turns while the frames before it are stepped.
    // A still frame past the end of a demo that does not loop is refused, as
    // `demotool render` refuses it.
    const looping = timingDesc(20, 30000);
    looping.playback.loop = true;
    // Boxes enough that stepping to frame 20000 takes many turns.
    for (let i = 0; i < 200; ++i) {
        looping.resources.push({ class: 'box', tag: `b${i}`, size: [0.1, 0.1, 0.1] });
        looping.timeline[0].commands.push(under(`b${i}`), { dynamic: 'scalar', parent: `b${i}`, parameter: 'Rotació 1',
                                                            value: 3, length: 29999 });
    }
    const loopData = build('looping', looping), hundred = build('hundred', timingDesc(20, 100));
    const rows = [
        { name: 'looping, frame 2000000000', data: loopData, hash: 'frame=2000000000', firstFrame: 20000 },
        { name: 'not looping, a still frame past the end', data: hundred, hash: 'frame=150&pause',
          message: 'ERROR: frame 150 is past the end of the demo (100 frames, no loop)' },
    ];
    // One try of a row: '' when it is right, else what went wrong.
    const attempt = async row => {
        const { page } = await openPage(`${base}/build/web/demoplayer.html?demo=/work/${path.basename(row.data)}#${row.hash}`);
        try {
            if (row.message) {
                assert(await waitState(page, ['ended', 'paused']) === 'ended', 'a frame past the end was shown');
                const panel = await page.$$eval('#panel div', lines => lines.map(l => l.firstChild.textContent + ': ' +
                                                                                   l.lastChild.textContent));
                assert(JSON.stringify(panel) === JSON.stringify([row.message]), 'panel: ' + JSON.stringify(panel));
                return '';
            }
            await clickToPlay(page);
            await page.waitForFunction(() => document.getElementById('canvas').dataset.frame, null, { timeout: 30000 });
            await page.keyboard.press('Escape');
            await waitState(page, ['ended']);
            const stats = await page.evaluate(() => ({ ...demoplayer.stats, longTasks: window.longTasks }));
            assert(stats.firstFrame === row.firstFrame, `the first frame drawn was ${stats.firstFrame}`);
            // From the click to the first frame: loading (one task) and the
            // frames stepped, in turns (all at once they take most of a
            // second).
            const long = stats.longTasks.filter(([start, length]) => start > stats.clickAt && start < stats.firstFrameAt);
            console.log(`        ${(stats.firstFrameAt - stats.clickAt).toFixed(0)} ms to the first frame; long tasks ` +
                        JSON.stringify(long.map(([, length]) => Math.round(length))));
            return long.length <= 1 && long.every(([, length]) => length < 300) ? ''
                 : 'long tasks while stepping: ' + JSON.stringify(long);
        } finally {
            await page.close();
        }
    };
    for (const row of rows)
        await check(`#frame=N: ${row.name}`, () => bestOfThree(() => attempt(row)));
}

async function filesGiven(data) {
    const packedPlayers = [['Linux', nativePlayer], ['Windows', windowsPlayer]];
    for (const [system, player] of packedPlayers) {
        await check(`files: a demo packed for ${system} plays`, async () => {
            if (!fs.existsSync(player)) throw new Error(`${player} is not built`);
            const packed = path.join(work, `packed-${system}`);
            run(demotool, ['pack', player, data, '-o', packed]);
            const stats = await playThrough(`${base}/build/web/demoplayer.html`, async page => {
                await page.setInputFiles('#file', packed);
                await clickToPlay(page);
            });
            assert(stats.drawn >= 5, `${stats.drawn} frames drawn`);
        }, system === 'Windows' && !fs.existsSync(player) ? 'scripts/build-windows not run' : '');
    }
    await check('files: raw demo data plays, and a file with no demo data says so', async () => {
        const { page } = await openPage(`${base}/build/web/demoplayer.html`);
        try {
            await page.setInputFiles('#file', nativePlayer);
            await page.waitForSelector('#panel div', { timeout: 10000 });
            const text = await page.textContent('#panel');
            assert(/no demo data/.test(text), 'panel: ' + text);
            await page.setInputFiles('#file', data);
            await waitState(page, ['ready']);
            await page.click('#start button');
            assert(await waitState(page, ['ended']) === 'ended', 'the raw data did not play to its end');
            assert(await page.isHidden('#fullscreen'), 'a windowed demo offers fullscreen');
            // Play again: a fresh canvas and context, the same frames.
            const first = await page.evaluate(() => demoplayer.stats.drawn + demoplayer.stats.stepped);
            await page.click('#again button');
            await page.waitForFunction(() => document.getElementById('canvas').dataset.state !== 'ended');
            assert(await waitState(page, ['ended']) === 'ended', 'playing again did not reach the end');
            const again = await page.evaluate(() => demoplayer.stats.drawn + demoplayer.stats.stepped);
            assert(again === first, `${again} frames played again, ${first} the first time`);
        } finally {
            await page.close();
        }
    });
    await check('play again: frame 1 as in a fresh page, no error left over', async () => {
        // The last frame leaves the current colour black and a refused
        // polygon mode's error pending; the quad of frame 1 has no colour.
        const desc = scene([quad('q'), { class: 'color', tag: 'blk', color: [0, 0, 0, 1] },
                            { class: 'polygonMode', tag: 'pm', mode: 0x1234 }],
                           [under('q')], { frames: 3, renderState: [{ enable: 'depthTest' }] });
        desc.timeline.push({ frame: 3, commands: [under('blk'), under('pm')] });
        const again = build('again', desc);
        const { page } = await openPage(`${base}/build/web/demoplayer.html?demo=/work/${path.basename(again)}`);
        try {
            await page.evaluate(() => {
                window.firstFrames = [];
                const frame = demoplayer.page.frame;
                demoplayer.page.frame = (n, drawn) => {
                    frame(n, drawn);
                    if (n !== 1 || !drawn) return;
                    const canvas = document.getElementById('canvas'), copy = document.createElement('canvas');
                    copy.width = canvas.width;
                    copy.height = canvas.height;
                    copy.getContext('2d').drawImage(canvas, 0, 0);
                    firstFrames.push(Array.from(copy.getContext('2d').getImageData(0, 0, copy.width, copy.height).data).join());
                };
            });
            const panel = () => page.$$eval('#panel div', lines => lines.map(l => l.textContent));
            await clickToPlay(page);
            assert(await waitState(page, ['ended']) === 'ended', 'the first play did not end');
            const firstMessages = await panel();
            await page.click('#again button');
            await page.waitForFunction(() => document.getElementById('canvas').dataset.state !== 'ended');
            assert(await waitState(page, ['ended']) === 'ended', 'playing again did not reach the end');
            const messages = await panel();
            assert(JSON.stringify(messages.slice(firstMessages.length)) === JSON.stringify(firstMessages),
                   `messages of the second play ${JSON.stringify(messages.slice(firstMessages.length))}, ` +
                   `of the first ${JSON.stringify(firstMessages)}`);
            const frames = await page.evaluate(() => firstFrames);
            assert(frames.length === 2, `${frames.length} first frames seen`);
            const centre = frame => frame.split(',').slice((36 * 96 + 48) * 4, (36 * 96 + 48) * 4 + 3).join();
            assert(frames[0] === frames[1], `frame 1 of the second play differs from the first (centre ` +
                                            `${centre(frames[1])}, first ${centre(frames[0])})`);
        } finally {
            await page.close();
        }
    });
    await check('files: a file over the bound is refused; after an abort inside, another file plays', async () => {
        const big = path.join(work, 'big.dat');
        fs.closeSync(fs.openSync(big, 'w'));
        fs.truncateSync(big, 256 * 1024 * 1024 + 1);
        const { page } = await openPage(`${base}/build/web/demoplayer.html`);
        try {
            await page.setInputFiles('#file', big);
            await page.waitForSelector('#panel div', { timeout: 30000 });
            const text = await page.textContent('#panel');
            assert(/more than the page takes/.test(text), 'panel: ' + text);
            fs.rmSync(big);
            // The player fails inside while opening its window.
            await page.evaluate(() => {
                const make = demoplayer.page.createCanvas;
                demoplayer.page.createCanvas = () => {
                    demoplayer.page.createCanvas = make;
                    abort('a failure made by the test');
                };
            });
            await page.setInputFiles('#file', data);
            await clickToPlay(page);
            assert(await waitState(page, ['ended']) === 'ended', 'the page did not end the failed play');
            const failed = await page.textContent('#panel');
            assert(/the player stopped/.test(failed), 'panel: ' + failed);
            await page.setInputFiles('#file', []);
            await page.setInputFiles('#file', data);
            await clickToPlay(page);
            assert(await waitState(page, ['ended']) === 'ended', 'the next file did not play to its end');
            const drawn = await page.evaluate(() => demoplayer.stats.drawn);
            assert(drawn >= 5, `${drawn} frames drawn after the failure`);
        } finally {
            await page.close();
        }
    });
    await check('fullscreen: leaving it while the demo plays ends the demo, as Escape does', async () => {
        const desc = timingDesc(20, 200);
        desc.window.fullscreen = true;
        const full = build('fullscreen-long', desc);
        const { page } = await openPage(`${base}/build/web/demoplayer.html?demo=/work/${path.basename(full)}`);
        try {
            await clickToPlay(page);
            await page.waitForFunction(() => document.getElementById('canvas').dataset.frame);
            await page.click('#fullscreen');
            await page.waitForFunction(() => document.fullscreenElement, null, { timeout: 10000 });
            await page.evaluate(() => document.exitFullscreen());
            assert(await waitState(page, ['ended'], 5000) === 'ended', 'leaving fullscreen did not end the demo');
            const played = await page.evaluate(() => demoplayer.stats.drawn + demoplayer.stats.stepped);
            assert(played < 150, `${played} frames played`);
        } finally {
            await page.close();
        }
    });
    await check('one-file page: plays from file:// and inspect reads it; fullscreen offered', async () => {
        // A fullscreen demo: the page offers a button for it.
        const desc = timingDesc(20, 10);
        desc.window.fullscreen = true;
        const single = path.join(work, 'demo.html');
        run(demotool, ['pack', path.join(root, 'build/web/demoplayer.html'), build('fullscreen', desc), '-o', single]);
        const inspected = run(demotool, ['inspect', single]);
        assert(/demo data inside/.test(inspected.stdout) && /2104/.test(inspected.stdout),
               'inspect: ' + inspected.stdout.slice(0, 300));
        let offered = false;
        const stats = await playThrough('file://' + single, async page => {
            await clickToPlay(page);
            await page.waitForFunction(() => document.getElementById('canvas').dataset.frame);
            offered = await page.isVisible('#fullscreen');
        });
        assert(stats.drawn >= 5, `${stats.drawn} frames drawn`);
        assert(offered, 'no fullscreen button for a fullscreen demo');
    });
}


// ---- Music

const linuxLibrary = path.join(root, 'build/release/libdemosound.so');
const windowsLibrary = path.join(root, 'build/windows/demosound.dll');

// 16-bit mono WAV at 44.1 kHz: 440 Hz for its first 2 s, 880 Hz after.
function twoTones(file, seconds = 6) {
    const rate = 44100;
    let phase = 0;
    writeWav(file, rate, rate * seconds, i => {
        phase += 2 * Math.PI * (i < 2 * rate ? 440 : 880) / rate;
        return 0.37 * Math.sin(phase);
    });
}

// The tones placed at `at` (a fast-forward of at - 1 frames moves them to
// where frame 1 would have them), carried with `library`; `fade` fades
// Volum from 255 to 0 over frames 10 to 19; at frame `move` a fast-forward
// of 40 frames moves them on while they play.
function musicDemo(name, { at = 1, library = linuxLibrary, fade = false, frames = 70, move = 0 } = {}) {
    const tones = path.join(work, 'tones.wav');
    if (!fs.existsSync(tones)) twoTones(tones);
    const place = [{ place: 'song', length: 0 }];
    if (at > 1) place.push({ skip: 'song', frames: at - 1 });
    const timeline = [{ frame: 1, commands: [{ place: 'cam' }, ...(at === 1 ? place : [])] }];
    if (fade)
        timeline.push({ frame: 10, commands: [{ dynamic: 'scalar', parent: 'song', parameter: 'Volum', mode: 'reset',
                                               initial: 255, value: -25.5, length: 10 }] });
    if (at > 1) timeline.push({ frame: at, commands: place });
    if (move) timeline.push({ frame: move, commands: [{ skip: 'song', frames: 40 }] });
    return build(name, {
        window: { title: 'music', width: 64, height: 48, fullscreen: false },
        playback: { frameRate: 20, catchUp: true, loop: false },
        totalFrames: frames,
        resources: [{ class: 'soundLibrary', file: library }, { class: 'music', tag: 'song', file: tones },
                    { class: 'camera', tag: 'cam', position: [0, 0, 5] }],
        timeline,
    });
}

// The tones demo with its resources (2102) edited: `edit` gives each
// resource chunk's bytes.
function editedResources(name, edit) {
    const file = path.join(work, name + '.dat');
    fs.writeFileSync(file, Buffer.concat(chunks(fs.readFileSync(musicDemo('plain'))).map(({ id, payload }) =>
        chunk(id, id !== 2102 ? payload : Buffer.concat(chunks(payload).map(edit))))));
    return file;
}

// The tones demo playing `bytes` as they are (demotool would convert what
// is not MP3 or WAV at 44.1 kHz).
function withMusic(name, bytes) {
    return editedResources(name, c => chunk(c.id, c.id !== 461 ? c.payload : Buffer.concat(
        chunks(c.payload).map(s => chunk(s.id, s.id === 8 ? bytes : s.payload)))));
}

// Taps what reaches the audio context's output: every 20 ms the page time,
// the frame last drawn, the loudest frequency and the level.
function tapAudio() {
    window.heardLog = [];
    const connect = AudioNode.prototype.connect;
    AudioNode.prototype.connect = function(target, ...rest) {
        if (target instanceof AudioDestinationNode) {
            const analyser = this.context.createAnalyser(), rate = this.context.sampleRate;
            analyser.fftSize = 1024;
            connect.call(this, analyser);
            const bins = new Float32Array(analyser.frequencyBinCount), wave = new Float32Array(analyser.fftSize);
            const timer = setInterval(() => {
                if (this.context.state === 'closed') return clearInterval(timer);
                analyser.getFloatFrequencyData(bins);
                analyser.getFloatTimeDomainData(wave);
                let best = 0, level = 0;
                for (let i = 1; i < bins.length; ++i) if (bins[i] > bins[best]) best = i;
                for (const v of wave) level += v * v;
                const canvas = document.getElementById('canvas');
                window.heardLog.push({ at: performance.now(), frame: Number(canvas.dataset.frame || 0),
                                       pitch: best * rate / analyser.fftSize, level: Math.sqrt(level / wave.length) });
            }, 20);
        }
        return connect.call(this, target, ...rest);
    };
}

// Plays a page to its end with the tap and the music's place per frame.
// (a script's look into the page counts as a user's gesture: a play that
// must start without one sets trackMusic itself.)
async function listen(url, { start = clickToPlay, init, within = browser, track = true } = {}) {
    const page = await within.newPage();
    const log = [];
    page.on('console', message => log.push(message.text()));
    try {
        await page.addInitScript(tapAudio);
        if (init) await page.addInitScript(init);
        await page.goto(url);
        if (track) {
            await page.waitForFunction(() => window.demoplayer, null, { timeout: 30000 });
            await page.evaluate(() => { demoplayer.stats.trackMusic = true; });
        }
        await start(page);
        assert(await waitState(page, ['ended'], 60000) === 'ended', 'the demo did not end');
        return { ...(await page.evaluate(() => ({ heard: window.heardLog, music: demoplayer.stats.music,
                                                   panel: document.getElementById('panel').textContent }))),
                 log };
    } finally {
        await page.close();
    }
}

// The tones heard while frames from..to show: their pitches (440 or 880),
// in order, with repeats merged.
function pitches(heard, from = 1, to = 1e9) {
    const out = [];
    for (const h of heard) {
        if (h.frame < from || h.frame > to || h.level < 0.05) continue;
        const tone = Math.abs(h.pitch - 440) < 30 ? 440 : Math.abs(h.pitch - 880) < 30 ? 880 : 0;
        if (tone && out[out.length - 1] !== tone) out.push(tone);
    }
    return out;
}

// The music against the page's clock, in ms: at each frame k drawn from
// frame `from` on (where the music starts, at `startsAt` ms of itself), the
// music's place heard less where it started less the time since frame
// `from` started. How late the frames themselves are is the frame loop's
// (the timing tests), and so is how long frame `from` took to draw (a
// busy machine may stop the page meanwhile): this is the music's own
// keeping of time.
function drift(music, from, startsAt = (from - 1) * 50) {
    const start = music.find(([frame]) => frame >= from);
    const d = music.filter(([frame, , place]) => frame >= from + 2 && place >= 0)
                   .map(([, clock, place]) => Math.abs(place / 44.1 - startsAt - (clock - start[3])));
    return { mean: d.reduce((a, b) => a + b, 0) / Math.max(1, d.length), max: Math.max(0, ...d), count: d.length,
             firstDrawn: start[1] - start[3] };
}

async function musicHeard() {
    const page = file => `${base}/build/web/demoplayer.html?demo=/work/${path.basename(file)}`;
    const rows = [
        ['placed at frame 1: 440 Hz, then 880 Hz from frame 41', () => page(musicDemo('tones')), [440, 880], 1],
        ['placed at frame 41 with a 40-frame fast-forward: 880 Hz from the start',
         () => page(musicDemo('late', { at: 41 })), [880], 41],
        ['#frame=41: 880 Hz from the start, in its place', () => page(musicDemo('tones')) + '#frame=41', [880], 41],
        // From frame 21 on it is 2 s in, where 880 Hz starts (its time kept
        // from frame 24 on: what was mixed ahead of the move is heard first).
        ['moved on by 40 frames at frame 21 while it plays: 880 Hz from frame 21, in its place',
         () => page(musicDemo('moved', { move: 21 })), [440, 880], 24, 2150, 21],
        ['carried for Windows: the same', () => page(musicDemo('tones-dll', { library: windowsLibrary })), [440, 880], 1],
        ['one file (demotool pack) from file://: the same', () => {
            const single = path.join(work, 'tones.html');
            run(demotool, ['pack', path.join(root, 'build/web/demoplayer.html'), musicDemo('tones'), '-o', single]);
            return 'file://' + single;
        }, [440, 880], 1],
    ];
    // Each row: what is heard, from which frame the music keeps time (and
    // where it is then), and the frame at which 880 Hz starts.
    for (const [name, url, expected, from, startsAt = (from - 1) * 50, higher = 41] of rows) {
        await check('music: ' + name, async () => {
            const result = await listen(url());
            const heard = pitches(result.heard);
            assert(JSON.stringify(heard) === JSON.stringify(expected), `heard ${JSON.stringify(heard)}`);
            if (expected.length === 2) {
                const before = pitches(result.heard, 1, higher - 3), after = pitches(result.heard, higher + 3);
                assert(before.join() === '440' && after.join() === '880',
                       `440 Hz while frames 1-${higher - 3} show: ${before}; 880 Hz from frame ${higher + 3}: ${after}`);
            }
            const { mean, max, count, firstDrawn } = drift(result.music, from, startsAt);
            console.log(`        music against the page's clock over ${count} frames: mean ${mean.toFixed(1)} ms, ` +
                        `largest ${max.toFixed(1)} ms (frame ${from} drawn in ${firstDrawn.toFixed(1)} ms)`);
            assert(count > 20 && mean < 20, `music against the page's clock: mean ${mean.toFixed(1)} ms over ${count} frames`);
            assert(!result.panel, 'messages: ' + result.panel);
        }, name.startsWith('carried for Windows') && !fs.existsSync(windowsLibrary) ? 'scripts/build-windows not run' : '');
    }
    await check('music: a Volum fade to 0 silences it', async () => {
        const result = await listen(page(musicDemo('fade', { fade: true, frames: 40 })));
        const level = (from, to) => Math.max(0, ...result.heard.filter(h => h.frame >= from && h.frame <= to).map(h => h.level));
        // Frames 19 on are silent; what was mixed ahead of them (a tenth of
        // a second or so, more on a busy machine) is heard a little after.
        assert(level(2, 8) > 0.1, `level before the fade ${level(2, 8)}`);
        assert(level(26, 40) < 0.001, `level after the fade ${level(26, 40)}`);
    });
    await check('music: a library chunk of no library, one cut short, or none, or music in FLAC: silent, no message', async () => {
        const junk = path.join(work, 'junk.so'), cut = path.join(work, 'cut.so');
        fs.writeFileSync(junk, Buffer.alloc(4096, 0x41));
        const whole = fs.readFileSync(linuxLibrary);
        fs.writeFileSync(cut, whole.subarray(0, whole.length - 100));
        // Without its library chunk (463): the music resource is then
        // skipped, as the player skips it.
        const none = editedResources('none', c => c.id === 463 ? Buffer.alloc(0) : chunk(c.id, c.payload));
        // Music in FLAC: the browser reads it, and a few of its bytes may
        // hold hours of sound; the page, like the other systems, decodes WAV
        // and MPEG audio only.
        const flacFile = path.join(work, 'tone.flac');
        run('ffmpeg', ['-v', 'error', '-y', '-f', 'lavfi', '-i', 'sine=frequency=440:duration=3', flacFile]);
        const flac = withMusic('flac', fs.readFileSync(flacFile));
        for (const data of [musicDemo('junk', { library: junk }), musicDemo('cut', { library: cut }), none, flac]) {
            const result = await listen(page(data));
            const loud = Math.max(0, ...result.heard.map(h => h.level));
            assert(loud < 0.001, `${path.basename(data)}: level ${loud}`);
            assert(!result.panel, `${path.basename(data)}: messages: ${result.panel}`);
            assert(result.music.length > 50, `${path.basename(data)}: ${result.music.length} frames drawn`);
        }
    });
    await check('music: longer than a sample keeps: its first 15:00 play, said once', async () => {
        const long = path.join(work, 'long.mp3');
        run('ffmpeg', ['-v', 'error', '-y', '-f', 'lavfi', '-i', 'sine=frequency=440:sample_rate=8000:duration=960',
                       '-ac', '1', '-b:a', '8k', long]);
        const result = await listen(page(withMusic('long', fs.readFileSync(long))));
        const lines = result.log.filter(line => line.startsWith('demosound:'));
        assert(lines.length === 1 && /^demosound: \/tmp\/\S+ is longer than a sample may be; it plays its first 15:00$/.test(lines[0]),
               'console: ' + JSON.stringify(lines));
        assert(pitches(result.heard).join() === '440', `heard ${pitches(result.heard)}`);
    });
    await check('music: no sound allowed (no click): the silent clock keeps time, said once', async () => {
        // The page starts the play itself, before anyone clicked, in a
        // browser where no page of its address has played sound yet (the
        // browser lets a site that often did play without a click).
        const fresh = await launchBrowser();
        const result = await listen(page(musicDemo('tones')), {
            within: fresh,
            track: false,
            // Nothing is evaluated in the page until the play ended: that
            // would count as a click too (waiting for a state polls so).
            init: () => {
                let started = false;
                const timer = setInterval(() => {
                    const canvas = document.getElementById('canvas');
                    if (!started && canvas && canvas.dataset.state === 'ready') {
                        started = true;
                        window.demoplayer.stats.trackMusic = true;
                        window.demoplayer.play();
                    } else if (started && canvas.dataset.state === 'ended') {
                        clearInterval(timer);
                        console.log('the play without a click ended');
                    }
                }, 20);
            },
            // Nothing may look into the page before the library has chosen:
            // the browser counts a script's look as a user's gesture.
            start: page => page.waitForEvent('console', { predicate: m => m.text() === 'the play without a click ended',
                                                         timeout: 60000 }),
        }).finally(() => fresh.close());
        const lines = result.log.filter(line => line.startsWith('demosound:'));
        assert(JSON.stringify(lines) === JSON.stringify(
                   ['demosound: no audio device (the page may not play sound before a click); the music plays silently']),
               'console: ' + JSON.stringify(result.log.filter(line => !/GL Driver|WARNING/.test(line))));
        assert(Math.max(0, ...result.heard.map(h => h.level)) < 0.001, 'sound was heard');
        const { mean, count } = drift(result.music, 1);
        assert(count > 50 && mean < 10, `silent clock against picture: mean ${mean.toFixed(1)} ms over ${count} frames`);
    });
    await check('music: played again in the page, and after an abort inside (whose music stops), heard afresh', async () => {
        const data = musicDemo('tones');
        const p = await browser.newPage();
        try {
            await p.addInitScript(tapAudio);
            await p.goto(page(data));
            // Tones heard from the last click on, and the loudest level in a
            // span of page time.
            const since = at => p.evaluate(from => window.heardLog.filter(h => h.at >= from), at);
            const loudest = heard => Math.max(0, ...heard.map(h => h.level));
            const clicked = () => p.evaluate(() => performance.now());
            const playAgain = async () => {
                await p.click('#again button');
                await p.waitForFunction(() => document.getElementById('canvas').dataset.state !== 'ended');
            };
            await clickToPlay(p);
            assert(await waitState(p, ['ended']) === 'ended', 'the first play did not end');
            let from = await clicked();
            await playAgain();
            assert(await waitState(p, ['ended']) === 'ended', 'playing again did not end');
            const again = pitches(await since(from));
            assert(again.join() === '440,880', `played again: heard ${again}`);
            // The player fails inside at frame 20, the music playing.
            await p.evaluate(() => {
                const frame = demoplayer.page.frame;
                demoplayer.page.frame = (n, drawn) => {
                    if (n < 20) return frame(n, drawn);
                    demoplayer.page.frame = frame;
                    abort('a failure made by the test');
                };
            });
            await playAgain();
            assert(await waitState(p, ['ended']) === 'ended', 'the page did not end the failed play');
            assert(/the player stopped/.test(await p.textContent('#panel')), 'no failure said');
            const failedAt = await clicked();
            await p.waitForTimeout(1000);
            const after = loudest((await since(failedAt)).filter(h => h.at > failedAt + 300));
            assert(after < 0.001, `level after the failed play ended ${after}`);
            await p.setInputFiles('#file', data);
            from = await clicked();
            await clickToPlay(p);
            assert(await waitState(p, ['ended']) === 'ended', 'the next file did not play to its end');
            const next = pitches(await since(from));
            assert(next.join() === '440,880', `after the failure: heard ${next}`);
        } finally {
            await p.close();
        }
    });
    await check('music: Space pauses picture and music together; a still frame plays no music', async () => {
        const pageUrl = page(musicDemo('tones'));
        const p = await browser.newPage();
        try {
            await p.addInitScript(tapAudio);
            await p.goto(pageUrl);
            await clickToPlay(p);
            await p.waitForFunction(() => Number(document.getElementById('canvas').dataset.frame) >= 20);
            await p.keyboard.press('Space');
            assert(await waitState(p, ['paused']) === 'paused', 'Space did not pause');
            const read = () => p.evaluate(() => [Number(document.getElementById('canvas').dataset.frame),
                                                 demoplayer.heard()]);
            await p.waitForTimeout(300);
            const [frame1, place1] = await read();
            await p.waitForTimeout(700);
            const [frame2, place2] = await read();
            assert(frame1 === frame2 && place1 === place2, `paused: frame ${frame1} -> ${frame2}, music ${place1} -> ${place2}`);
            const quiet = await p.evaluate(() => Math.max(0, ...window.heardLog.slice(-20).map(h => h.level)));
            assert(quiet < 0.001, `level while paused ${quiet}`);
            assert(Math.abs(place1 / 44.1 - (frame1 - 1) * 50) < 60, `paused at frame ${frame1} with the music at ${place1}`);
            await p.keyboard.press('Space');
            await p.waitForFunction(f => Number(document.getElementById('canvas').dataset.frame) >= f + 10, frame2);
            const [frame3, place3] = await read();
            assert(Math.abs(place3 / 44.1 - (frame3 - 1) * 50) < 60, `resumed: frame ${frame3} with the music at ${place3}`);
            // Escape, or leaving the page, ends a paused play as a running one.
            const enders = [['Escape', () => p.keyboard.press('Escape')],
                            ['leaving the page', () => p.evaluate(() => dispatchEvent(new Event('pagehide')))]];
            for (const [name, end] of enders) {
                if (name !== 'Escape') {
                    await p.click('#again button');
                    await p.waitForFunction(() => Number(document.getElementById('canvas').dataset.frame) < 20);
                }
                await p.waitForFunction(() => Number(document.getElementById('canvas').dataset.frame) >= 5);
                await p.keyboard.press('Space');
                assert(await waitState(p, ['paused']) === 'paused', `Space did not pause (before ${name})`);
                await end();
                assert(await waitState(p, ['ended'], 5000) === 'ended', `${name} did not end the paused demo`);
                const drawn = await p.evaluate(() => demoplayer.stats.drawn);
                assert(drawn < 60, `${name}: ${drawn} frames drawn`);
            }
        } finally {
            await p.close();
        }
        const still = await browser.newPage();
        try {
            await still.addInitScript(tapAudio);
            await still.goto(pageUrl + '#frame=30&pause');
            assert(await waitState(still, ['paused']) === 'paused', 'no still frame');
            await still.waitForTimeout(500);
            const loud = await still.evaluate(() => Math.max(0, ...window.heardLog.map(h => h.level)));
            assert(loud < 0.001, `level around a still frame ${loud}`);
        } finally {
            await still.close();
        }
    });
}

// ---- The studio: `demotool studio` serving a description to this page

// Starts the studio on `desc`; resolves once it prints its address.
function startStudio(desc) {
    const child = spawn(demotool, ['studio', desc, '--web', path.join(root, 'build/web')],
                        { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '', err = '';
    const exited = new Promise(resolve => child.on('exit', (code, signal) => resolve({ code, signal })));
    return new Promise((resolve, reject) => {
        child.stdout.on('data', chunk => {
            out += chunk;
            const found = /^http:\/\/127\.0\.0\.1:(\d+)\/$/m.exec(out);
            if (found) resolve({ child, url: found[0], port: Number(found[1]), exited, stderr: () => err });
        });
        child.stderr.on('data', chunk => { err += chunk; });
        exited.then(how => reject(new Error(`demotool studio ended (${JSON.stringify(how)}): ${err}`)));
    });
}

// A box that moves along x over 60 frames, in `color`, at 120 bpm.
function studioDesc(color) {
    const desc = scene([{ class: 'color', tag: 'c', color }, { class: 'box', tag: 'b', size: [0.8, 0.8, 0.8] }],
                       [under('c'), under('b', 'c'),
                        { dynamic: 'translation', parent: 'b', parameter: 'Posició', value: 1, vector: [0.04, 0, 0],
                          length: 60 }], { frames: 60 });
    desc.bpm = 120;
    return desc;
}

const shownFrame = page => page.evaluate(() => Number(document.getElementById('canvas').dataset.frame));

async function waitStill(page, frame, timeout = 60000) {
    await page.waitForFunction(f => {
        const canvas = document.getElementById('canvas');
        return canvas.dataset.state === 'paused' && canvas.dataset.frame === String(f) && studio.state().paused;
    }, frame, { timeout, polling: 50 });
}

// Where frame `frame` is on the chart, in the page's pixels.
function chartPoint(page, frame) {
    return page.evaluate(f => {
        const svg = document.querySelector('#studio-chart svg'), box = svg.getBoundingClientRect();
        const scale = box.width / svg.viewBox.baseVal.width;
        const x = Number(svg.dataset.plotLeft) + (f - 0.5) / Number(svg.dataset.frames) * Number(svg.dataset.plotWidth);
        return { x: box.left + x * scale, y: box.top + box.height / 2 };
    }, frame);
}

// `demotool render`'s picture of `frame` of a description.
function rendered(desc, frame) {
    const data = path.join(work, 'studio-render.dat'), out = path.join(work, 'studio-render-' + frame);
    run(demotool, ['build', desc, '-o', data]);
    fs.rmSync(out, { recursive: true, force: true });
    run(demotool, ['render', data, '--out', out, '--frames', String(frame)]);
    return readPng(path.join(out, `frame-${String(frame).padStart(5, '0')}.png`));
}

async function studioGroup() {
    const folder = fs.mkdtempSync(path.join(work, 'studio-'));
    const desc = path.join(folder, 'studio.json');
    const write = description => fs.writeFileSync(desc, JSON.stringify(description, null, 1));
    write(studioDesc([1, 0.3, 0.2, 1]));
    let studio;
    try {
        studio = await startStudio(desc);
    } catch (error) {
        await check('studio: starts', () => { throw error; });
        return;
    }
    const { page, log } = await openPage(studio.url);
    try {
        await check('studio: the page shows frame 1 still, with the chart and the time in bars and beats', async () => {
            await waitStill(page, 1);
            await page.waitForSelector('#studio-chart svg #studio-playhead', { state: 'attached' });
            const readout = await page.textContent('#studio-readout');
            assert(/frame 1 \/ 60/.test(readout) && /0\.00 s/.test(readout) && /bar 1 beat 1/.test(readout),
                   'readout: ' + readout);
        });
        // A click on the chart, then keys: each lands on its frame, still,
        // as `demotool render` draws it; the readout follows.
        const moves = [
            { name: 'a click on the chart', act: async () => {
                const at = await chartPoint(page, 37);
                await page.mouse.click(at.x, at.y);
            }, frame: 37, compare: true },
            { name: 'Right', act: () => page.keyboard.press('ArrowRight'), frame: 38 },
            { name: 'Shift+Right', act: () => page.keyboard.press('Shift+ArrowRight'), frame: 58, compare: true },
            { name: 'Left', act: () => page.keyboard.press('ArrowLeft'), frame: 57 },
            { name: 'Home', act: () => page.keyboard.press('Home'), frame: 1 },
        ];
        for (const move of moves) {
            await check(`studio: ${move.name} shows frame ${move.frame}`, async () => {
                await move.act();
                await waitStill(page, move.frame);
                const seconds = (move.frame - 1) / 20, beats = seconds * 120 / 60;
                const readout = await page.textContent('#studio-readout');
                const wanted = [`frame ${move.frame} / 60`, `${seconds.toFixed(2)} s`,
                                `bar ${Math.floor(beats / 4) + 1} beat ${Math.floor(beats % 4) + 1}`];
                for (const text of wanted) assert(readout.includes(text), `readout "${readout}" lacks "${text}"`);
                // The playhead stands where the frame is on the chart.
                const head = await page.evaluate(() => document.getElementById('studio-playhead').getBoundingClientRect());
                const where = await chartPoint(page, move.frame);
                assert(Math.abs(head.left + head.width / 2 - where.x) < 1, `playhead at ${head.left}, frame at ${where.x}`);
                if (move.compare) console.log('        ' + compare(rendered(desc, move.frame), await canvasPixels(page)));
            });
        }
        await check('studio: a drag along the chart loops that stretch and plays nothing else', async () => {
            await page.evaluate(() => {
                window.framesSeen = [];
                const seen = demoplayer.page.frame;
                demoplayer.page.frame = (frame, drawn) => { seen(frame, drawn); if (drawn) framesSeen.push(frame); };
            });
            const from = await chartPoint(page, 20), to = await chartPoint(page, 28);
            await page.mouse.move(from.x, from.y);
            await page.mouse.down();
            await page.mouse.move(to.x, to.y, { steps: 4 });
            await page.mouse.up();
            // Twice round at least (a late page may step frame 28 rather than draw it).
            await page.waitForFunction(() => {
                const starts = framesSeen.filter((f, i) => f === 20 && i > 0 && framesSeen[i - 1] > 20);
                return starts.length >= 2;
            }, null, { timeout: 60000, polling: 100 });
            const seen = await page.evaluate(() => framesSeen);
            assert(seen.every(f => f >= 20 && f <= 28), 'frames outside 20-28: ' + JSON.stringify(seen));
            await page.keyboard.press('Space');
            await page.waitForFunction(() => document.getElementById('canvas').dataset.state === 'paused');
            const still = await shownFrame(page);
            await page.waitForTimeout(300);
            assert(await shownFrame(page) === still, 'Space did not pause');
            console.log(`        frames seen: ${seen.slice(0, 24).join(' ')}...`);
        });
        let before;
        await check('studio: an edit of the description shows at the same frame', async () => {
            const at = await chartPoint(page, 30);
            await page.mouse.click(at.x, at.y);
            await waitStill(page, 30);
            const version = await page.evaluate(() => studio.state().dataVersion);
            const saved = Date.now();
            write(studioDesc([0.2, 0.4, 1, 1]));
            await page.waitForFunction(v => studio.state().dataVersion > v, version, { timeout: 30000, polling: 50 });
            await waitStill(page, 30);
            console.log(`        from the save to the new picture: ${Date.now() - saved} ms`);
            before = await canvasPixels(page);
            console.log('        ' + compare(rendered(desc, 30), before));
        });
        await check('studio: a broken edit shows build\'s message; the last picture stays; a fix clears it', async () => {
            const good = fs.readFileSync(desc, 'utf8');
            // A number cut in two: the compiler says where.
            fs.writeFileSync(desc, good.replace('"bpm": 120', '"bpm": 12 0'));
            const built = run(demotool, ['build', desc, '-o', path.join(work, 'broken.dat')], { mayFail: true });
            const message = built.stderr.trim();
            assert(built.status === 1 && /^.*studio\.json:\d+:\d+: /.test(message), 'build: ' + message);
            await page.waitForFunction(m => document.getElementById('studio-error').textContent === m, message,
                                       { timeout: 30000, polling: 50 });
            await page.waitForTimeout(500);
            assert(await state(page) === 'paused' && await shownFrame(page) === 30, 'the picture changed');
            compare(before, await canvasPixels(page), 0);
            fs.writeFileSync(desc, good.replace('0.2,', '0.9,'));
            await page.waitForFunction(() => document.getElementById('studio-error').textContent === '', null,
                                       { timeout: 30000, polling: 50 });
            await waitStill(page, 30);
            console.log('        ' + compare(rendered(desc, 30), await canvasPixels(page)));
        });
        await check('studio: no page errors', () => assert(log.errors.length === 0, log.errors.join('; ')));
    } finally {
        await page.close();
        await check('studio: Ctrl+C stops it with status 0 and closes its port', async () => {
            studio.child.kill('SIGINT');
            const how = await studio.exited;
            assert(how.code === 0, `ended with ${JSON.stringify(how)}: ${studio.stderr()}`);
            const refused = await new Promise(resolve => {
                const request = http.get({ host: '127.0.0.1', port: studio.port, path: '/status' }, () => resolve(false));
                request.on('error', error => resolve(error.code === 'ECONNREFUSED'));
            });
            assert(refused, 'the port still answers');
        });
    }
}

// ---- Main

try {
    browser = await launchBrowser();
    server = await serveFiles(root, work);
    base = `http://127.0.0.1:${server.address().port}`;
    const assets = path.join(work, 'assets');
    run(demotool, ['assets', assets]);
    const only = process.env.WEB_TESTS || 'pixels,damage,timing,links,files,music,studio';
    // Like the other players, the page's WebAssembly ends before the offset
    // where a packed player's demo data starts.
    await check('size: demoplayer.wasm ends before the demo data offset', () => {
        const size = fs.statSync(path.join(root, 'build/web/demoplayer.wasm')).size;
        assert(size < DATA_OFFSET, `demoplayer.wasm is ${size} bytes, not under ${DATA_OFFSET}`);
    });
    if (only.includes('pixels')) await pixelTable(assets);
    if (only.includes('damage')) await damagedData();
    if (only.includes('timing')) await framesOnTime();
    if (only.includes('links')) await deepLinks();
    if (only.includes('files')) await filesGiven(build('small', timingDesc(20, 10)));
    if (only.includes('music')) await musicHeard();
    if (only.includes('studio')) await studioGroup();
} catch (error) {
    results.failed++;
    console.log('  FAIL  setting up: ' + error.stack);
} finally {
    if (browser) await browser.close();
    if (server) server.close();
    fs.rmSync(work, { recursive: true, force: true });
}
console.log(`web: ${results.passed} passed, ${results.failed} failed, ${results.skipped} skipped`);
process.exit(results.failed ? 1 : 0);
