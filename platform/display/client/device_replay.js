// Replays the 3-D device's frames in a canvas with WebGL2, drawing what the
// fixed-function pipeline draws for the states the device records: row-vector
// matrices, clip depth 0..1, pixel centres on whole coordinates, no lighting
// (white), texture stage 0 modulating it with point sampling and wrapping,
// indexed triangle strips without primitive restart.
//
// Nothing is ever read outside a resource: a draw whose numbers or indices
// reach past its buffers is skipped, whatever the frame says.

// Vertex element types and usages, with the device's numbers.
const TYPE_FLOAT1 = 0;
const TYPE_FLOAT2 = 1;
const TYPE_FLOAT3 = 2;
const TYPE_FLOAT4 = 3;
const TYPE_UBYTE4 = 5;
const USAGE_POSITION = 0;
const USAGE_TEXCOORD = 5;
const CULL_CW = 2;
const CULL_CCW = 3;

// WebGL refuses larger strides; such layouts are repacked.
const MAX_WEBGL_STRIDE = 255;
const RESTART_INDEX_16 = 0xffff;

const VERTEX_SHADER = `#version 300 es
in vec4 a_position;
in vec2 a_texcoord;
uniform mat4 u_transform;
uniform vec2 u_pixel;
out vec2 v_texcoord;
void main() {
  vec4 clip = u_transform * a_position;
  // Whole pixel coordinates are sample points here, pixel centres in WebGL:
  // move half a pixel right and down. Depth 0..w becomes -w..w.
  gl_Position = vec4(clip.x + clip.w * u_pixel.x, clip.y - clip.w * u_pixel.y,
                     2.0 * clip.z - clip.w, clip.w);
  v_texcoord = a_texcoord;
}`;

const FRAGMENT_SHADER = `#version 300 es
precision highp float;
uniform sampler2D u_texture;
uniform bool u_textured;
uniform vec4 u_diffuse;
in vec2 v_texcoord;
out vec4 out_color;
void main() {
  out_color = u_textured ? u_diffuse * texture(u_texture, v_texcoord) : u_diffuse;
}`;

function elementFormat(gl, type) {
  switch (type) {
    case TYPE_FLOAT1: return { glType: gl.FLOAT, components: 1, bytes: 4 };
    case TYPE_FLOAT2: return { glType: gl.FLOAT, components: 2, bytes: 8 };
    case TYPE_FLOAT3: return { glType: gl.FLOAT, components: 3, bytes: 12 };
    case TYPE_FLOAT4: return { glType: gl.FLOAT, components: 4, bytes: 16 };
    case TYPE_UBYTE4: return { glType: gl.UNSIGNED_BYTE, components: 4, bytes: 4 };
    default: return null;
  }
}

// Row-major product a * b of two 4x4 matrices given as 16 numbers.
function multiply(a, b) {
  const out = new Array(16);
  for (let row = 0; row < 4; ++row) {
    for (let column = 0; column < 4; ++column) {
      let sum = 0;
      for (let k = 0; k < 4; ++k) sum += a[row * 4 + k] * b[k * 4 + column];
      out[row * 4 + column] = sum;
    }
  }
  return out;
}

function isCount(value) {
  return Number.isSafeInteger(value) && value >= 0;
}

export class DeviceReplay {
  constructor(canvas) {
    this.canvas = canvas;
    this.resources = new Map();  // id -> {kind, bytes, ...}; GL objects made lazily
    this.generation = 0;         // bumped for each new context: older GL objects are gone
    this.needsSetup = true;
    canvas.addEventListener('webglcontextlost', (event) => {
      event.preventDefault();  // asks for the context back
      this.needsSetup = true;
    });
    this.gl = canvas.getContext('webgl2', {
      alpha: false, depth: true, stencil: false, antialias: false,
      preserveDrawingBuffer: true,
    });
    if (this.gl && this.setUp()) this.warmUp();
  }

