// A scripted stand-in for web_audio.js in the node tests: the test sets the
// audio clock's reading and whether sound could start.
Module['stagwerkAudio'] = {
  at: 0, running: false, failure: '', stopped: false, length: 100,
  playable() { return !this.failure; },
  duration() { return this.length; },
  position() { return this.at; },
  seek(seconds) { this.at = seconds; },
  run() { this.running = true; },
  pause() { this.running = false; },
};
