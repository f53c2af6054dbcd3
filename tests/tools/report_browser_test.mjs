// Opens a report written by `korvala report` in headless Chromium and checks it
// against `korvala analyze` output for the same input:
//   node report_browser_test.mjs REPORT.html ANALYZE.csv SUMMARY.json ARTIFACT_DIR WEB_DIR
// WEB_DIR is tools/korvala/report (its node_modules holds playwright-core).
// Exit status 0 when every check passes, 1 otherwise.
import { createRequire } from 'node:module';
import { mkdtempSync, readFileSync, mkdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [reportPath, csvPath, summaryPath, artifactDir, webDir] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(webDir), 'package.json'));
const { chromium } = require('playwright-core');

let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) {
    passed++;
  } else {
    failed++;
    console.error('FAIL: ' + what);
  }
}

// ---- what analyze said -------------------------------------------------------
const csvLines = readFileSync(csvPath, 'utf8').trimEnd().split('\n');
const header = csvLines[0].split(',');
const scalarNames = header.slice(2, -1);
const rows = csvLines.slice(1).map((l) => l.split(','));
const column = (name) => header.indexOf(name);
const csvTransitions = rows.filter((r) => r[r.length - 1] === '1').map((r) => Number(r[0]));
const csvTime = rows.map((r) => Number(r[1]));
const summary = JSON.parse(readFileSync(summaryPath, 'utf8').trim().split('\n').pop());
const asFloat = (text) => Math.fround(text === 'nan' ? NaN : text === 'inf' ? Infinity :
                                      text === '-inf' ? -Infinity : Number(text));
const sameFloat = (a, b) => (Number.isNaN(a) && Number.isNaN(b)) || Object.is(a, b);
const onBeatColumn = column('kor_OnBeat');
const csvOnsets = [];
if (onBeatColumn >= 0) {
  let previous = 0;
  rows.forEach((r, k) => {
    const v = asFloat(r[onBeatColumn]);
    if (v > previous) csvOnsets.push(k);
    previous = v;
  });
}

