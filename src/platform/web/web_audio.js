// The music through Web Audio, linked into the module with --pre-js.
// Tracker modules are rendered by libopenmpt in an AudioWorklet
// (module_worklet.js); anything else the browser decodes (whatever formats
// it plays). WebMusic asks for seek, run, pause and the position, which is
// the music being heard: for a decoded file the audio context's clock since
// the start, for a module the frames the worklet has output since its last
// seek; both less the output latency.
Module['stagwerkAudio'] = {
  ctx: null,
  buffer: null,
  module: null,     // the worklet's node and what it last reported, for a module
  decoding: null,   // the decode's promise, once started
  failure: '',      // why there is no sound; '' while there may be
  stopped: false,   // the module player failed while playing (failure says how)
  source: null,
  base: 0,          // seconds: where a run starts, or where playback was held
  startedAt: 0,     // context time the running source started at
  running: false,

  context() {
    if (!this.ctx) {
      const Context = window.AudioContext || window.webkitAudioContext;
      if (!Context) throw new Error('this browser has no Web Audio');
      this.ctx = new Context();
    }
    return this.ctx;
  },
  // Starts decoding; a context may decode before the page's first click.
  // A module is anything libopenmpt probes as one or whose name it knows,
  // as on the desktop; only the browser's own formats skip asking it.
  decode(bytes, name) {
    this.decoding = (async () => {
      try {
        const copy = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
        if (!this.browserFormat(bytes) && await this.openModule(copy.slice(0), name || '')) return;
        if (this.failure) return;
        this.buffer = await this.context().decodeAudioData(copy);
      } catch (e) {
        this.failure = 'cannot decode it (' + ((e && e.message) || e) + ')';
      }
    })();
    return this.decoding;
  },
  // Ogg, WAVE, FLAC, MP3 and MP4 by their first bytes: no module starts so.
  browserFormat(b) {
    const text = (at, s) => s.split('').every((c, i) => b[at + i] === c.charCodeAt(0));
    return text(0, 'OggS') || (text(0, 'RIFF') && text(8, 'WAVE')) || text(0, 'fLaC') || text(0, 'ID3') ||
           (b[0] === 0xff && (b[1] & 0xe0) === 0xe0) || text(4, 'ftyp');
  },
  // True when the bytes are a module: then it is loaded in the worklet, or
  // `failure` says why not. False when they are for the browser to decode.
  async openModule(bytes, name) {
    const ctx = this.context();
    try {
      await ctx.audioWorklet.addModule('module_worklet.js');
    } catch (e) {
      this.failure = 'cannot start the module player (module_worklet.js: ' + ((e && e.message) || e) + ')';
      return true;
    }
    const node = new AudioWorkletNode(ctx, 'stagwerk-module',
                                      { numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2] });
    const reply = await new Promise((resolve) => {
      node.port.onmessage = (event) => resolve(event.data);
      node.onprocessorerror = () => resolve({ cmd: 'failed', reason: 'the module player stopped' });
      node.port.postMessage({ cmd: 'load', bytes, name }, [bytes]);
    });
    if (reply.cmd === 'not-a-module') return false;
    if (reply.cmd !== 'loaded') {
      this.failure = reply.reason;
      return true;
    }
    const module = { node, duration: reply.duration, rate: reply.rate, generation: 0, frames: 0 };
    // WebMusic then keeps time on a silent clock from where it was.
    const stop = (reason) => {
      module.generation = -1;
      this.failure = reason;
      this.stopped = true;
    };
    node.port.onmessage = (event) => {
      const m = event.data;
      if (m.cmd === 'frames' && m.generation === module.generation) {
        module.frames = m.frames;
        module.at = m.at;
      } else if (m.cmd === 'failed') {
        stop(m.reason);
      }
    };
    node.onprocessorerror = () => stop('the module player stopped');
    node.connect(ctx.destination);
    this.module = module;
    return true;
  },
  fail(reason) {
    this.failure = reason;
    this.decoding = Promise.resolve();
  },
  // After a user gesture: the context runs and the decode has finished.
  // Resumed at once, in the click's own task: a module's worklet may only
  // answer once its context runs.
  async unlock() {
    let resumed;
    try {
      resumed = this.context().resume();
    } catch (e) {
      resumed = Promise.reject(e);
    }
    resumed.catch(() => {});
    if (this.decoding) await this.decoding;
    if (this.failure) return;
    try {
      await resumed;
    } catch (e) {
      this.failure = 'the browser would not start sound (' + ((e && e.message) || e) + ')';
      return;
    }
    if (this.ctx.state !== 'running') this.failure = 'the browser would not start sound (' + this.ctx.state + ')';
  },
  playable() {
    return !this.failure && (this.buffer !== null || this.module !== null) && this.ctx !== null &&
           this.ctx.state === 'running';
  },
  duration() { return this.module ? this.module.duration : this.buffer ? this.buffer.duration : 0; },
  lag() { return this.ctx.outputLatency || this.ctx.baseLatency || 0; },
  heard() {
    if (this.module) {
      // Reports come every few blocks and reach this thread late: what has
      // been output since goes by the context's clock, but never further
      // than a stalled worklet could be trusted to have gone.
      const m = this.module;
      if (m.frames === 0) return 0;
      const since = Math.min(0.05, Math.max(0, this.ctx.currentTime - m.at));
      return Math.max(0, m.frames / m.rate + since - this.lag());
    }
    return Math.max(0, this.ctx.currentTime - this.startedAt - this.lag());
  },
  position() {
    if (!this.running) return this.base;
    return Math.min(Math.max(this.base, this.duration()), this.base + this.heard());
  },
  // A module's steps go to the worklet as one message each; counts it
  // reports from before the step are not taken.
  tell(message) {
    const module = this.module;
    if (module.generation < 0) return;
    message.generation = ++module.generation;
    module.frames = 0;
    module.at = 0;
    module.node.port.postMessage(message);
  },
  seek(seconds) {
    if (this.module) {
      this.base = Math.max(0, seconds);
      this.tell({ cmd: 'seek', seconds: this.base, run: this.running });
      return;
    }
    const was = this.running;
    this.pause();
    this.base = Math.max(0, seconds);
    if (was) this.run();
  },
  run() {
    if (this.running) return;
    if (this.module) {
      this.tell({ cmd: 'run' });
      this.running = true;
      return;
    }
    if (!this.buffer) return;
    const source = this.ctx.createBufferSource();
    source.buffer = this.buffer;
    source.connect(this.ctx.destination);
    this.startedAt = this.ctx.currentTime;
    // Past the end there is nothing to play; the position stays at the end.
    if (this.base < this.buffer.duration) source.start(this.startedAt, this.base);
    this.source = source;
    this.running = true;
  },
  pause() {
    if (!this.running) return;
    this.base = this.position();
    if (this.module) {
      // Held where it is heard: the worklet goes back there, so that a run
      // plays on from exactly the held time.
      this.running = false;
      this.tell({ cmd: 'seek', seconds: this.base, run: false });
      return;
    }
    try { this.source.stop(); } catch (e) { /* never started: at the end already */ }
    this.source.disconnect();
    this.source = null;
    this.running = false;
  },
};
