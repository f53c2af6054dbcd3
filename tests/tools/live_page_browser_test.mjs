// Drives the live page in headless Chromium while `korvala analyze --serve
// --realtime` plays a file, and checks what the page receives and shows:
//   node live_page_browser_test.mjs URL REFERENCE.csv ARTIFACT_DIR WEB_DIR
// REFERENCE.csv is `korvala analyze` of the same file, so the values a paused
// page shows can be checked frame for frame. Exit status 0 when all pass.
import { createRequire } from 'node:module';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import net from 'node:net';
import { tmpdir } from 'node:os';
import path from 'node:path';

const [url, csvPath, artifactDir, webDir] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(webDir), 'package.json'));
const { chromium } = require('playwright-core');
const origin = new URL(url).origin;

let failed = 0;
function check(ok, what) {
  if (!ok) {
    failed++;
    console.error('FAIL: ' + what);
  }
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const csvLines = readFileSync(csvPath, 'utf8').trimEnd().split('\n');
const header = csvLines[0].split(',');
const rows = csvLines.slice(1).map((l) => l.split(','));

const profile = mkdtempSync(path.join(tmpdir(), 'korvala-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: process.env.KORVALA_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--autoplay-policy=no-user-gesture-required'],
  viewport: { width: 1280, height: 1000 },
});
const problems = [];
const outside = [];
context.on('request', (request) => {
  if (!request.url().startsWith(origin + '/') && !request.url().startsWith('data:')) {
    outside.push(request.url());
  }
});
async function openViewer() {
  const page = await context.newPage();
  page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  page.on('pageerror', (e) => problems.push(String(e)));
  await page.goto(url);
  await page.waitForFunction(() => window.korvalaLive && window.korvalaLive.received > 5,
    null, { timeout: 15000 });
  return page;
}
const received = (page) => page.evaluate(() => window.korvalaLive.received);

try {
  const first = await openViewer();
  const second = await openViewer();

  // A viewer that connects and never reads must not hold up the others.
  const stalled = net.connect(Number(new URL(url).port), '127.0.0.1', () => {
    stalled.write(`GET /events HTTP/1.1\r\nHost: ${new URL(url).host}\r\n\r\n`);
    stalled.pause();
  });
  stalled.on('error', () => {});

  const before = [await received(first), await received(second)];
  const started = Date.now();
  await sleep(3000);
  const seconds = (Date.now() - started) / 1000;
  const rates = [(await received(first) - before[0]) / seconds,
                 (await received(second) - before[1]) / seconds];
  for (const [k, rate] of rates.entries()) {
    check(rate >= 50, `viewer ${k + 1} got ${rate.toFixed(1)} updates/s beside a stalled one`);
  }
  const latencies = (await first.evaluate(() => window.korvalaLive.latencies)).slice(-120)
    .sort((a, b) => a - b);
  const median = latencies[Math.floor(latencies.length / 2)];
  const p95 = latencies[Math.floor(latencies.length * 0.95)];
  console.log(`updates/s: ${rates.map((r) => r.toFixed(1)).join(', ')}; frame-to-page latency ` +
              `median ${median} ms, 95th percentile ${p95} ms`);
  check(median < 50, `frame-to-page latency median ${median} ms`);

  // The audio plays where the engine is.
  const drift = await first.evaluate(() => {
    const live = window.korvalaLive;
    const audio = document.getElementById('audio');
    const expected = live.last.t + (Date.now() - live.last.wall) / 1000;
    return audio.paused ? null : Math.abs(audio.currentTime - expected);
  });
  check(drift !== null && drift < 0.25, `audio in step with the frames (drift ${drift} s)`);

  // Paused, the page shows one frame: its every value equals the reference's.
  await first.bringToFront();
  await first.click('#pause');
  await sleep(100);
  const shown = await first.evaluate(() => ({
    index: window.korvalaLive.shown.i,
    bpm: document.getElementById('bpm').textContent,
    felt: document.getElementById('felt').hidden ? null : document.getElementById('felt-bpm').textContent,
    values: Object.fromEntries([...document.querySelectorAll('#values td[data-name]')]
      .map((td) => [td.dataset.name, td.dataset.value])),
  }));
  const row = rows[shown.index];
  check(row !== undefined, `frame ${shown.index} is in the reference`);
  if (row) {
    let compared = 0;
    for (const [name, text] of Object.entries(shown.values)) {
      const column = header.indexOf(name);
      if (column < 0) continue;
      compared++;
      check(Object.is(Math.fround(Number(text)), Math.fround(Number(row[column]))),
        `${name} shown ${text}, reference ${row[column]} at frame ${shown.index}`);
    }
    check(compared === header.length - 3, `compared ${compared} values`);
    check(shown.bpm === Math.fround(Number(row[header.indexOf('kor_BPM')])).toFixed(1),
      `tempo shown ${shown.bpm}`);
    check(shown.felt === Math.fround(Number(row[header.indexOf('felt_BPM')])).toFixed(1),
      `felt tempo shown ${shown.felt}`);
  }
  await first.click('#pause');

  // A slider on one page changes the engine: every viewer sees the new control.
  await first.$eval('#reactivity', (slider) => {
    slider.value = '0.8';
    slider.dispatchEvent(new Event('input'));
    slider.dispatchEvent(new Event('change'));
  });
  await second.waitForFunction(() => Math.abs(window.korvalaLive.last.knobs[0] - 0.8) < 1e-6,
    null, { timeout: 3000 }).catch(() => check(false, 'the reactivity slider reached the engine'));

  // Controls from elsewhere, or out of range, are refused and change nothing.
  const post = (headers, body) => fetch(url + 'control', {
    method: 'POST', headers: { 'Content-Type': 'application/json', ...headers },
    body: JSON.stringify(body) }).then((r) => r.status);
  check(await post({ Origin: 'http://example.invalid' }, { name: 'reactivity', value: 0.1 }) === 400,
    'a control from another origin is refused');
  check(await post({ Origin: origin }, { name: 'reactivity', value: 1.5 }) === 400,
    'a control out of range is refused');
  check(await post({ Origin: origin }, { name: 'volume', value: 0.5 }) === 400,
    'an unknown control is refused');
  await sleep(200);
  check(Math.fround(await second.evaluate(() => window.korvalaLive.last.knobs[0])) ===
    Math.fround(0.8),
    'refused controls changed nothing');

  await first.screenshot({ path: path.join(artifactDir, 'live.png'), fullPage: true });
  stalled.destroy();
  check(problems.length === 0, 'console errors: ' + problems.join(' | '));
  check(outside.length === 0, 'requests that left the server: ' + outside.join(' '));
  await first.waitForFunction(() => window.korvalaLive.ended, null, { timeout: 20000 })
    .catch(() => check(false, 'the page saw the end of the run'));
} catch (error) {
  check(false, String(error && error.stack || error));
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
}
console.log(failed === 0 ? 'live page: all checks passed' : `live page: ${failed} checks failed`);
process.exit(failed === 0 ? 0 : 1);
