// The report page: reads the run's data object, draws the header, the waveform
// overview, the spectrum picture and one time plot per group of scalars, and
// keeps them on one time axis (zoom, pan, cursor). Plots show a min/max
// envelope when a view holds more frames than pixels; markers and the readout
// always use every frame.
(function () {
  'use strict';

  const started = performance.now();
  const timings = {};
  const data = JSON.parse(document.getElementById('korvala-data').textContent);
  timings.parse = performance.now() - started;

  function bytesOf(b64) {
    const text = atob(b64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    return bytes;
  }
  const f32 = (b64) => new Float32Array(bytesOf(b64).buffer);
  const f64 = (b64) => new Float64Array(bytesOf(b64).buffer);

  const time = f64(data.time);
  const frames = time.length;
  const settings = data.settings || {};
  const summary = data.summary || {};
  const frameSeconds = settings.fps_den / settings.fps_num;
  const duration = Math.max(summary.duration_seconds || 0, frames ? time[frames - 1] : 0);
  const series = new Map(data.scalars.map((s) => [s.name, f32(s.values)]));
  const transitions = data.transitions || [];
  const onsets = data.onsets || [];
  timings.decode = performance.now() - started - timings.parse;
  const transitionSet = new Set(transitions);
  const onsetSet = new Set(onsets);

  // ---- numbers --------------------------------------------------------------

  // The shortest text that reads back to the same single-precision value, as
  // `korvala analyze` prints it.
  function fmtFloat(v) {
    if (Number.isNaN(v)) return 'nan';
    if (v === Infinity) return 'inf';
    if (v === -Infinity) return '-inf';
    if (Object.is(v, -0)) return '-0';
    for (let p = 1; p <= 9; p++) {
      const text = v.toPrecision(p);
      if (Math.fround(Number(text)) === v) return String(Number(text));
    }
    return String(v);
  }
  const fmtOptional = (v) => (v === null || v === undefined ? 'n/a' : fmtFloat(Math.fround(v)));
  function fmtClock(seconds, decimals = 2) {
    const m = Math.floor(seconds / 60);
    const s = seconds - m * 60;
    const width = decimals > 0 ? decimals + 3 : 2;
    return m > 0 ? m + ':' + s.toFixed(decimals).padStart(width, '0') : s.toFixed(decimals) + ' s';
  }
  // Figures for people: m:ss.mmm, tempo to 0.1 BPM, confidence to two digits.
  function fmtTime(seconds) {
    if (!Number.isFinite(seconds)) return 'n/a';
    const ms = Math.round(seconds * 1000);
    const m = Math.floor(ms / 60000);
    const rest = ms - m * 60000;
    return m + ':' + String(Math.floor(rest / 1000)).padStart(2, '0') + '.' +
      String(rest % 1000).padStart(3, '0');
  }
  const fmtBpm = (v) => (v === null || v === undefined || !Number.isFinite(v) ? 'n/a' : v.toFixed(1) + ' BPM');
  const fmtConfidence = (v) => (v === null || v === undefined || !Number.isFinite(v) ? 'n/a' : v.toFixed(2));
  // Axis ticks with as few decimals as the tick spacing needs.
  function fmtTicks(splits) {
    const step = splits.length > 1 ? Math.abs(splits[1] - splits[0]) : 1;
    const decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : 3;
    return splits.map((v) => fmtClock(v, decimals));
  }

  // ---- groups ---------------------------------------------------------------

  const unit = (u, min, max) => [Math.min(0, min), Math.max(1, max)];
  // How each group is drawn; which names it holds and what they mean come
  // from the same table as `korvala list` (data.groups).
  const LOOKS = {
    levels: { range: unit },
    hits: { range: unit },
    presence: { range: unit },
    beats: { range: unit, onsets: true, hint: 'ticks: onsets' },
    tempo: { hint: 'BPM left, confidence right', right: { name: 'kor_BPMConfidence', range: unit } },
    oscillators: { range: unit, hint: 'Twitcher on the right', right: { name: 'kor_BPMTwitcher' } },
    clocks: {},
    felt: { hint: 'BPM left, confidence right', right: { name: 'felt_Confidence', range: unit } },
    music: { range: unit },
  };
  const GROUPS = (data.groups || []).filter((g) => g.id in LOOKS).map((g) => Object.assign(
    { id: g.id, title: g.title, sentence: g.sentence, names: g.names.slice() }, LOOKS[g.id]));
  const grouped = new Set(GROUPS.flatMap((g) => g.names));
  const others = data.scalars.map((s) => s.name).filter((n) => !grouped.has(n));
  if (others.length) GROUPS.push({ id: 'other', title: 'Other', sentence: '', names: others });
  for (const g of GROUPS) g.names = g.names.filter((n) => series.has(n));
  const groups = GROUPS.filter((g) => g.names.length > 0);

  // No reds: red is kept for the transition markers.
  const PALETTE = ['#1f77b4', '#ff9f1c', '#2a9d3f', '#9b5de5', '#00a6c8', '#8c564b',
                   '#b5b800', '#6b7385', '#e377c2'];
  const shortName = (n) => (n.startsWith('kor_') ? n.slice(4) : n);

  // ---- header -----------------------------------------------------------------

  function fact(label, value, id) {
    const div = document.createElement('div');
    const dt = document.createElement('dt');
    const dd = document.createElement('dd');
    dt.textContent = label;
    dd.textContent = value;
    if (id) dd.id = id;
    div.append(dt, dd);
    document.getElementById('facts').append(div);
  }
  document.getElementById('title').textContent = 'korvala report: ' + (summary.input || '?');
  document.title = 'korvala report: ' + (summary.input || '?');
  fact('File', summary.input, 'fact-input');
  fact('Format', summary.format + ', ' + summary.input_sample_rate + ' Hz, ' +
       summary.input_channels + (summary.input_channels === 1 ? ' channel' : ' channels'));
  fact('Duration', fmtTime(summary.duration_seconds) + ' (' + summary.samples + ' samples)',
       'fact-duration');
  fact('Sample-rate conversion', summary.sample_rate_conversion);
  // The rule of every summary: a median confidence below 0.5 over the last half is no steady beat.
  if (summary.steady_beat === false) {
    fact('Tempo', 'no steady beat (median confidence over the last half ' +
         fmtConfidence(data.median_confidence_last_half) + ')', 'fact-bpm');
  } else {
    fact('Tempo (final)', fmtBpm(summary.bpm) + ', confidence ' +
         fmtConfidence(summary.bpm_confidence), 'fact-bpm');
    fact('Tempo (median, last half)', fmtBpm(summary.median_bpm_last_half) +
         ', confidence ' + fmtConfidence(data.median_confidence_last_half), 'fact-median');
  }
  if (summary.felt_bpm !== null && summary.felt_bpm !== undefined) {
    fact('Felt tempo (final)', fmtBpm(summary.felt_bpm) + ', confidence ' +
         fmtConfidence(summary.felt_confidence), 'fact-felt');
  }
  fact('Transitions', String(summary.transitions), 'fact-transitions');
  fact('Beats', (summary.beats_counted === null ? 'n/a' : String(summary.beats_counted)) +
       ' counted (kor_BeatTime), ' +
       onsets.length + ' onsets marked', 'fact-beats');
  fact('Frames', summary.frames + ' at ' + (summary.fps_ratio || summary.fps) + ' fps, ' + summary.blocks +
       ' blocks of ' + summary.block_size);
  fact('Settings', 'reactivity ' + fmtOptional(settings.reactivity) + ', audio speed ' +
       fmtOptional(settings.audio_speed) + ', fps ' + (summary.fps_ratio || summary.fps) + ', block ' +
       summary.block_size, 'fact-settings');
  if (data.transition_explanation) {
    const about = document.createElement('details');
    about.id = 'about-transitions';
    const what = document.createElement('summary');
    what.textContent = 'What fires a transition?';
    const text = document.createElement('p');
    text.textContent = data.transition_explanation;
    about.append(what, text);
    document.querySelector('header').append(about);
  }

  // ---- view state and decimation ---------------------------------------------

  const view = { min: 0, max: duration > 0 ? duration : 1 };
  const plots = [];

  function lowerBound(v) {
    let lo = 0;
    let hi = frames;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (time[mid] < v) lo = mid + 1; else hi = mid;
    }
    return lo;
  }
  function nearestFrame(t) {
    if (frames === 0) return -1;
    const i = lowerBound(t);
    if (i <= 0) return 0;
    if (i >= frames) return frames - 1;
    return t - time[i - 1] <= time[i] - t ? i - 1 : i;
  }
  const finiteOrNull = (v) => (Number.isFinite(v) ? v : null);

  // The group's data for the current view. Each series is drawn as three: a
  // line, and the lowest and highest value filling a band between them. When
  // the frames fit in about two per pixel the line is every frame and there is
  // no band; else each pixel gets one point: the line at the pixel's mean and
  // the band from its lowest to its highest value (so no peak is lost and a
  // fast oscillation reads as a band around its mean, not a solid block).
  function viewData(arrays, pixels) {
    const i0 = Math.max(0, lowerBound(view.min) - 1);
    const i1 = Math.min(frames - 1, lowerBound(view.max));
    const count = i1 - i0 + 1;
    const out = [[]];
    for (let s = 0; s < arrays.length; s++) out.push([], [], []);
    if (count <= 0) return out;
    const buckets = Math.max(1, Math.floor(pixels));
    if (count <= 2 * buckets) {
      for (let i = i0; i <= i1; i++) {
        out[0].push(time[i]);
        for (let s = 0; s < arrays.length; s++) {
          out[3 * s + 1].push(finiteOrNull(arrays[s][i]));
          out[3 * s + 2].push(null);
          out[3 * s + 3].push(null);
        }
      }
      return out;
    }
    for (let b = 0; b < buckets; b++) {
      const first = i0 + Math.floor((b * count) / buckets);
      const last = i0 + Math.floor(((b + 1) * count) / buckets) - 1;
      if (last < first) continue;
      out[0].push((time[first] + time[last]) / 2);
      for (let s = 0; s < arrays.length; s++) {
        const a = arrays[s];
        let lo = Infinity;
        let hi = -Infinity;
        let sum = 0;
        let n = 0;
        for (let i = first; i <= last; i++) {
          const v = a[i];
          if (!Number.isFinite(v)) continue;
          if (v < lo) lo = v;
          if (v > hi) hi = v;
          sum += v;
          n++;
        }
        out[3 * s + 1].push(n ? sum / n : null);
        out[3 * s + 2].push(n ? lo : null);
        out[3 * s + 3].push(n ? hi : null);
      }
    }
    return out;
  }

  // ---- markers ----------------------------------------------------------------

  // Draws every transition (full height) and, on the beat plot, every onset
  // (a tick at the foot) inside the view, and records where they went.
  function drawMarkers(u, withOnsets) {
    const ctx = u.ctx;
    const { left, top, width, height } = u.bbox;
    const dpr = devicePixelRatio || 1;
    const drawn = { transitions: [], onsets: 0 };
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, top, width, height);
    ctx.clip();
    const xAt = (frame) => Math.round(u.valToPos(time[frame], 'x', true));
    const visible = (frame) => time[frame] >= u.scales.x.min && time[frame] <= u.scales.x.max;
    if (withOnsets) {
      ctx.fillStyle = '#1b998b';
      const tick = Math.max(6 * dpr, height * 0.12);
      for (const f of onsets) {
        if (!visible(f)) continue;
        ctx.fillRect(xAt(f) - dpr / 2, top + height - tick, dpr, tick);
        drawn.onsets++;
      }
    }
    // A transition: a red line over the full height with a flag at the top.
    ctx.fillStyle = '#d62839';
    const flag = 5 * dpr;
    for (const f of transitions) {
      if (!visible(f)) continue;
      const x = xAt(f);
      ctx.fillRect(x - dpr, top, 2 * dpr, height);
      ctx.beginPath();
      ctx.moveTo(x - flag, top);
      ctx.lineTo(x + flag, top);
      ctx.lineTo(x, top + 1.6 * flag);
      ctx.closePath();
      ctx.fill();
      drawn.transitions.push({ frame: f, x: x / dpr });
    }
    ctx.restore();
    u.korvalaMarks = drawn;
  }

  // ---- shared cursor readout --------------------------------------------------

  const escapeHtml = (text) => String(text).replace(/[&<>"]/g,
    (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
  const readout = document.getElementById('readout');
  let readoutFrame = -1;
  function showReadout(frame) {
    if (frame === readoutFrame || frame < 0) return;
    readoutFrame = frame;
    const parts = [];
    let flags = '';
    if (transitionSet.has(frame)) flags += '<span class="flag transition">transition</span>';
    if (onsetSet.has(frame)) flags += '<span class="flag onset">onset</span>';
    parts.push('<div class="where" id="readout-frame" data-frame="' + frame + '">frame ' + frame +
               ' &middot; ' + fmtTime(time[frame]) + flags + '</div>');
    for (const g of groups) {
      parts.push('<h3>' + escapeHtml(g.title) + '</h3><table>');
      g.names.forEach((name, i) => {
        parts.push('<tr><td><span class="swatch" style="background:' +
                   PALETTE[i % PALETTE.length] + '"></span>' + escapeHtml(name) +
                   '</td><td class="v" data-name="' + escapeHtml(name) + '">' +
                   fmtFloat(series.get(name)[frame]) + '</td></tr>');
      });
      parts.push('</table>');
    }
    readout.innerHTML = parts.join('');
  }
  function onCursor(u) {
    const left = u.cursor.left;
    if (left === undefined || left === null || left < 0) return;
    showReadout(nearestFrame(u.posToVal(left, 'x')));
  }

  // ---- plots --------------------------------------------------------------------

  const plotsDiv = document.getElementById('plots');
  const plotWidth = () => Math.max(320, plotsDiv.clientWidth - 32);
  const syncKey = 'korvala';

  function section(id, title, sub, sentence) {
    const div = document.createElement('section');
    div.className = 'plot';
    div.id = 'plot-' + id;
    const head = document.createElement('div');
    head.className = 'head';
    const h2 = document.createElement('h2');
    h2.textContent = title;
    if (sub) {
      const span = document.createElement('span');
      span.className = 'sub';
      span.textContent = sub;
      h2.append(span);
    }
    head.append(h2);
    div.append(head);
    if (sentence) {
      const p = document.createElement('p');
      p.className = 'about';
      p.textContent = sentence;
      div.append(p);
    }
    plotsDiv.append(div);
    return div;
  }

  function baseOptions(height, extraHooks) {
    return {
      width: plotWidth(),
      height,
      legend: { show: false },
      cursor: {
        sync: { key: syncKey, setSeries: false },
        drag: { x: true, y: false, setScale: false },
        points: { show: false },
        bind: { dblclick: () => null },
      },
      scales: { x: { time: false, auto: false, range: () => [view.min, view.max] } },
      axes: [
        { values: (u, splits) => fmtTicks(splits), size: 30, grid: { stroke: '#eceef2' } },
        { size: 56, grid: { stroke: '#eceef2' } },
        // A blank right axis, so every plot area has the same width as the
        // tempo plot's (whose right axis is the confidence) and times line up.
        { side: 1, size: 56, stroke: 'transparent', grid: { show: false },
          ticks: { show: false }, values: (u, splits) => splits.map(() => '') },
      ],
      hooks: Object.assign({ setSelect: [onSelect], setCursor: [onCursor] }, extraHooks || {}),
    };
  }

  // '#1f77b4' with alpha, for a band.
  function translucent(hex, alpha) {
    const n = parseInt(hex.slice(1), 16);
    return 'rgba(' + (n >> 16) + ', ' + ((n >> 8) & 255) + ', ' + (n & 255) + ', ' + alpha + ')';
  }

  function addGroupPlot(g) {
    const div = section(g.id, g.title, g.hint, g.sentence);
    const arrays = g.names.map((n) => series.get(n));
    const opts = baseOptions(g.id === 'clocks' || g.id === 'tempo' ? 150 : 170, {
      draw: [(u) => drawMarkers(u, !!g.onsets)],
    });
    opts.legend = { show: true, live: false };
    opts.series = [{ label: 'time' }];
    opts.bands = [];
    g.names.forEach((name, i) => {
      const colour = PALETTE[i % PALETTE.length];
      const scale = g.right && g.right.name === name ? 'right' : 'y';
      opts.series.push(
        { label: shortName(name), stroke: colour, width: 1.25, scale, points: { show: false } },
        { label: shortName(name) + ' low', stroke: 'transparent', width: 0, scale, points: { show: false } },
        { label: shortName(name) + ' high', stroke: 'transparent', width: 0, scale, points: { show: false } });
      opts.bands.push({ series: [3 * i + 3, 3 * i + 2], fill: translucent(colour, 0.22) });
    });
    opts.scales.y = g.range ? { range: g.range } : {};
    // One series with a range of its own gets the right-hand axis.
    if (g.right && g.names.includes(g.right.name)) {
      opts.scales.right = g.right.range ? { range: g.right.range } : {};
      opts.axes[2] = { scale: 'right', side: 1, size: 56, grid: { show: false },
                       stroke: PALETTE[g.names.indexOf(g.right.name) % PALETTE.length] };
    }
    const u = new uPlot(opts, viewData(arrays, opts.width), div);
    // The band series need no legend entry of their own.
    u.root.querySelectorAll('.u-legend .u-series').forEach((row, k) => {
      if (k % 3 !== 0) row.style.display = 'none';
    });
    plots.push({ id: g.id, title: g.title, names: g.names, u, refresh: () => viewData(arrays, u.bbox.width / (devicePixelRatio || 1)) });
  }

  function addWaveformPlot() {
    const w = data.waveform;
    const min = f32(w.min);
    const max = f32(w.max);
    const xs = [];
    for (let i = 0; i < min.length; i++) xs.push((i * w.samples_per_bucket) / w.sample_rate);
    let peak = 0;
    for (let i = 0; i < min.length; i++) peak = Math.max(peak, Math.abs(min[i]), Math.abs(max[i]));
    peak = peak > 0 ? peak : 1;
    const div = section('waveform', 'Waveform', 'lowest and highest sample per ' +
                        w.samples_per_bucket + ' samples');
    const opts = baseOptions(110, { draw: [(u) => drawMarkers(u, false)] });
    opts.series = [{}, { stroke: '#41597a', width: 1, points: { show: false } },
                   { stroke: '#41597a', width: 1, points: { show: false } }];
    opts.bands = [{ series: [2, 1], fill: 'rgba(65, 89, 122, 0.55)' }];
    opts.scales.y = { range: () => [-peak, peak] };
    const wave = [xs, Array.from(min), Array.from(max)];
    const u = new uPlot(opts, wave, div);
    plots.push({ id: 'waveform', title: 'Waveform', names: [], u, refresh: () => wave });
  }

  // A colour ramp from dark blue through magenta to pale yellow.
  function colourRamp() {
    const stops = [[0, 12, 16, 40], [0.35, 92, 26, 120], [0.6, 200, 55, 90],
                   [0.82, 250, 150, 60], [1, 252, 245, 190]];
    const lut = new Uint8ClampedArray(256 * 3);
    for (let i = 0; i < 256; i++) {
      const t = i / 255;
      let k = 0;
      while (k < stops.length - 2 && t > stops[k + 1][0]) k++;
      const a = stops[k];
      const b = stops[k + 1];
      const f = (t - a[0]) / (b[0] - a[0]);
      for (let c = 0; c < 3; c++) lut[i * 3 + c] = a[c + 1] + (b[c + 1] - a[c + 1]) * f;
    }
    return lut;
  }

  function addSpectrumPlot() {
    const sp = data.spectra;
    const lut = colourRamp();
    const images = new Map();
    for (const img of sp.images) {
      const pixels = bytesOf(img.pixels);
      const canvas = document.createElement('canvas');
      canvas.width = Math.max(1, sp.columns);
      canvas.height = sp.rows;
      const ctx = canvas.getContext('2d');
      const im = ctx.createImageData(canvas.width, canvas.height);
      for (let c = 0; c < sp.columns; c++) {
        for (let r = 0; r < sp.rows; r++) {
          const v = pixels[c * sp.rows + r];
          const o = ((sp.rows - 1 - r) * canvas.width + c) * 4;
          im.data[o] = lut[v * 3];
          im.data[o + 1] = lut[v * 3 + 1];
          im.data[o + 2] = lut[v * 3 + 2];
          im.data[o + 3] = 255;
        }
      }
      ctx.putImageData(im, 0, 0);
      images.set(img.name, canvas);
    }
    let current = sp.images[0].name;
    const vectors = (data.groups || []).find((g) => g.id === 'vectors');
    const div = section('spectrum', 'Spectrum', 'log frequency (Hz), brighter is louder',
                        vectors ? vectors.sentence : '');
    const sw = document.createElement('span');
    sw.className = 'switch';
    for (const img of sp.images) {
      const b = document.createElement('button');
      b.type = 'button';
      b.textContent = img.name;
      b.dataset.name = img.name;
      b.setAttribute('aria-pressed', String(img.name === current));
      b.addEventListener('click', () => {
        current = img.name;
        for (const other of sw.children) {
          other.setAttribute('aria-pressed', String(other.dataset.name === current));
        }
        u.redraw(false);
      });
      sw.append(b);
    }
    div.querySelector('.head').append(sw);

    // Row r starts near bin bins^(r / rows): a frequency's row position.
    const binHz = 44100 / 2048;
    const rowOfHz = (hz) => (sp.rows * Math.log(Math.max(1, hz / binHz))) / Math.log(sp.bins);
    const marks = [50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000];
    const columnSeconds = sp.frames_per_column * frameSeconds;
    const opts = baseOptions(200, {
      draw: [(u) => {
        const canvas = images.get(current);
        const ctx = u.ctx;
        const { left, top, width, height } = u.bbox;
        const c0 = Math.max(0, u.scales.x.min / columnSeconds);
        const c1 = Math.min(sp.columns, u.scales.x.max / columnSeconds);
        if (c1 > c0) {
          const x0 = u.valToPos(c0 * columnSeconds, 'x', true);
          const x1 = u.valToPos(c1 * columnSeconds, 'x', true);
          ctx.save();
          ctx.beginPath();
          ctx.rect(left, top, width, height);
          ctx.clip();
          ctx.imageSmoothingEnabled = false;
          ctx.drawImage(canvas, c0, 0, c1 - c0, sp.rows, x0, top, x1 - x0, height);
          ctx.restore();
        }
        drawMarkers(u, false);
      }],
    });
    opts.series = [{}, { show: false }];
    opts.scales.y = { auto: false, range: () => [0, sp.rows] };
    opts.axes[1] = {
      size: 56,
      grid: { show: false },
      splits: () => marks.map(rowOfHz).filter((r) => r > 0 && r < sp.rows),
      values: (u, splits) => splits.map((r) => {
        const hz = marks.find((m) => Math.abs(rowOfHz(m) - r) < 1e-9);
        return hz >= 1000 ? hz / 1000 + 'k' : String(hz);
      }),
    };
    const flat = [[view.min, view.max], [null, null]];
    const u = new uPlot(opts, flat, div);
    plots.push({ id: 'spectrum', title: 'Spectrum', names: [], u, refresh: () => flat,
                 current: () => current });
  }

  // ---- zoom and pan -----------------------------------------------------------

  function setView(min, max) {
    const minSpan = Math.min(duration, 20 * frameSeconds);
    let span = Math.max(minSpan, Math.min(duration, max - min));
    let lo = Math.max(0, Math.min(min, duration - span));
    if (!(span > 0)) { lo = 0; span = duration > 0 ? duration : 1; }
    view.min = lo;
    view.max = lo + span;
    for (const p of plots) {
      p.u.batch(() => {
        p.u.setData(p.refresh(), false);
        p.u.setScale('x', { min: view.min, max: view.max });
      });
    }
    document.getElementById('view-range').textContent =
      fmtTime(view.min) + ' – ' + fmtTime(view.max);
    placePlayheads();
  }
  function onSelect(u) {
    const sel = u.select;
    if (sel.width > 2) {
      const a = u.posToVal(sel.left, 'x');
      const b = u.posToVal(sel.left + sel.width, 'x');
      u.setSelect({ left: 0, top: 0, width: 0, height: 0 }, false);
      setView(a, b);
    }
  }
  const zoomBy = (factor, centre) => {
    const c = centre === undefined ? (view.min + view.max) / 2 : centre;
    setView(c - (c - view.min) * factor, c + (view.max - c) * factor);
  };
  const panBy = (fraction) => {
    const span = view.max - view.min;
    setView(view.min + span * fraction, view.max + span * fraction);
  };

  // ---- playback ---------------------------------------------------------------

  // The page plays its embedded copy of the audio; while it plays, a line in
  // every plot and the readout follow it, and the view turns a page when the
  // line reaches its edge. Space starts and stops, a click in a plot seeks.
  let audio = null;
  let playheadTime = null;
  if (data.audio && data.audio.base64) {
    audio = document.createElement('audio');
    audio.id = 'audio';
    audio.controls = true;
    audio.preload = 'auto';
    audio.src = 'data:' + data.audio.mime + ';base64,' + data.audio.base64;
    document.getElementById('player').append(audio);
  } else {
    document.getElementById('player').textContent =
      data.audio_problem ? 'No audio: ' + data.audio_problem : 'No audio in this report';
  }
  function placePlayheads() {
    for (const p of plots) {
      if (!p.playhead) continue;
      const visible = playheadTime !== null && playheadTime >= view.min && playheadTime <= view.max;
      p.playhead.style.display = visible ? 'block' : 'none';
      if (visible) p.playhead.style.left = p.u.valToPos(playheadTime, 'x') + 'px';
    }
  }
  function showPlayhead(t) {
    playheadTime = t;
    if (t > view.max || t < view.min) {
      const span = view.max - view.min;
      setView(t - span * 0.05, t - span * 0.05 + span);
    } else {
      placePlayheads();
    }
    showReadout(nearestFrame(t));
  }
  function follow() {
    if (!audio || audio.paused) return;
    showPlayhead(audio.currentTime);
    requestAnimationFrame(follow);
  }
  const togglePlayback = () => {
    if (!audio) return;
    if (audio.paused) audio.play(); else audio.pause();
  };
  if (audio) {
    audio.addEventListener('play', () => requestAnimationFrame(follow));
    for (const ev of ['pause', 'seeked']) {
      audio.addEventListener(ev, () => showPlayhead(audio.currentTime));
    }
  }

  // ---- build ------------------------------------------------------------------

  const buildStart = performance.now();
  if (data.waveform) addWaveformPlot();
  if (data.spectra && data.spectra.images.length && data.spectra.columns > 0) addSpectrumPlot();
  for (const g of groups) addGroupPlot(g);

  for (const p of plots) {
    if (audio) {
      p.playhead = document.createElement('div');
      p.playhead.className = 'playhead';
      p.u.over.append(p.playhead);
      p.u.over.addEventListener('click', (e) => {
        audio.currentTime = Math.max(0, p.u.posToVal(e.offsetX, 'x'));
      });
    }
    p.u.over.addEventListener('dblclick', () => setView(0, duration));
    p.u.over.addEventListener('wheel', (e) => {
      if (!(e.ctrlKey || e.metaKey || e.shiftKey)) return;
      e.preventDefault();
      if (e.shiftKey) {
        panBy(Math.sign(e.deltaY || e.deltaX) * 0.15);
      } else {
        zoomBy(e.deltaY > 0 ? 1.25 : 0.8, p.u.posToVal(e.offsetX, 'x'));
      }
    }, { passive: false });
  }
  document.getElementById('zoom-in').addEventListener('click', () => zoomBy(0.5));
  document.getElementById('zoom-out').addEventListener('click', () => zoomBy(2));
  document.getElementById('pan-left').addEventListener('click', () => panBy(-0.25));
  document.getElementById('pan-right').addEventListener('click', () => panBy(0.25));
  document.getElementById('zoom-all').addEventListener('click', () => setView(0, duration));
  document.addEventListener('keydown', (e) => {
    if (e.target instanceof HTMLInputElement) return;
    if (e.key === ' ') {
      // The player's own controls handle Space when they have the focus.
      if (e.target !== audio) {
        e.preventDefault();
        togglePlayback();
      }
      return;
    }
    if (e.key === '+' || e.key === '=') zoomBy(0.5);
    else if (e.key === '-') zoomBy(2);
    else if (e.key === 'ArrowLeft') panBy(-0.25);
    else if (e.key === 'ArrowRight') panBy(0.25);
    else if (e.key === '0') setView(0, duration);
  });
  let resizeTimer = 0;
  window.addEventListener('resize', () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(() => {
      for (const p of plots) p.u.setSize({ width: plotWidth(), height: p.u.height });
      setView(view.min, view.max);
    }, 100);
  });
  timings.plots = performance.now() - buildStart;
  const viewStart = performance.now();
  setView(0, duration);
  timings.firstView = performance.now() - viewStart;
  if (frames > 0) showReadout(0);
  timings.total = performance.now() - started;

  // For tests and for poking at the data from the console.
  window.korvalaReport = {
    data, time, series, transitions, onsets, groups, plots, view,
    setView, nearestFrame, fmtFloat, fmtTime, viewData, audio,
    playheadTime: () => playheadTime,
    readoutFrame: () => readoutFrame,
    timings, // milliseconds spent parsing, decoding, building and drawing the first view
  };
})();
