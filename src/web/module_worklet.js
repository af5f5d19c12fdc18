// Tracker modules rendered by libopenmpt (its WebAssembly build, copied
// beside this file by build-web.sh) on the audio thread. The page sends
// the file's bytes, then seeks (running on or held there) and runs, each
// with a generation number; the processor reports how many frames it has
// output since the last seek and the context time they end at, with that
// number, so that the page never mixes up counts from before and after a
// seek. Rendering and seeking are those of the desktop player's
// ModuleRenderer: default render settings, seek.sync_samples, no repeat,
// and a seek that lands exactly on the time asked for.
import openLibopenmpt from './libopenmpt.worklet.js';

const kReportEvery = 4;   // blocks between frame-count reports (~11 ms at 48 kHz)
const kProbeSuccess = 1;  // OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS
const kProbeFlags = 0x3;  // OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT2: modules and containers

// libopenmpt's own log lines (a module that does not load, say) are not
// ours to print: the page names the file and the reason once.
const library = openLibopenmpt({ print: () => {}, printErr: () => {} });

// An audio worklet has no TextEncoder; the strings here are ASCII (a file
// name's other characters are no extension libopenmpt knows anyway).
function cString(mpt, text) {
  const at = mpt._malloc(text.length + 1);
  for (let i = 0; i < text.length; ++i) mpt.HEAPU8[at + i] = text.charCodeAt(i) < 128 ? text.charCodeAt(i) : 63;
  mpt.HEAPU8[at + text.length] = 0;
  return at;
}

class ModuleProcessor extends AudioWorkletProcessor {
  constructor() {
    super();
    this.mpt = null;
    this.module = 0;
    this.left = 0;
    this.right = 0;
    this.playing = false;
    this.ended = false;
    this.frames = 0;      // output since the last seek: music, then silence after the end
    this.generation = 0;
    this.blocks = 0;
    this.capture = null;  // runs of output, from each seek on, while a test asks
    this.port.onmessage = (event) => {
      library.then((mpt) => {
        this.mpt = mpt;
        try {
          this.handle(event.data);
        } catch (e) {
          this.port.postMessage({ cmd: 'failed', reason: 'the module player failed (' + e + ')' });
        }
      }, (e) => this.port.postMessage({ cmd: 'failed', reason: 'libopenmpt did not start (' + e + ')' }));
    };
  }

  handle(m) {
    if (m.cmd === 'load') return this.load(m.bytes, m.name);
    if (!this.module) return;
    // For tests: keep what is output from each seek on, and hand it over.
    if (m.cmd === 'capture') {
      this.capture = [];
      return;
    }
    if (m.cmd === 'take') {
      this.port.postMessage({ cmd: 'captured', runs: (this.capture || []).map((run) => ({
        start: run.start, left: Float32Array.from(run.left.flatMap((b) => Array.from(b))),
        right: Float32Array.from(run.right.flatMap((b) => Array.from(b))) })) });
      return;
    }
    this.generation = m.generation;
    // One message a step, so that no block is rendered between a seek and
    // the run or hold that goes with it.
    if (m.cmd === 'seek') {
      this.seek(m.seconds);
      this.playing = m.run;
    } else if (m.cmd === 'run') {
      this.playing = true;
    }
    this.report(currentTime);  // between blocks: nothing output since the step
  }

