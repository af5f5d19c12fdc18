// glTF files for the viewer comparison, made here: a cube lit by the
// default rig, the same cube under its own lights, a cube with a PNG
// texture, a skinned column bending. Buffers are inline.
import path from 'node:path';
import { writePng } from './png.mjs';

// A player intensity i shows as i^2.2 of white in linear terms, which a
// physically based light of pi * i^2.2 gives a facing Lambert surface.
const toViewer = (i) => Math.PI * Math.pow(i, 2.2);
// Where a distant light on the camera comes from, in the camera's own
// frame: the player turns +Z by heading (right) and pitch (down); three.js
// looks down -Z.
function from(headingDegrees, pitchDegrees) {
  const h = (headingDegrees * Math.PI) / 180, p = (pitchDegrees * Math.PI) / 180;
  return [-Math.sin(h) * Math.cos(p) * 10, Math.sin(p) * 10, Math.cos(h) * Math.cos(p) * 10];
}
// The player's default rig (tools' DefaultLights) as a viewer gives it:
// key 0.8, fill 0.25 and ambient 0.1 of white, linear.
export const defaultRig = {
  lights: [{ intensity: Math.PI * 0.8, from: from(35, 35) }, { intensity: Math.PI * 0.25, from: from(-50, -15) }],
  ambient: Math.PI * 0.1,
};
// A file with lights keeps the player's ambient of 0.1.
const ownLights = { lights: [], ambient: toViewer(0.1) };

class Gltf {
  constructor() {
    this.json = { asset: { version: '2.0' }, scene: 0, scenes: [{ nodes: [] }], nodes: [], meshes: [], materials: [],
                  accessors: [], bufferViews: [], buffers: [] };
    this.bytes = [];
    this.length = 0;
  }

  accessor(array, type, extra = {}) {
    const data = Buffer.from(array.buffer, array.byteOffset, array.byteLength);
    const pad = (4 - (this.length % 4)) % 4;
    if (pad) this.bytes.push(Buffer.alloc(pad)), (this.length += pad);
    this.json.bufferViews.push({ buffer: 0, byteOffset: this.length, byteLength: data.length });
    this.bytes.push(data);
    this.length += data.length;
    const components = { SCALAR: 1, VEC2: 2, VEC3: 3, VEC4: 4, MAT4: 16 }[type];
    const componentType = array instanceof Float32Array ? 5126 : array instanceof Uint16Array ? 5123 : 5121;
    this.json.accessors.push({ bufferView: this.json.bufferViews.length - 1, componentType, type,
                               count: array.length / components, ...extra });
    return this.json.accessors.length - 1;
  }

  node(node, root = true) {
    this.json.nodes.push(node);
    if (root) this.json.scenes[0].nodes.push(this.json.nodes.length - 1);
    return this.json.nodes.length - 1;
  }

  // A perspective camera at eye looking at target, y up.
  camera(eye, target = [0, 0, 0]) {
    const z = normalise(eye.map((e, k) => e - target[k])), x = normalise(cross([0, 1, 0], z)), y = cross(z, x);
    this.json.cameras = [{ type: 'perspective', perspective: { yfov: 0.7, aspectRatio: 4 / 3, znear: 0.1, zfar: 100 } }];
    return this.node({ name: 'View', camera: 0, translation: eye, rotation: quaternion(x, y, z) });
  }

  finish() {
    const all = Buffer.concat(this.bytes);
    this.json.buffers = [{ byteLength: all.length, uri: 'data:application/octet-stream;base64,' + all.toString('base64') }];
    return this.json;
  }
}

function normalise(v) {
  const l = Math.hypot(...v);
  return v.map((x) => x / l);
}
const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];

