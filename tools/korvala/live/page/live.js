'use strict';
// The live page: receives every frame of the running engine as a
// Server-Sent Event, draws the newest one at display rate and sends the two
// controls back. Everything it needs comes from the server that served it.
(() => {
  const $ = (id) => document.getElementById(id);
  const STRIP_SECONDS = 10;
  const STRIPS = [
    ['kor_Level', '#4fc3f7'], ['kor_BassLevel', '#e57373'], ['kor_Hits', '#ffb74d'],
    ['kor_OnBeat', '#ba68c8'], ['kor_BPMConfidence', '#81c784'], ['kor_Intensity', '#fff176'],
  ];
  const BANDS = [
    ['all', 'kor_Level', 'kor_Hits', 'kor_Presence'],
    ['bass', 'kor_BassLevel', 'kor_BassHits', 'kor_BassPresence'],
    ['mid', 'kor_MidLevel', 'kor_MidHits', 'kor_MidPresence'],
    ['mid-high', 'kor_MidHighLevel', 'kor_MidHighHits', 'kor_MidHighPresence'],
    ['high', 'kor_HighLevel', 'kor_HighHits', 'kor_HighPresence'],
  ];
  const OSCILLATORS = ['kor_BPMSin', 'kor_BPMTri', 'kor_BPMSin2', 'kor_BPMTri2', 'kor_BPMSin4',
    'kor_BPMTri4', 'kor_BPMSin8', 'kor_BPMTri8', 'kor_BPMTwitcher'];

  // Readable by scripts and tests: what arrived and what is shown.
  const live = window.korvalaLive = {
    names: [], vectorNames: [], received: 0, rate: 0, latencies: [], last: null, shown: null,
    paused: false, ended: false, beats: 0, transitions: 0, audio: false,
  };
  const index = {};
  const vectorIndex = {};
  const arrivals = [];
  const samples = [];
  let wasOnBeat = false;
  let beatLit = 0;
  let transitionLit = 0;
  let dragging = null;
  const rows = {};

  const value = (frame, name) => (name in index ? frame.s[index[name]] : 0);
  const vector = (frame, name) => (name in vectorIndex ? frame.v[vectorIndex[name]] : []);

  function buildTable() {
    const body = $('values').tBodies[0];
    body.textContent = '';
    for (const name of live.names) {
      const row = body.insertRow();
      row.insertCell().textContent = name;
      const cell = row.insertCell();
      cell.dataset.name = name;
      rows[name] = cell;
    }
  }

  const source = new EventSource('/events');
  source.addEventListener('hello', (event) => {
    const hello = JSON.parse(event.data);
    live.names = hello.scalars;
    live.vectorNames = hello.vectors;
    hello.scalars.forEach((name, k) => { index[name] = k; });
    hello.vectors.forEach((name, k) => { vectorIndex[name] = k; });
    $('title').textContent = hello.title ? '— ' + hello.title : '';
    document.title = 'korvala live' + (hello.title ? ' — ' + hello.title : '');
    live.audio = hello.audio;
    if (hello.audio && !$('audio').src) {
      $('audio-box').hidden = false;
      $('audio').src = '/audio';
    }
    buildTable();
    $('state').textContent = 'live';
    $('state').className = 'state live';
  });
  source.onmessage = (event) => {
    const frame = JSON.parse(event.data);
    const now = performance.now();
    live.received += 1;
    arrivals.push(now);
    while (arrivals.length && arrivals[0] < now - 1000) arrivals.shift();
    live.rate = arrivals.length;
    live.latencies.push(Date.now() - frame.wall);
    if (live.latencies.length > 600) live.latencies.shift();
    if (live.last && frame.tr > live.last.tr) transitionLit = 1;
    live.transitions = frame.tr;
    const onBeat = value(frame, 'kor_OnBeat') > 0.5;
    if (onBeat && !wasOnBeat) {
      live.beats += 1;
      beatLit = 1;
    }
    wasOnBeat = onBeat;
    samples.push({ t: frame.t, v: STRIPS.map(([name]) => value(frame, name)) });
    while (samples.length && samples[0].t < frame.t - STRIP_SECONDS - 1) samples.shift();
    live.last = frame;
    if (!live.paused) live.shown = frame;
  };
  source.addEventListener('end', () => {
    live.ended = true;
    source.close();
    $('state').textContent = 'ended';
    $('state').className = 'state ended';
  });
  source.onerror = () => {
    if (!live.ended) {
      $('state').textContent = 'reconnecting…';
      $('state').className = 'state';
    }
  };

  // Controls: sent while the slider moves (at most every 50 ms) and when it is let go.
  for (const name of ['reactivity', 'audioSpeed']) {
    const slider = $(name);
    let timer = null;
    const send = () => {
      timer = null;
      fetch('/control', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ name, value: Number(slider.value) }),
      }).catch(() => {});
    };
    slider.addEventListener('input', () => {
      dragging = name;
      $(name + '-value').textContent = Number(slider.value).toFixed(2);
      if (!timer) timer = setTimeout(send, 50);
    });
    slider.addEventListener('change', () => {
      dragging = null;
      if (timer) clearTimeout(timer);
      send();
    });
  }

  function togglePause() {
    live.paused = !live.paused;
    $('pause').textContent = live.paused ? 'Resume' : 'Pause';
    $('pause').classList.toggle('on', live.paused);
    if (live.paused) {
      $('audio').pause();
    }
    // The frozen (or resumed) frame is on screen at once, not at the next repaint.
    live.shown = live.last;
    if (live.shown) showNumbers(live.shown);
  }
  $('pause').addEventListener('click', togglePause);
  document.addEventListener('keydown', (event) => {
    if (event.code === 'Space' && event.target.tagName !== 'INPUT') {
      event.preventDefault();
      togglePause();
    }
  });
  $('play').addEventListener('click', () => { $('audio').play().catch(() => {}); });

  // The audio plays where the engine is: the newest frame's time plus the time since it was sent.
  function syncAudio() {
    const audio = $('audio');
    if (!live.audio || !live.last || live.paused) return;
    const expected = live.last.t + (Date.now() - live.last.wall) / 1000;
    if (live.ended && expected > audio.duration) return;
    if (audio.paused) {
      audio.play().then(() => { $('audio-state').textContent = 'playing'; })
        .catch(() => { $('audio-state').textContent = 'press Play audio'; });
    }
    if (Math.abs(audio.currentTime - expected) > 0.12) audio.currentTime = expected;
  }

  function fit(canvas) {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.round(canvas.clientWidth * ratio);
    const height = Math.round(canvas.height * (width / canvas.width) || canvas.height);
    if (width > 0 && canvas.width !== width) {
      canvas.width = width;
      canvas.height = height;
    }
    const context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    return context;
  }

  function drawLevels(frame) {
    const canvas = $('levels');
    const g = fit(canvas);
    const w = canvas.width / BANDS.length;
    const h = canvas.height - 18;
    BANDS.forEach(([label, level, hits, presence], k) => {
      const x = k * w + w * 0.2;
      const hit = Math.min(1, value(frame, hits));
      g.fillStyle = `rgba(255, 183, 77, ${0.15 + 0.85 * hit})`;
      g.fillRect(x - 3, 0, w * 0.6 + 6, h);
      g.fillStyle = '#0c1014';
      g.fillRect(x, 0, w * 0.6, h);
      g.fillStyle = '#4fc3f7';
      const v = Math.min(1, value(frame, level));
      g.fillRect(x, h * (1 - v), w * 0.6, h * v);
      g.fillStyle = '#81c784';
      g.fillRect(x, h * (1 - Math.min(1, value(frame, presence))) - 1, w * 0.6, 2);
      g.fillStyle = '#8a96a0';
      g.font = `${12 * (window.devicePixelRatio || 1)}px system-ui`;
      g.fillText(label, x, canvas.height - 4);
    });
  }

  function drawOscillators(frame) {
    const canvas = $('oscillators');
    const g = fit(canvas);
    const rowHeight = canvas.height / OSCILLATORS.length;
    const scale = window.devicePixelRatio || 1;
    g.font = `${10 * scale}px system-ui`;
    OSCILLATORS.forEach((name, k) => {
      const y = (k + 0.5) * rowHeight;
      let v = value(frame, name);
      if (name === 'kor_BPMTwitcher') v -= Math.floor(v);
      g.fillStyle = '#8a96a0';
      g.fillText(name.replace('kor_BPM', ''), 2, y + 3 * scale);
      const left = 70 * scale;
      const span = canvas.width - left - 10;
      g.fillStyle = '#222c35';
      g.fillRect(left, y - 1, span, 2);
      g.fillStyle = '#ba68c8';
      g.beginPath();
      g.arc(left + span * Math.max(0, Math.min(1, v)), y, rowHeight * 0.3, 0, 2 * Math.PI);
      g.fill();
    });
  }

  const peaks = {};
  function drawSeries(canvas, values, options) {
    const g = fit(canvas);
    if (!values.length) return;
    const n = values.length;
    const mapped = options.log ? values.map((v) => Math.log10(1e-9 + Math.abs(v))) : values;
    let low = options.centered ? -1 : 0;
    let high = 1;
    if (options.log) {
      high = Math.max(...mapped);
      low = high - 8;
    } else {
      const peak = Math.max(1e-9, ...mapped.map(Math.abs));
      peaks[canvas.id] = Math.max(peak, (peaks[canvas.id] || peak) * 0.98);
      high = peaks[canvas.id];
      if (options.centered) low = -high;
    }
    g.strokeStyle = options.color;
    g.lineWidth = window.devicePixelRatio || 1;
    g.beginPath();
    for (let k = 0; k < n; k += 1) {
      // Spectra on a logarithmic frequency axis, the waveform on a linear time axis.
      const x = options.logX ? (Math.log(k + 1) / Math.log(n)) * canvas.width
        : (k / (n - 1)) * canvas.width;
      const y = canvas.height * (1 - (mapped[k] - low) / (high - low || 1));
      if (k === 0) g.moveTo(x, y); else g.lineTo(x, y);
    }
    g.stroke();
  }

  function drawStrips(frame) {
    const canvas = $('strips');
    const g = fit(canvas);
    const end = frame.t;
    const scale = window.devicePixelRatio || 1;
    const laneHeight = canvas.height / STRIPS.length;
    STRIPS.forEach(([name, color], k) => {
      const top = k * laneHeight;
      g.fillStyle = '#8a96a0';
      g.font = `${10 * scale}px system-ui`;
      g.fillText(name, 4, top + 12 * scale);
      g.strokeStyle = color;
      g.lineWidth = scale;
      g.beginPath();
      let started = false;
      for (const sample of samples) {
        if (sample.t > end || sample.t < end - STRIP_SECONDS) continue;
        const x = canvas.width * (1 - (end - sample.t) / STRIP_SECONDS);
        const y = top + laneHeight * (1 - 0.9 * Math.max(0, Math.min(1, sample.v[k])));
        if (started) g.lineTo(x, y); else { g.moveTo(x, y); started = true; }
      }
      g.stroke();
    });
  }

  function showNumbers(frame) {
    $('frame').textContent = String(frame.i);
    $('bpm').textContent = value(frame, 'kor_BPM').toFixed(1);
    const confidence = value(frame, 'kor_BPMConfidence');
    $('confidence').textContent = confidence.toFixed(2);
    $('confidence-bar').style.width = `${Math.max(0, Math.min(1, confidence)) * 100}%`;
    if ('felt_BPM' in index) {
      // The opt-in felt tempo (--tempo-range) and music gate (--gate), when the run has them.
      $('felt').hidden = false;
      $('felt-bpm').textContent = value(frame, 'felt_BPM').toFixed(1);
      $('felt-confidence').textContent = value(frame, 'felt_Confidence').toFixed(2);
      $('music').textContent = !('music_Playing' in index) ? '–'
        : value(frame, 'music_Playing') > 0.5 ? 'playing' : 'stopped';
    }
    $('beats').textContent = String(live.beats);
    $('transitions').textContent = String(frame.tr);
    $('rate').textContent = String(live.rate);
    const recent = live.latencies.slice(-60);
    const mean = recent.reduce((a, b) => a + b, 0) / Math.max(1, recent.length);
    $('latency').textContent = mean.toFixed(1);
    for (const name of live.names) {
      const v = value(frame, name);
      const cell = rows[name];
      if (cell) {
        cell.dataset.value = String(v);
        cell.textContent = Math.abs(v) >= 1000 ? v.toFixed(1) : v.toPrecision(4);
      }
    }
    ['reactivity', 'audioSpeed'].forEach((name, k) => {
      if (dragging !== name && document.activeElement !== $(name)) {
        $(name).value = String(frame.knobs[k]);
        $(name + '-value').textContent = frame.knobs[k].toFixed(2);
      }
    });
  }

  function draw() {
    const frame = live.shown;
    if (frame) {
      showNumbers(frame);
      drawLevels(frame);
      drawOscillators(frame);
      const choice = document.querySelector('input[name=spectrum]:checked').value;
      drawSeries($('spectrum'), vector(frame, choice),
        { color: '#4fc3f7', log: choice === 'kor_Spectrum', logX: true });
      drawSeries($('waveform'), vector(frame, 'kor_Waveform'), { color: '#81c784', centered: true });
      drawStrips(frame);
    }
    $('beat-flash').classList.toggle('lit', beatLit > 0);
    $('transition-flash').classList.toggle('lit', transitionLit > 0);
    beatLit = Math.max(0, beatLit - 0.15);
    transitionLit = Math.max(0, transitionLit - 0.03);
    syncAudio();
    requestAnimationFrame(draw);
  }
  requestAnimationFrame(draw);
})();