// ---- the browser ---------------------------------------------------------------
const profile = mkdtempSync(path.join(tmpdir(), 'korvala-chromium-'));
// A fresh profile (--user-data-dir) per run; Playwright passes it itself.
const context = await chromium.launchPersistentContext(profile, {
  executablePath: process.env.KORVALA_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
         '--autoplay-policy=no-user-gesture-required',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  viewport: { width: 1400, height: 900 },
});
const reportUrl = pathToFileURL(path.resolve(reportPath)).href;
try {
  const page = context.pages()[0] || (await context.newPage());
  const consoleErrors = [];
  const requests = [];
  page.on('console', (m) => { if (m.type() === 'error') consoleErrors.push(m.text()); });
  page.on('pageerror', (e) => consoleErrors.push(String(e)));
  page.on('request', (r) => { if (r.url() !== reportUrl) requests.push(r.url()); });
  // Network requests are refused (and counted above), so a stray fetch cannot hang the test.
  await context.route(/^(https?|wss?|ftp):/, (route) => route.abort());

  const started = Date.now();
  await page.goto(reportUrl, { waitUntil: 'load' });
  await page.waitForFunction(() => window.korvalaReport !== undefined, null, { timeout: 30000 });
  console.log(`report loaded in ${Date.now() - started} ms`);

  // The data object carries exactly what analyze printed.
  const facts = await page.evaluate(() => {
    const r = window.korvalaReport;
    return {
      frames: r.time.length,
      names: r.data.scalars.map((s) => s.name),
      grouped: r.groups.flatMap((g) => g.names),
      transitions: r.transitions,
      onsets: r.onsets,
      summary: r.data.summary,
      transitionsFact: document.getElementById('fact-transitions').textContent,
    };
  });
  check(facts.frames === rows.length, `frame count ${facts.frames} vs CSV rows ${rows.length}`);
  check(JSON.stringify(facts.names) === JSON.stringify(scalarNames),
        'the report holds the same scalar names as the CSV, in the same order');
  check(JSON.stringify([...facts.grouped].sort()) === JSON.stringify([...scalarNames].sort()),
        'every scalar appears in exactly one plot group');
  check(JSON.stringify(facts.transitions) === JSON.stringify(csvTransitions),
        `transition frames ${JSON.stringify(facts.transitions)} vs CSV ${JSON.stringify(csvTransitions)}`);
  check(JSON.stringify(facts.onsets) === JSON.stringify(csvOnsets),
        'onset frames are the rises of kor_OnBeat in the CSV');
  for (const key of ['input', 'duration_seconds', 'samples', 'frames', 'blocks', 'transitions',
                     'bpm', 'bpm_confidence', 'median_bpm_last_half', 'beats_counted',
                     'sample_rate_conversion', 'fps', 'block_size']) {
    check(JSON.stringify(facts.summary[key]) === JSON.stringify(summary[key]),
          `summary ${key}: report ${JSON.stringify(facts.summary[key])}, analyze ${JSON.stringify(summary[key])}`);
  }
  check(facts.transitionsFact === String(csvTransitions.length), 'header counts the transitions');

  // Every value of every frame, bit for bit.
  const mismatches = await page.evaluate((args) => {
    const r = window.korvalaReport;
    const bad = [];
    args.names.forEach((name, i) => {
      const values = r.series.get(name);
      for (let k = 0; k < values.length; k++) {
        const want = args.columns[i][k];
        const got = values[k];
        if (!(Object.is(got, want) || (Number.isNaN(got) && want === null))) {
          bad.push(`${name}[${k}] = ${got}, CSV ${want}`);
          if (bad.length > 5) return bad;
        }
      }
    });
    args.time.forEach((t, k) => { if (r.time[k] !== t && bad.length < 6) bad.push(`time[${k}]`); });
    return bad;
  }, {
    names: scalarNames,
    columns: scalarNames.map((n) => rows.map((r) => {
      const v = asFloat(r[column(n)]);
      return Number.isNaN(v) ? null : v;
    })),
    time: csvTime,
  });
  check(mismatches.length === 0, 'scalar values equal the CSV: ' + mismatches.join('; '));

  // Every plot group drew something in its plotting area.
  const expected = ['waveform', 'spectrum', 'levels', 'hits', 'presence', 'beats', 'tempo',
                    'oscillators', 'clocks'];
  const drawn = await page.evaluate(() => window.korvalaReport.plots.map((p) => {
    const { left, top, width, height } = p.u.bbox;
    const pixels = p.u.ctx.getImageData(left, top, width, height).data;
    let inked = 0;
    const colours = new Set();
    for (let i = 0; i < pixels.length; i += 4) {
      const [r, g, b] = [pixels[i], pixels[i + 1], pixels[i + 2]];
      const marker = (r > 180 && g < 80 && b < 90) || (r < 60 && g > 130 && b > 120 && b < 160);
      if (!marker && Math.min(r, g, b) < 200) inked++;
      colours.add((r >> 4) * 256 + (g >> 4) * 16 + (b >> 4));
    }
    const points = p.u.data.slice(1).reduce(
      (n, s) => n + s.filter((v) => v !== null && Number.isFinite(v)).length, 0);
    return { id: p.id, inked: inked / (width * height), colours: colours.size, points };
  }));
  for (const id of expected) {
    const p = drawn.find((d) => d.id === id);
    check(p !== undefined, `plot ${id} exists`);
    if (!p) continue;
    check(p.inked > 0.002, `plot ${id} has ink in its plotting area (${(p.inked * 100).toFixed(2)} %)`);
    if (id !== 'spectrum') check(p.points > 0, `plot ${id} has data points`);
  }
  const spectrum = drawn.find((d) => d.id === 'spectrum');
  check(spectrum && spectrum.colours > 8, 'the spectrum picture shows more than a few colours');

  // Transition markers sit where the CSV puts them, in every plot.
  const marks = await page.evaluate(() => window.korvalaReport.plots.map((p) => ({
    id: p.id,
    frames: (p.u.korvalaMarks || { transitions: [] }).transitions.map((m) => m.frame),
    xs: (p.u.korvalaMarks || { transitions: [] }).transitions.map((m) => m.x),
    // Where a time belongs, worked out from the plot area and the axis range.
    want: window.korvalaReport.transitions.map((f) => {
      const dpr = devicePixelRatio || 1;
      const { min, max } = p.u.scales.x;
      return (p.u.bbox.left + ((window.korvalaReport.time[f] - min) / (max - min)) * p.u.bbox.width) / dpr;
    }),
  })));
  for (const m of marks) {
    check(JSON.stringify(m.frames) === JSON.stringify(csvTransitions),
          `plot ${m.id} marks transitions at frames ${JSON.stringify(m.frames)}`);
    check(m.xs.every((x, i) => Math.abs(x - m.want[i]) <= 1), `plot ${m.id} marker positions`);
  }
  // And they are really painted: the levels plot is red at each marker.
  const red = await page.evaluate((frames) => {
    const p = window.korvalaReport.plots.find((q) => q.id === 'levels');
    const u = p.u;
    const dpr = devicePixelRatio || 1;
    return frames.map((f) => {
      const x = Math.round(u.valToPos(window.korvalaReport.time[f], 'x', true));
      const y = Math.round(u.bbox.top + u.bbox.height * 0.5);
      const [r, g, b] = u.ctx.getImageData(x - Math.round(dpr / 2), y, 1, 1).data;
      return r > 180 && g < 80 && b < 90;
    });
  }, csvTransitions);
  check(red.every((v) => v), `transition markers painted red in the levels plot: ${JSON.stringify(red)}`);

  // Hovering moves the shared cursor and the readout shows that frame's values.
  async function hoverAt(fraction) {
    const box = await page.locator('#plot-levels .u-over').boundingBox();
    await page.mouse.move(box.x + box.width * fraction, box.y + box.height * 0.5);
    await page.waitForTimeout(50);
    return page.evaluate(() => {
      const r = window.korvalaReport;
      const levels = r.plots.find((p) => p.id === 'levels').u;
      const frame = Number(document.getElementById('readout-frame').dataset.frame);
      const cells = {};
      for (const td of document.querySelectorAll('#readout td.v')) cells[td.dataset.name] = td.textContent;
      return {
        frame,
        expected: r.nearestFrame(levels.posToVal(levels.cursor.left, 'x')),
        cursors: r.plots.map((p) => p.u.cursor.left),
        cursorTimes: r.plots.map((p) => p.u.posToVal(p.u.cursor.left, 'x')),
        secondsPerPixel: (levels.scales.x.max - levels.scales.x.min) / levels.over.clientWidth,
        cells,
      };
    });
  }
  const first = await hoverAt(0.4);
  const second = await hoverAt(0.7);
  for (const h of [first, second]) {
    check(h.frame === h.expected, `readout shows the hovered frame (${h.frame} vs ${h.expected})`);
    check(h.cursors.every((c) => Math.abs(c - h.cursors[0]) <= 1 && c >= 0) &&
          h.cursorTimes.every((t) => Math.abs(t - h.cursorTimes[0]) <= 1.5 * h.secondsPerPixel),
          `cursor shared by every plot at one time: ${JSON.stringify(h.cursors)}`);
    const row = rows[h.frame];
    const wrong = scalarNames.filter((n) => !(n in h.cells) ||
      !sameFloat(asFloat(h.cells[n]), asFloat(row[column(n)])));
    check(wrong.length === 0, `readout values equal the CSV row ${h.frame}: ${wrong.join(', ')}`);
  }
  check(second.frame > first.frame, 'moving the mouse right moves the cursor to a later frame');

  // Zooming narrows every plot's time axis alike; the whole-track button restores it.
  await page.click('#zoom-in');
  const zoomed = await page.evaluate(() => window.korvalaReport.plots.map(
    (p) => [p.u.scales.x.min, p.u.scales.x.max]));
  const full = csvTime.length ? csvTime[csvTime.length - 1] : 0;
  check(zoomed.every((z) => z[0] === zoomed[0][0] && z[1] === zoomed[0][1]) &&
        zoomed[0][1] - zoomed[0][0] < full * 0.6, `zoom applies to every plot: ${JSON.stringify(zoomed[0])}`);
  await page.click('#zoom-all');

  // Figures for people: tempo to 0.1 BPM, confidence to two digits, times as m:ss.mmm.
  const shown = await page.evaluate(() => ({
    bpm: document.getElementById('fact-bpm').textContent,
    median: document.getElementById('fact-median').textContent,
    duration: document.getElementById('fact-duration').textContent,
    where: document.getElementById('readout-frame').textContent,
  }));
  for (const key of ['bpm', 'median']) {
    check(/^(\d+\.\d BPM|n\/a), confidence (\d\.\d\d|n\/a)$/.test(shown[key]), `rounded ${key}: ${shown[key]}`);
  }
  check(shown.bpm.startsWith(summary.bpm.toFixed(1) + ' BPM, confidence ' + summary.bpm_confidence.toFixed(2)),
        `final tempo rounded from ${summary.bpm}: ${shown.bpm}`);
  check(/^0:30\.000 \(/.test(shown.duration), `duration as m:ss.mmm: ${shown.duration}`);
  check(/^frame \d+ · \d+:\d\d\.\d\d\d/.test(shown.where), `readout time as m:ss.mmm: ${shown.where}`);

  // Each group says what its signals mean, in the words of `korvala list`.
  const sentences = await page.evaluate(() => window.korvalaReport.groups.map((g) => ({
    id: g.id, want: g.sentence,
    got: (document.querySelector('#plot-' + g.id + ' .about') || {}).textContent,
  })));
  check(sentences.length >= 7 && sentences.every((x) => x.want && x.got === x.want),
        'a sentence under every group: ' + JSON.stringify(sentences.filter((x) => x.got !== x.want)));

  // Dense views become a band from each pixel's lowest to highest value around its mean.
  const envelope = await page.evaluate(() => {
    const r = window.korvalaReport;
    const names = r.groups.find((g) => g.id === 'oscillators').names;
    const arrays = names.map((n) => r.series.get(n));
    const out = r.viewData(arrays, 100);
    let ordered = true;
    let highest = -Infinity;
    for (let s = 0; s < arrays.length; s++) {
      for (let i = 0; i < out[0].length; i++) {
        const [line, lo, hi] = [out[3 * s + 1][i], out[3 * s + 2][i], out[3 * s + 3][i]];
        if (line !== null && !(lo <= line && line <= hi)) ordered = false;
      }
      if (s === 0) highest = Math.max(...out[3].filter((v) => v !== null));
    }
    return { points: out[0].length, ordered, highest, peak: Math.max(...arrays[0]) };
  });
  check(envelope.points <= 100 && envelope.ordered && envelope.highest === envelope.peak,
        `envelope per pixel keeps the peaks: ${JSON.stringify(envelope)}`);

  // Playback: Space starts the embedded audio and the cursor follows it.
  const hasAudio = await page.evaluate(() => new Promise((resolve) => {
    const a = window.korvalaReport.audio;
    if (!a) return resolve(null);
    if (a.readyState >= 1) return resolve(a.duration);
    a.addEventListener('loadedmetadata', () => resolve(a.duration), { once: true });
    setTimeout(() => resolve(a.duration), 10000);
  }));
  check(hasAudio !== null && Math.abs(hasAudio - 30) < 0.1, `the page holds 30 s of audio: ${hasAudio}`);
  if (hasAudio !== null) {
    await page.evaluate(() => { window.korvalaReport.audio.currentTime = 10; });
    await page.mouse.move(5, 5);
    await page.keyboard.press('Space');
    await page.waitForTimeout(1500);
    const playing = await page.evaluate(() => {
      const r = window.korvalaReport;
      const t = r.playheadTime();
      const levels = r.plots.find((p) => p.id === 'levels');
      return {
        paused: r.audio.paused,
        now: r.audio.currentTime,
        t,
        frame: r.readoutFrame(),
        frameTime: r.time[r.readoutFrame()],
        line: parseFloat(levels.playhead.style.left),
        want: levels.u.valToPos(t, 'x'),
        shown: levels.playhead.style.display,
      };
    });
    check(!playing.paused && playing.now > 10.5, `Space started playback: ${JSON.stringify(playing)}`);
    check(playing.t > 10.3 && Math.abs(playing.now - playing.t) < 0.25,
          `the cursor follows playback: ${JSON.stringify(playing)}`);
    check(Math.abs(playing.frameTime - playing.t) < 0.02, 'the readout shows the frame being played');
    check(playing.shown === 'block' && Math.abs(playing.line - playing.want) < 1, 'the play line sits at the playing time');
    await page.keyboard.press('Space');
    check(await page.evaluate(() => window.korvalaReport.audio.paused), 'Space stops playback');
  }

  check(consoleErrors.length === 0, 'no console errors: ' + consoleErrors.join(' | '));
  check(requests.length === 0, 'no network requests: ' + requests.join(' '));

  mkdirSync(artifactDir, { recursive: true });
  await hoverAt(0.55);
  const shot = path.join(artifactDir, 'report.png');
  await page.screenshot({ path: shot, fullPage: true });
  console.log('screenshot: ' + shot);
  // A second picture: eight seconds around the first transition (or the start).
  const centre = csvTransitions.length ? csvTime[csvTransitions[0]] : 4;
  await page.evaluate((c) => window.korvalaReport.setView(c - 4, c + 4), centre);
  await hoverAt(0.5);
  const zoomedShot = path.join(artifactDir, 'report-zoomed.png');
  await page.screenshot({ path: zoomedShot, fullPage: true });
  console.log('screenshot: ' + zoomedShot);
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
}

console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
