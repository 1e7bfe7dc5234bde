// 16-bit mono PCM WAV files for the web tests and benches.
import fs from 'node:fs';

// `count` samples at `rate`; sample(i) in -1..1.
export function writeWav(file, rate, count, sample) {
    const data = Buffer.alloc(count * 2);
    for (let i = 0; i < count; ++i) data.writeInt16LE(Math.round(32767 * sample(i)), i * 2);
    const header = Buffer.alloc(44);
    header.write('RIFF', 0);
    header.writeUInt32LE(36 + data.length, 4);
    header.write('WAVEfmt ', 8);
    header.writeUInt32LE(16, 16);
    header.writeUInt16LE(1, 20);  // PCM
    header.writeUInt16LE(1, 22);  // mono
    header.writeUInt32LE(rate, 24);
    header.writeUInt32LE(rate * 2, 28);
    header.writeUInt16LE(2, 32);
    header.writeUInt16LE(16, 34);
    header.write('data', 36);
    header.writeUInt32LE(data.length, 40);
    fs.writeFileSync(file, Buffer.concat([header, data]));
}
