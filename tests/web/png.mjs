// PNG files for the browser tests: the players' stills read back, and
// pictures the tests make written out. 8-bit RGB and RGBA only.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import zlib from 'node:zlib';

export function readPng(file) {
  const data = fs.readFileSync(file);
  const width = data.readUInt32BE(16), height = data.readUInt32BE(20);
  const depth = data[24], type = data[25];
  assert.ok(depth === 8 && (type === 2 || type === 6), `${file}: 8-bit RGB or RGBA expected`);
  const channels = type === 2 ? 3 : 4;
  const chunks = [];
  for (let at = 8; at < data.length;) {
    const length = data.readUInt32BE(at), kind = data.toString('latin1', at + 4, at + 8);
    if (kind === 'IDAT') chunks.push(data.subarray(at + 8, at + 8 + length));
    at += length + 12;
  }
  const raw = zlib.inflateSync(Buffer.concat(chunks));
  const stride = width * channels, rgb = Buffer.alloc(width * height * 3);
  let previous = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? line[i - channels] : 0, b = previous[i], c = i >= channels ? previous[i - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      line[i] = (line[i] + predictor) & 255;
    }
    for (let x = 0; x < width; ++x) line.copy(rgb, (y * width + x) * 3, x * channels, x * channels + 3);
    previous = line;
  }
  return { width, height, rgb };
}

// RGBA rows top first, as a PNG file of colour type 6.
export function writePng(file, width, height, rgba) {
  const chunk = (kind, data) => {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(data.length, 0);
    head.write(kind, 4, 'latin1');
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(zlib.crc32(Buffer.concat([head.subarray(4), data])), 0);
    return Buffer.concat([head, data, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;
  header[9] = 6;
  const raw = Buffer.alloc(height * (width * 4 + 1));
  for (let y = 0; y < height; ++y) Buffer.from(rgba.subarray(y * width * 4, (y + 1) * width * 4)).copy(raw, y * (width * 4 + 1) + 1);
  fs.writeFileSync(file, Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
                                        chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]));
}