  // A software GL compiles its pipeline at the first draw of each state,
  // which can take half a second: a one-pixel frame drawn now, through the
  // same path as a model's frames, lets that happen while the page loads
  // instead of before a model's first frame shows. It draws every vertex
  // input a layout can give: FLOAT3 or FLOAT4 positions, with FLOAT2
  // texture coordinates or none, textured and not.
  warmUp() {
    // Ids korvel never gives (its count from 1).
    const ids = [0, 1, 2].map((i) => Number.MAX_SAFE_INTEGER - i);
    this.resourceCreated({ id: ids[0], kind: 'texture', width: 1, height: 1 },
                         new ArrayBuffer(4));
    this.resourceCreated({ id: ids[1], kind: 'vertex_buffer' }, new ArrayBuffer(3 * 40));
    this.resourceCreated({ id: ids[2], kind: 'index_buffer', index_bits: 16 },
                         new Uint16Array([0, 1, 2]).buffer);
    const identity = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];
    const layouts = [[{ offset: 0, type: TYPE_FLOAT3, usage: USAGE_POSITION, usage_index: 0 },
                      { offset: 12, type: TYPE_FLOAT2, usage: USAGE_TEXCOORD, usage_index: 0 }],
                     [{ offset: 0, type: TYPE_FLOAT3, usage: USAGE_POSITION, usage_index: 0 }],
                     [{ offset: 0, type: TYPE_FLOAT4, usage: USAGE_POSITION, usage_index: 0 },
                      { offset: 16, type: TYPE_FLOAT2, usage: USAGE_TEXCOORD, usage_index: 0 }],
                     [{ offset: 0, type: TYPE_FLOAT4, usage: USAGE_POSITION, usage_index: 0 }]];
    const draws = [];
    layouts.forEach((layout, declaration) => {
      for (const texture of [ids[0], 0]) {
        draws.push({ vertex_buffer: ids[1], stride: 40, declaration, index_buffer: ids[2],
                     texture, base_vertex: 0, min_index: 0, vertex_count: 3, start_index: 0,
                     primitive_count: 1, state: 0 });
      }
    });
    this.drawFrame({
      number: 0, width: 1, height: 1,
      clears: [{ draws_before: 0, x: 0, y: 0, width: 1, height: 1, target: true, depth: true,
                 color: 0, depth_value: 1 }],
      states: [{ viewport: [0, 0, 1, 1, 0, 1], world: identity, view: identity,
                 projection: identity, cull_mode: 1, lighting: false, z_enable: true,
                 alpha_blend: false }],
      declarations: layouts, draws });
    for (const id of ids) this.resourceReleased(id);
  }

  // json: device_resource_json; bytes: an ArrayBuffer of json.size bytes.
  resourceCreated(json, bytes) {
    if (!json || !isCount(json.id) || !(bytes instanceof ArrayBuffer)) return;
    const resource = { kind: json.kind, bytes: new Uint8Array(bytes), glObject: null,
                       generation: -1, views: new Map(), ranges: new Map() };
    if (json.kind === 'index_buffer') {
      if (json.index_bits !== 16 && json.index_bits !== 32) return;
      resource.indexBits = json.index_bits;
      resource.indices = json.index_bits === 32
          ? new Uint32Array(bytes, 0, Math.floor(bytes.byteLength / 4))
          : new Uint16Array(bytes, 0, Math.floor(bytes.byteLength / 2));
    } else if (json.kind === 'texture') {
      if (!isCount(json.width) || !isCount(json.height) || json.width === 0 ||
          json.height === 0 || bytes.byteLength !== json.width * json.height * 4) {
        return;
      }
      resource.width = json.width;
      resource.height = json.height;
    } else if (json.kind !== 'vertex_buffer') {
      return;
    }
    this.resourceReleased(json.id);
    this.resources.set(json.id, resource);
  }

  resourceReleased(id) {
    const resource = this.resources.get(id);
    if (!resource) return;
    this.resources.delete(id);
    if (!this.gl) return;
    const current = (holder) => holder && holder.glObject && holder.generation === this.generation;
    if (current(resource)) {
      if (resource.kind === 'texture') this.gl.deleteTexture(resource.glObject);
      else this.gl.deleteBuffer(resource.glObject);
    }
    for (const view of resource.views.values()) {
      if (current(view)) this.gl.deleteBuffer(view.glObject);
    }
    for (const range of resource.ranges.values()) {
      if (current(range)) this.gl.deleteBuffer(range.glObject);
      for (const rebased of range.rebased.values()) {
        if (current(rebased)) this.gl.deleteBuffer(rebased.glObject);
      }
    }
  }

  // Draws one frame (device_frame_json). False when nothing could be drawn:
  // no context, or the context is lost (the next frame after it comes back
  // makes everything anew).
  drawFrame(frame) {
    const gl = this.gl;
    if (!gl || !frame || !isCount(frame.width) || !isCount(frame.height)) return false;
    if (gl.isContextLost()) {
      this.needsSetup = true;
      return false;
    }
    if (this.needsSetup && !this.setUp()) return false;
    if (this.canvas.width !== frame.width) this.canvas.width = frame.width;
    if (this.canvas.height !== frame.height) this.canvas.height = frame.height;

    gl.useProgram(this.program);
    gl.bindVertexArray(this.vertexArray);
    gl.disable(gl.BLEND);  // the default blend factors (one, zero) draw as no blending
    gl.depthFunc(gl.LEQUAL);
    gl.depthMask(true);
    gl.frontFace(gl.CW);

    const clears = Array.isArray(frame.clears) ? frame.clears : [];
    const draws = Array.isArray(frame.draws) ? frame.draws : [];
    const states = Array.isArray(frame.states) ? frame.states : [];
    const declarations = Array.isArray(frame.declarations) ? frame.declarations : [];
    let nextClear = 0;
    const clearsBefore = (count) => {
      while (nextClear < clears.length && !(clears[nextClear].draws_before > count)) {
        this.clear(frame, clears[nextClear++]);
      }
    };
    let appliedState = null;
    for (let i = 0; i < draws.length; ++i) {
      clearsBefore(i);
      const draw = draws[i];
      const state = states[draw.state];
      const declaration = declarations[draw.declaration];
      if (!state || !Array.isArray(declaration)) continue;
      if (state !== appliedState) {
        this.applyState(frame, state);
        appliedState = state;
      }
      this.draw(draw, declaration);
    }
    clearsBefore(Infinity);
    gl.bindVertexArray(null);
    return true;
  }

  // Makes the program anew, on the first frame and on the first one after a
  // lost context came back; resources are uploaded again as draws need them.
  setUp() {
    const gl = this.gl;
    this.generation += 1;
    this.program = null;
    const compile = (type, source) => {
      const shader = gl.createShader(type);
      gl.shaderSource(shader, source);
      gl.compileShader(shader);
      return shader;
    };
    const program = gl.createProgram();
    gl.attachShader(program, compile(gl.VERTEX_SHADER, VERTEX_SHADER));
    gl.attachShader(program, compile(gl.FRAGMENT_SHADER, FRAGMENT_SHADER));
    gl.bindAttribLocation(program, 0, 'a_position');
    gl.bindAttribLocation(program, 1, 'a_texcoord');
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) return false;
    this.program = program;
    this.uniforms = {
      transform: gl.getUniformLocation(program, 'u_transform'),
      pixel: gl.getUniformLocation(program, 'u_pixel'),
      texture: gl.getUniformLocation(program, 'u_texture'),
      textured: gl.getUniformLocation(program, 'u_textured'),
      diffuse: gl.getUniformLocation(program, 'u_diffuse'),
    };
    this.vertexArray = gl.createVertexArray();
    this.maxTextureSize = gl.getParameter(gl.MAX_TEXTURE_SIZE);
    this.needsSetup = false;
    return true;
  }

  // The viewport, in WebGL's bottom-up rows, of a rectangle given top-down.
  flipped(frame, x, y, width, height) {
    return [x, frame.height - y - height, width, height];
  }

  clear(frame, clear) {
    const gl = this.gl;
    let bits = 0;
    if (clear.target) {
      const color = clear.color >>> 0;
      gl.clearColor(((color >>> 16) & 0xff) / 255, ((color >>> 8) & 0xff) / 255,
                    (color & 0xff) / 255, ((color >>> 24) & 0xff) / 255);
      bits |= gl.COLOR_BUFFER_BIT;
    }
    if (clear.depth) {
      gl.clearDepth(clear.depth_value);
      gl.depthMask(true);
      bits |= gl.DEPTH_BUFFER_BIT;
    }
    if (!bits) return;
    gl.enable(gl.SCISSOR_TEST);
    gl.scissor(...this.flipped(frame, clear.x, clear.y, clear.width, clear.height));
    gl.clear(bits);
    gl.disable(gl.SCISSOR_TEST);
  }

  applyState(frame, state) {
    const gl = this.gl;
    const [x, y, width, height, minZ, maxZ] = state.viewport;
    gl.viewport(...this.flipped(frame, x, y, width, height));
    gl.depthRange(minZ, maxZ);
    const transform = multiply(multiply(state.world, state.view), state.projection);
    gl.uniformMatrix4fv(this.uniforms.transform, false, new Float32Array(transform));
    gl.uniform2f(this.uniforms.pixel, width > 0 ? 1 / width : 0, height > 0 ? 1 / height : 0);
    // Lit without lights, a vertex keeps only the (black) global ambient.
    gl.uniform4f(this.uniforms.diffuse, state.lighting ? 0 : 1, state.lighting ? 0 : 1,
                 state.lighting ? 0 : 1, 1);
    if (state.z_enable) gl.enable(gl.DEPTH_TEST);
    else gl.disable(gl.DEPTH_TEST);
    // Triangles are wound clockwise on screen to face the viewer.
    if (state.cull_mode === CULL_CCW || state.cull_mode === CULL_CW) {
      gl.enable(gl.CULL_FACE);
      gl.cullFace(state.cull_mode === CULL_CCW ? gl.BACK : gl.FRONT);
    } else {
      gl.disable(gl.CULL_FACE);
    }
  }

  glObjectOf(resource) {
    const gl = this.gl;
    if (resource.glObject && resource.generation === this.generation) return resource.glObject;
    resource.generation = this.generation;
    if (resource.kind === 'texture') {
      if (resource.width > this.maxTextureSize || resource.height > this.maxTextureSize) {
        resource.glObject = null;
        return null;
      }
      const texture = gl.createTexture();
      gl.bindTexture(gl.TEXTURE_2D, texture);
      gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, resource.width, resource.height, 0, gl.RGBA,
                    gl.UNSIGNED_BYTE, resource.bytes);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.REPEAT);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.REPEAT);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAX_LEVEL, 0);
      resource.glObject = texture;
    } else {
      const target = resource.kind === 'index_buffer' ? gl.ELEMENT_ARRAY_BUFFER : gl.ARRAY_BUFFER;
      const buffer = gl.createBuffer();
      gl.bindBuffer(target, buffer);
      gl.bufferData(target, resource.bytes, gl.STATIC_DRAW);
      resource.glObject = buffer;
    }
    return resource.glObject;
  }

  // How the layout reads the buffer: the position and texture-coordinate
  // elements, the buffer and stride to read them from, and how many whole
  // vertices it holds for them. Null when the layout cannot be read.
  vertexView(resource, stride, declaration) {
    const key = stride + '/' + JSON.stringify(declaration);
    if (resource.views.has(key)) return resource.views.get(key);
    const gl = this.gl;
    let position = null;
    let texcoord = null;
    for (const element of declaration) {
      const format = elementFormat(gl, element.type);
      if (!format || !isCount(element.offset)) continue;
      const used = { offset: element.offset, ...format };
      if (element.usage === USAGE_POSITION && element.usage_index === 0) position = used;
      if (element.usage === USAGE_TEXCOORD && element.usage_index === 0) texcoord = used;
    }
    let view = null;
    if (position && isCount(stride) && stride > 0) {
      const elements = texcoord ? [position, texcoord] : [position];
      let vertexCount = Infinity;
      for (const element of elements) {
        const end = element.offset + element.bytes;
        const count = resource.bytes.length < end
            ? 0 : Math.floor((resource.bytes.length - end) / stride) + 1;
        vertexCount = Math.min(vertexCount, count);
      }
      view = { position, texcoord, stride, vertexCount, glObject: null, generation: -1,
               repacked: false };
      const aligned = elements.every((e) => e.glType !== gl.FLOAT || e.offset % 4 === 0) &&
                      stride % 4 === 0;
      if (stride > MAX_WEBGL_STRIDE || !aligned) this.repack(resource, view, elements);
    }
    resource.views.set(key, view);
    return view;
  }

  // Copies the elements the layout reads into a buffer of its own, for
  // strides and offsets WebGL cannot read in place.
  repack(resource, view, elements) {
    let tightStride = 0;
    const placed = elements.map((element) => {
      const copy = { ...element, source: element.offset, offset: tightStride };
      tightStride += element.bytes;
      return copy;
    });
    const tight = new Uint8Array(tightStride * view.vertexCount);
    for (let vertex = 0; vertex < view.vertexCount; ++vertex) {
      for (const element of placed) {
        const from = vertex * view.stride + element.source;
        tight.set(resource.bytes.subarray(from, from + element.bytes),
                  vertex * tightStride + element.offset);
      }
    }
    view.position = placed[0];
    view.texcoord = placed.length > 1 ? placed[1] : null;
    view.stride = tightStride;
    view.repacked = true;
    view.tight = tight;
  }

  // The smallest and largest index a range reads and, for 16-bit indices, a
  // copy widened to 32 bits when the range holds 0xFFFF: WebGL always
  // restarts strips there, the device never does.
  indexRange(resource, start, count) {
    const key = start + '/' + count;
    let range = resource.ranges.get(key);
    if (!range) {
      const indices = resource.indices.subarray(start, start + count);
      let min = Infinity;
      let max = 0;
      let restart = false;
      for (let i = 0; i < indices.length; ++i) {
        if (indices[i] > max) max = indices[i];
        if (indices[i] < min) min = indices[i];
        if (resource.indexBits === 16 && indices[i] === RESTART_INDEX_16) restart = true;
      }
      range = { min, max, widened: restart ? Uint32Array.from(indices) : null, glObject: null,
                generation: -1, rebased: new Map() };
      resource.ranges.set(key, range);
    }
    return range;
  }

  // A negative base vertex cannot be an attribute offset: the range's
  // indices are moved down by it instead, into a 32-bit copy of their own.
  rebasedRange(resource, range, start, count, base) {
    let rebased = range.rebased.get(base);
    if (!rebased) {
      const indices = resource.indices.subarray(start, start + count);
      rebased = { indices: Uint32Array.from(indices, (index) => index + base), glObject: null,
                  generation: -1 };
      range.rebased.set(base, rebased);
    }
    return rebased;
  }

  // The GL buffer of a repacked layout or a widened index range, made in the
  // current context when needed.
  uploaded(holder, target, bytes) {
    const gl = this.gl;
    if (!holder.glObject || holder.generation !== this.generation) {
      holder.glObject = gl.createBuffer();
      holder.generation = this.generation;
      gl.bindBuffer(target, holder.glObject);
      gl.bufferData(target, bytes, gl.STATIC_DRAW);
    }
    return holder.glObject;
  }

  draw(draw, declaration) {
    const gl = this.gl;
    const vertices = this.resources.get(draw.vertex_buffer);
    const indices = this.resources.get(draw.index_buffer);
    if (!vertices || vertices.kind !== 'vertex_buffer' || !indices ||
        indices.kind !== 'index_buffer') {
      return;
    }
    const { start_index: start, primitive_count: primitives, base_vertex: base } = draw;
    if (!isCount(start) || !isCount(primitives) || !Number.isSafeInteger(base) ||
        primitives === 0) {
      return;
    }
    const count = primitives + 2;
    if (start + count > indices.indices.length) return;
    const view = this.vertexView(vertices, draw.stride, declaration);
    if (!view) return;
    const range = this.indexRange(indices, start, count);
    // Every vertex the strip reads, after the base vertex, must be in the buffer.
    if (base + range.min < 0 || base + range.max >= view.vertexCount) return;
    const rebased = base < 0 ? this.rebasedRange(indices, range, start, count, base) : null;

    const vertexBuffer = view.repacked ? this.uploaded(view, gl.ARRAY_BUFFER, view.tight)
                                       : this.glObjectOf(vertices);
    gl.bindBuffer(gl.ARRAY_BUFFER, vertexBuffer);
    const baseOffset = rebased ? 0 : base * view.stride;
    const pointer = (location, element) => {
      gl.enableVertexAttribArray(location);
      if (element.glType === gl.FLOAT) {
        gl.vertexAttribPointer(location, element.components, gl.FLOAT, false, view.stride,
                               baseOffset + element.offset);
      } else {
        gl.vertexAttribPointer(location, element.components, element.glType, false, view.stride,
                               baseOffset + element.offset);
      }
    };
    pointer(0, view.position);
    if (view.texcoord) {
      pointer(1, view.texcoord);
    } else {
      // No coordinates: every pixel samples texel (0, 0).
      gl.disableVertexAttribArray(1);
      gl.vertexAttrib2f(1, 0, 0);
    }

    const texture = draw.texture ? this.resources.get(draw.texture) : null;
    const glTexture = texture && texture.kind === 'texture' ? this.glObjectOf(texture) : null;
    gl.activeTexture(gl.TEXTURE0);
    gl.bindTexture(gl.TEXTURE_2D, glTexture);
    gl.uniform1i(this.uniforms.texture, 0);
    gl.uniform1i(this.uniforms.textured, glTexture ? 1 : 0);

    if (rebased) {
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER,
                    this.uploaded(rebased, gl.ELEMENT_ARRAY_BUFFER, rebased.indices));
      gl.drawElements(gl.TRIANGLE_STRIP, count, gl.UNSIGNED_INT, 0);
    } else if (range.widened) {
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER,
                    this.uploaded(range, gl.ELEMENT_ARRAY_BUFFER, range.widened));
      gl.drawElements(gl.TRIANGLE_STRIP, count, gl.UNSIGNED_INT, 0);
    } else {
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, this.glObjectOf(indices));
      const size = indices.indexBits === 32 ? 4 : 2;
      gl.drawElements(gl.TRIANGLE_STRIP, count,
                      size === 4 ? gl.UNSIGNED_INT : gl.UNSIGNED_SHORT, start * size);
    }
  }
}