  // Decides as the desktop does: libopenmpt's header probe, else a name
  // ending in an extension it reads. Then loads it, or says why not.
  load(buffer, name) {
    const mpt = this.mpt;
    const bytes = new Uint8Array(buffer);
    const data = mpt._malloc(Math.max(1, bytes.length));
    mpt.HEAPU8.set(bytes, data);
    const probeSize = Math.min(bytes.length, mpt._openmpt_probe_file_header_get_recommended_size());
    let known = probeSize > 0 &&
        mpt._openmpt_probe_file_header(BigInt(kProbeFlags), data, probeSize, BigInt(bytes.length), 0, 0, 0, 0, 0, 0) ===
            kProbeSuccess;
    const dot = name.lastIndexOf('.');
    if (!known && dot > name.lastIndexOf('/')) {
      const extension = cString(mpt, name.slice(dot + 1).toLowerCase());
      known = mpt._openmpt_is_extension_supported(extension) !== 0;
      mpt._free(extension);
    }
    if (!known) {
      mpt._free(data);
      this.port.postMessage({ cmd: 'not-a-module' });
      return;
    }
    const out = mpt._malloc(8);  // int error, then const char* message
    mpt.HEAP32[out >> 2] = 0;
    mpt.HEAP32[(out >> 2) + 1] = 0;
    const module = bytes.length === 0 ? 0 : mpt._openmpt_module_create_from_memory2(
        data, bytes.length, 0, 0, 0, 0, out, out + 4, 0);
    mpt._free(data);
    if (!module) {
      const text = mpt.HEAP32[(out >> 2) + 1];
      const detail = text ? mpt.UTF8ToString(text) : '';
      if (text) mpt._openmpt_free_string(text);
      mpt._free(out);
      this.port.postMessage({ cmd: 'failed', reason: bytes.length === 0 ? 'empty file, not a module'
          : !detail || detail === 'error loading file' ? 'not a module libopenmpt can read'
          : 'not a module libopenmpt can read (' + detail + ')' });
      return;
    }
    mpt._free(out);
    const key = cString(mpt, 'seek.sync_samples'), one = cString(mpt, '1');
    mpt._openmpt_module_ctl_set(module, key, one);
    mpt._free(key);
    mpt._free(one);
    mpt._openmpt_module_set_repeat_count(module, 0);
    this.module = module;
    this.left = mpt._malloc(4 * 4096);
    this.right = mpt._malloc(4 * 4096);
    this.port.postMessage({ cmd: 'loaded', duration: mpt._openmpt_module_get_duration_seconds(module),
                            rate: sampleRate });
  }

  render(frames) {
    if (this.ended) return 0;
    return this.mpt._openmpt_module_read_float_stereo(this.module, sampleRate, frames, this.left, this.right);
  }

  // libopenmpt lands on the start of a row, which may lie after the time
  // asked for: step back until a row starts at or before it, then render
  // the rest of the way without a sound.
  seek(seconds) {
    const mpt = this.mpt;
    seconds = Math.max(0, seconds);
    this.frames = 0;
    if (this.capture) this.capture.push({ start: seconds, left: [], right: [] });
    this.ended = seconds >= mpt._openmpt_module_get_duration_seconds(this.module);
    if (this.ended) return;
    let reached = mpt._openmpt_module_set_position_seconds(this.module, seconds);
    for (let back = 0.01; reached > seconds; back *= 2) {
      reached = mpt._openmpt_module_set_position_seconds(this.module, Math.max(0, seconds - back));
      if (seconds - back <= 0) break;
    }
    let rest = Math.round(Math.max(0, seconds - reached) * sampleRate);
    while (rest > 0) {
      const done = this.render(Math.min(rest, 4096));
      if (done === 0) break;
      rest -= done;
    }
  }

  // `at`: the context time at which the frames counted have all been output.
  report(at) {
    this.port.postMessage({ cmd: 'frames', frames: this.frames, at, generation: this.generation });
  }

  process(inputs, outputs) {
    const out = outputs[0];
    if (!this.module || !this.playing) return true;  // silence
    const frames = out[0].length;
    let done = 0;
    try {
      done = this.render(frames);
    } catch (e) {
      done = 0;
    }
    if (done < frames) this.ended = true;
    const heap = this.mpt.HEAPF32;
    out[0].set(heap.subarray(this.left >> 2, (this.left >> 2) + done));
    if (out.length > 1) out[1].set(heap.subarray(this.right >> 2, (this.right >> 2) + done));
    const run = this.capture && this.capture[this.capture.length - 1];
    if (run && done > 0) {
      run.left.push(out[0].slice(0, done));
      run.right.push((out[1] || out[0]).slice(0, done));
    }
    this.frames += frames;  // silence after the end counts too: the position comes to rest at the end
    if (++this.blocks % kReportEvery === 0) this.report(currentTime + frames / sampleRate);
    return true;
  }
}

registerProcessor('stagwerk-module', ModuleProcessor);
