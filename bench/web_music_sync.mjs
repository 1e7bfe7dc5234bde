// Music against picture in the web player, as bench/music_sync_bench does for
// the Linux and Windows players: 10 s at 20 fps of a 64 x 48 demo whose music
// (a 44.1 kHz WAV) is placed at frame 1 (paced), or at frame 41 with a
// fast-forward of 40 frames (late), played after a click on Web Audio
// (audible) or started by the page itself, which the browser does not let
// play sound (silent clock). At every drawn frame the page records its clock
// and the music's place as heard (demoplayer.heard()).
//   drift      = place - (frame - 1) / fps
//   lateness   = page clock at the frame - clock at frame 1 - (frame - 1) / fps
//   music-clk  = place - where the music starts - page clock since its frame
//                (the music's own keeping of time; first -> last frame)
// Usage: node bench/web_music_sync.mjs ROOT [SECONDS] (after scripts/build-web
// and the Release build; tests/web's playwright-core, Debian's chromium).
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { launchBrowser, serveFiles } from '../tests/web/browser.mjs';
import { writeWav } from '../tests/web/wav.mjs';

const root = path.resolve(process.argv[2] || '.');
const seconds = Number(process.argv[3] || 10);
const demotool = path.join(root, 'build/release/demotool');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'demoplayer-music-'));
const fps = 20, rate = 44100;

function wav(file, length) {
    writeWav(file, rate, rate * length, i => 0.25 * Math.sin(2 * Math.PI * 440 * i / rate));
}

function demo(name, at) {
    const frames = seconds * fps;
    const place = [{ place: 'song', length: 0 }, ...(at > 1 ? [{ skip: 'song', frames: at - 1 }] : [])];
    const timeline = [{ frame: 1, commands: [{ place: 'cam' }, ...(at === 1 ? place : [])] }];
    if (at > 1) timeline.push({ frame: at, commands: place });
    const desc = path.join(work, name + '.json'), data = path.join(work, name + '.dat');
    fs.writeFileSync(desc, JSON.stringify({
        window: { title: 'sync', width: 64, height: 48, fullscreen: false },
        playback: { frameRate: fps, catchUp: true, loop: false },
        totalFrames: frames,
        resources: [{ class: 'soundLibrary', file: path.join(root, 'build/release/libdemosound.so') },
                    { class: 'music', tag: 'song', file: path.join(work, 'tone.wav') },
                    { class: 'camera', tag: 'cam', position: [0, 0, 5] }],
        timeline,
    }));
    const result = spawnSync(demotool, ['build', desc, '-o', data], { encoding: 'utf8' });
    if (result.status !== 0) throw new Error(result.stderr);
    return data;
}

const mean = list => list.reduce((a, b) => a + b, 0) / Math.max(1, list.length);

async function measure(browser, url, audible, at) {
    const page = await browser.newPage();
    try {
        if (!audible) {
            await page.addInitScript(() => {
                const timer = setInterval(() => {
                    const canvas = document.getElementById('canvas');
                    if (canvas && canvas.dataset.state === 'ready') {
                        clearInterval(timer);
                        window.demoplayer.stats.trackMusic = true;
                        window.demoplayer.play();
                    }
                }, 20);
            });
        }
        await page.goto(url);
        if (audible) {
            await page.waitForFunction(() => window.demoplayer, null, { timeout: 30000 });
            await page.evaluate(() => { demoplayer.stats.trackMusic = true; });
            await page.waitForFunction(() => document.getElementById('canvas').dataset.state === 'ready');
            await page.click('#start button');
        } else {
            // Nothing looks into the page before the library has chosen: the
            // browser counts a script's look as a user's gesture.
            await page.waitForEvent('console', { predicate: m => m.text().startsWith('demosound:'), timeout: 30000 });
        }
        await page.waitForFunction(() => document.getElementById('canvas').dataset.state === 'ended', null,
                                   { timeout: (seconds + 30) * 1000 });
        const stats = await page.evaluate(() => demoplayer.stats);
        const music = stats.music, period = 1000 / fps;
        const clock1 = music[0][1] - (music[0][0] - 1) * period;
        const playing = music.filter(([frame, , place]) => frame >= at + 1 && place >= 0);
        // The clock when frame `at` (where the music starts) was due: the
        // first frame drawn from there on, less the frames between.
        const first = music.find(([frame]) => frame >= at);
        const clockAt = first[1] - (first[0] - at) * period;
        const drift = playing.map(([frame, , place]) => place / rate * 1000 - (frame - 1) * period);
        const late = music.map(([frame, clock]) => clock - clock1 - (frame - 1) * period);
        const clk = playing.map(([, clock, place]) => place / rate * 1000 - (at - 1) * period - (clock - clockAt));
        const window = (from, to) => mean(drift.filter((_, i) => playing[i][0] >= from && playing[i][0] < to));
        const frames = seconds * fps;
        return {
            counts: `${stats.drawn}/${stats.stepped}`,
            start: window(at + 1, at + 1 + fps), middle: window(frames / 2, frames / 2 + fps),
            end: window(frames - fps, frames + 1),
            max: Math.max(...drift.map(Math.abs)), meanAbs: mean(drift.map(Math.abs)),
            lateness: mean(late), clk: `${clk[0].toFixed(1)} → ${clk[clk.length - 1].toFixed(1)}`,
        };
    } finally {
        await page.close();
    }
}

wav(path.join(work, 'tone.wav'), seconds + 4);
const server = await serveFiles(root, work);
const base = `http://127.0.0.1:${server.address().port}/build/web/demoplayer.html?demo=/work/`;
const browser = await launchBrowser();
const sign = v => (v >= 0 ? '+' : '−') + Math.abs(v).toFixed(1);
console.log(`web: ${seconds} s at ${fps} fps; ms; drift = heard place - (frame - 1) / fps`);
console.log('| run | frames drawn/stepped | start | middle | end | max abs | mean abs | lateness | music-clk |');
console.log('|---|---|---|---|---|---|---|---|---|');
try {
    for (const [name, audible, at] of [['audible paced', true, 1], ['audible late', true, 41],
                                       ['silent clock paced', false, 1], ['silent clock late', false, 41]]) {
        const r = await measure(browser, base + path.basename(demo(name.replace(/ /g, '-'), at)), audible, at);
        console.log(`| ${name} | ${r.counts} | ${sign(r.start)} | ${sign(r.middle)} | ${sign(r.end)} | ` +
                    `${r.max.toFixed(1)} | ${r.meanAbs.toFixed(1)} | ${sign(r.lateness)} | ${r.clk} |`);
    }
} finally {
    await browser.close();
    server.close();
    fs.rmSync(work, { recursive: true, force: true });
}