// The rotation whose matrix has columns x, y, z.
function quaternion(x, y, z) {
  const t = x[0] + y[1] + z[2];
  if (t > 0) {
    const s = 0.5 / Math.sqrt(t + 1);
    return [(y[2] - z[1]) * s, (z[0] - x[2]) * s, (x[1] - y[0]) * s, 0.25 / s];
  }
  if (x[0] > y[1] && x[0] > z[2]) {
    const s = 2 * Math.sqrt(1 + x[0] - y[1] - z[2]);
    return [0.25 * s, (y[0] + x[1]) / s, (z[0] + x[2]) / s, (y[2] - z[1]) / s];
  }
  if (y[1] > z[2]) {
    const s = 2 * Math.sqrt(1 + y[1] - x[0] - z[2]);
    return [(y[0] + x[1]) / s, 0.25 * s, (z[1] + y[2]) / s, (z[0] - x[2]) / s];
  }
  const s = 2 * Math.sqrt(1 + z[2] - x[0] - y[1]);
  return [(z[0] + x[2]) / s, (z[1] + y[2]) / s, 0.25 * s, (x[1] - y[0]) / s];
}

// A cube of side 1 about the origin, four corners and a normal per face.
function cube(g, material) {
  const positions = [], normals = [], uvs = [], indices = [];
  const faces = [[[1, 0, 0], [0, 0, -1], [0, 1, 0]], [[-1, 0, 0], [0, 0, 1], [0, 1, 0]], [[0, 1, 0], [1, 0, 0], [0, 0, -1]],
                 [[0, -1, 0], [1, 0, 0], [0, 0, 1]], [[0, 0, 1], [1, 0, 0], [0, 1, 0]], [[0, 0, -1], [-1, 0, 0], [0, 1, 0]]];
  for (const [n, u, v] of faces) {
    const first = positions.length / 3;
    for (const [a, b] of [[-1, -1], [1, -1], [1, 1], [-1, 1]]) {
      positions.push(...[0, 1, 2].map((k) => 0.5 * (n[k] + a * u[k] + b * v[k])));
      normals.push(...n);
      uvs.push((a + 1) / 2, (1 - b) / 2);
    }
    indices.push(first, first + 1, first + 2, first, first + 2, first + 3);
  }
  g.json.materials.push(material);
  g.json.meshes.push({ primitives: [{
    attributes: { POSITION: g.accessor(new Float32Array(positions), 'VEC3', { min: [-0.5, -0.5, -0.5], max: [0.5, 0.5, 0.5] }),
                  NORMAL: g.accessor(new Float32Array(normals), 'VEC3'), TEXCOORD_0: g.accessor(new Float32Array(uvs), 'VEC2') },
    indices: g.accessor(new Uint16Array(indices), 'SCALAR'), material: g.json.materials.length - 1 }] });
  return g.json.meshes.length - 1;
}

// An open column of rings around y, from 0 to 2, on two joints: the lower
// at the origin, the upper at y = 1, turning 90 degrees about z over a
// second; the rings between 0.7 and 1.3 follow both.
function column(g) {
  const positions = [], normals = [], joints = [], weights = [], indices = [];
  const rings = 11, around = 16;
  for (let r = 0; r < rings; ++r) {
    const y = (2 * r) / (rings - 1), upper = Math.min(1, Math.max(0, (y - 0.7) / 0.6));
    for (let a = 0; a < around; ++a) {
      const angle = (2 * Math.PI * a) / around;
      positions.push(0.3 * Math.cos(angle), y, 0.3 * Math.sin(angle));
      normals.push(Math.cos(angle), 0, Math.sin(angle));
      joints.push(0, 1, 0, 0);
      weights.push(1 - upper, upper, 0, 0);
    }
  }
  for (let r = 0; r + 1 < rings; ++r) {
    for (let a = 0; a < around; ++a) {
      const p = r * around + a, q = r * around + ((a + 1) % around);
      indices.push(p, p + around, q, q, p + around, q + around);
    }
  }
  g.json.materials.push(terracotta);
  g.json.meshes.push({ primitives: [{
    attributes: { POSITION: g.accessor(new Float32Array(positions), 'VEC3', { min: [-0.3, 0, -0.3], max: [0.3, 2, 0.3] }),
                  NORMAL: g.accessor(new Float32Array(normals), 'VEC3'), JOINTS_0: g.accessor(new Uint8Array(joints), 'VEC4'),
                  WEIGHTS_0: g.accessor(new Float32Array(weights), 'VEC4') },
    indices: g.accessor(new Uint16Array(indices), 'SCALAR'), material: g.json.materials.length - 1 }] });
  const lower = g.node({ name: 'Lower', children: [] });
  const upper = g.node({ name: 'Upper', translation: [0, 1, 0] }, false);
  g.json.nodes[lower].children.push(upper);
  const inverseBind = new Float32Array([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
                                        1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1]);
  g.json.skins = [{ joints: [lower, upper], inverseBindMatrices: g.accessor(inverseBind, 'MAT4') }];
  g.node({ name: 'Column', mesh: g.json.meshes.length - 1, skin: 0 });
  const s = Math.SQRT1_2;
  g.json.animations = [{ name: 'Bend', samplers: [{ input: g.accessor(new Float32Array([0, 1]), 'SCALAR', { min: [0], max: [1] }),
                                                    output: g.accessor(new Float32Array([0, 0, 0, 1, 0, 0, s, s]), 'VEC4') }],
                         channels: [{ sampler: 0, target: { node: upper, path: 'rotation' } }] }];
}

