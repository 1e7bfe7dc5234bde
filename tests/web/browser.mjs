// The browser and the file server that the web tests and benches share.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { createRequire } from 'node:module';

const { chromium } = createRequire(import.meta.url)('playwright-core');

const launchArgs = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                    '--disable-background-networking', '--disable-component-update', '--disable-sync',
                    // WebGL without a GPU: ANGLE on SwiftShader.
                    '--use-angle=swiftshader', '--enable-unsafe-swiftshader'];

// Debian's chromium, headless.
export function launchBrowser() {
    return chromium.launch({ executablePath: '/usr/bin/chromium', args: launchArgs });
}

// Serves `root` (the worktree), and `work` under /work/, so that the page
// and the demo data share an origin; resolves to the listening server.
export function serveFiles(root, work) {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
    const server = http.createServer((request, response) => {
        const url = new URL(request.url, 'http://localhost');
        const file = path.join(url.pathname.startsWith('/work/') ? work : root,
                               decodeURIComponent(url.pathname.replace(/^\/work\//, '/')));
        fs.readFile(file, (error, body) => {
            if (error) { response.writeHead(404); response.end(); return; }
            response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
            response.end(body);
        });
    });
    return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}
