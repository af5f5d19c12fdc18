// The music through Web Audio, linked into the module with --pre-js. The
// browser decodes the file (whatever formats it plays); WebMusic asks for
// seek, run, pause and the position. The position is read off the audio
// context's clock, less the output latency: it is the music being heard.
Module['stagwerkAudio'] = {
  ctx: null,
  buffer: null,
  decoding: null,   // the decode's promise, once started
  failure: '',      // why there is no sound; '' while there may be
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
  decode(bytes) {
    this.decoding = (async () => {
      try {
        const copy = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
        this.buffer = await this.context().decodeAudioData(copy);
      } catch (e) {
        this.failure = 'cannot decode it (' + ((e && e.message) || e) + ')';
      }
    })();
    return this.decoding;
  },
  fail(reason) {
    this.failure = reason;
    this.decoding = Promise.resolve();
  },
  // After a user gesture: the context runs and the decode has finished.
  async unlock() {
    if (this.decoding) await this.decoding;
    if (this.failure) return;
    try {
      await this.context().resume();
    } catch (e) {
      this.failure = 'the browser would not start sound (' + ((e && e.message) || e) + ')';
      return;
    }
    if (this.ctx.state !== 'running') this.failure = 'the browser would not start sound (' + this.ctx.state + ')';
  },
  playable() { return !this.failure && this.buffer !== null && this.ctx !== null && this.ctx.state === 'running'; },
  duration() { return this.buffer ? this.buffer.duration : 0; },
  heard() {
    const lag = this.ctx.outputLatency || this.ctx.baseLatency || 0;
    return Math.max(0, this.ctx.currentTime - this.startedAt - lag);
  },
  position() {
    if (!this.running) return this.base;
    return Math.min(this.duration(), this.base + this.heard());
  },
  seek(seconds) {
    const was = this.running;
    this.pause();
    this.base = Math.max(0, seconds);
    if (was) this.run();
  },
  run() {
    if (this.running || !this.buffer) return;
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
    try { this.source.stop(); } catch (e) { /* never started: at the end already */ }
    this.source.disconnect();
    this.source = null;
    this.running = false;
  },
};