const terracotta = { name: 'Terracotta', pbrMetallicRoughness: { baseColorFactor: [0.8, 0.3, 0.2, 1], metallicFactor: 0, roughnessFactor: 1 } };

// Four quadrants of colour, 64 x 64, so a texture that does not arrive
// shows as the wrong mean colour.
function quadrants(file) {
  const size = 64, rgba = new Uint8Array(size * size * 4);
  const colours = [[230, 60, 40], [40, 180, 70], [50, 80, 220], [240, 210, 40]];
  for (let y = 0; y < size; ++y) {
    for (let x = 0; x < size; ++x) rgba.set([...colours[(y < size / 2 ? 0 : 2) + (x < size / 2 ? 0 : 1)], 255], (y * size + x) * 4);
  }
  writePng(file, size, size, rgba);
}

export const fixtures = [
  {
    name: 'plain',
    times: [0],
    gltf() {
      const g = new Gltf();
      g.node({ name: 'Cube', mesh: cube(g, terracotta), rotation: [0, 0.2588, 0, 0.9659] });
      g.camera([1.6, 1.3, 2.6]);
      return g.finish();
    },
  },
  {
    name: 'lit',
    times: [0],
    rig: ownLights,
    gltf() {
      const g = new Gltf();
      g.node({ name: 'Cube', mesh: cube(g, terracotta) });
      g.camera([1.6, 1.3, 2.6]);
      g.json.extensionsUsed = ['KHR_lights_punctual'];
      g.json.extensions = { KHR_lights_punctual: { lights: [{ name: 'Sun', type: 'directional', intensity: 2 },
                                                            { name: 'Bulb', type: 'point', intensity: 12 }] } };
      // The sun from above and in front, turned down 50 degrees about x; the bulb to the right.
      g.node({ name: 'Sun', rotation: [-0.4226, 0, 0, 0.9063], extensions: { KHR_lights_punctual: { light: 0 } } });
      g.node({ name: 'Bulb', translation: [2, 1, 1], extensions: { KHR_lights_punctual: { light: 1 } } });
      return g.finish();
    },
  },
  {
    name: 'textured',
    times: [0],
    gltf(folder) {
      quadrants(path.join(folder, 'quadrants.png'));
      const g = new Gltf();
      g.json.images = [{ uri: 'quadrants.png' }];
      g.json.textures = [{ source: 0 }];
      g.node({ name: 'Cube', rotation: [0, 0.2588, 0, 0.9659],
               mesh: cube(g, { name: 'Painted', pbrMetallicRoughness: { baseColorTexture: { index: 0 }, metallicFactor: 0, roughnessFactor: 1 } }) });
      g.camera([1.6, 1.3, 2.6]);
      return g.finish();
    },
  },
  {
    name: 'skinned',
    times: [0, 0.5, 1],
    gltf() {
      const g = new Gltf();
      column(g);
      g.camera([0.4, 1.2, 5], [0.4, 1.1, 0]);
      return g.finish();
    },
  },
];
